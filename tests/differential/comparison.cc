#include "differential/comparison.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <wince/card_attributes.h>
#include <wince/device_path.h>

namespace kepla_test {
namespace {

using nlohmann::json;
namespace fs = std::filesystem;

std::string Str(const json& j, const char* key) {
  auto it = j.find(key);
  return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string BoxLine(const json& box) {
  return "owner=" + Str(box, "owner") + " caption=" + Str(box, "caption") +
         " style=" + std::to_string(box.value("style", -1)) + " text=" + Str(box, "text");
}

// A screen as compared; empty for a screen that shows no page (see kIgnored).
std::string ScreenLine(const json& screen) {
  const json controls = screen.value("controls", json::array());
  const bool box = screen.contains("messageBox");
  if (controls.empty() && !box) return std::string();
  std::string line = "screen title=" + Str(screen, "title");
  for (const json& c : controls) {
    line += "\n  control " + std::to_string(c.value("id", 0)) + " " + Str(c, "class") +
            (c.value("visible", true) ? "" : " hidden") +
            (c.value("enabled", true) ? "" : " disabled") + " text=" + Str(c, "text");
  }
  for (const json& k : screen.value("softKeys", json::array())) {
    line += "\n  key " + Str(k, "label") + (k.value("enabled", true) ? "" : " (disabled)");
  }
  if (box) line += "\n  box " + BoxLine(screen["messageBox"]);
  return line;
}

}  // namespace

const Ignored kIgnored[] = {
    {"the time \"t\" of every line",
     "the simulated device runs on a virtual clock in these tests; Wine runs on real time"},
    {"\"progress\" lines and the progress position inside screens",
     "the simulated device reports every step of the bar as it happens; under Wine the screen is "
     "sampled every 25 ms, so it sees some positions and not others"},
    {"pixel sizes: screen width and height, window and control rectangles",
     "Wine lays dialogs out with real font metrics (the templates' dialog units come out wider "
     "than on the device, whose base units are documented as unconfirmed)"},
    {"the dialog template id of a screen",
     "Win32 keeps no record of which resource a dialog was made from (the agent reports -1)"},
    {"the class name of the top-level window",
     "each window system names the dialog class its own way (\"Dialog\" on the device, \"#32770\" "
     "on desktop Win32); the controls' classes are compared"},
    {"screens that show no page (no control and no message box), and a screen equal to the one "
     "before it",
     "between two pages the main window shows alone for a moment: Wine's sampling may catch it, "
     "the device's recorder (which writes a screen only while the program waits for input) does "
     "not"},
    {"a page shown after the last action, with no message box on it, as the program ends",
     "after the last box is closed the program may wait for input once more before it ends: the "
     "device's recorder then writes the page, while Wine's 25 ms sampling misses it whenever the "
     "process ends first"},
    {"the idle-timer reset count of the exit line",
     "it counts 5-second periods of the run, which depend on how long the run took"},
};
const std::size_t kIgnoredCount = std::size(kIgnored);

std::vector<std::string> ComparableTranscript(std::string_view jsonl) {
  std::vector<std::string> out;
  std::istringstream in{std::string(jsonl)};
  std::string text;
  while (std::getline(in, text)) {
    const json line = json::parse(text, nullptr, false);
    if (!line.is_object()) {
      out.push_back("unreadable line: " + text);
      continue;
    }
    const std::string type = Str(line, "type");
    std::string entry;
    if (type == "screen") {
      entry = ScreenLine(line);
      if (entry.empty() || (!out.empty() && out.back() == entry)) continue;
    } else if (type == "messagebox") {
      entry = "messagebox " + BoxLine(line);
    } else if (type == "action") {
      entry = "action " + Str(line, "action");
    } else if (type == "exit") {
      // The page left standing after the last action, as the program ends (see kIgnored).
      std::size_t after_action = out.size();
      while (after_action > 0 && out[after_action - 1].rfind("action ", 0) != 0) --after_action;
      while (after_action > 0 && out.size() > after_action && out.back().rfind("screen ", 0) == 0 &&
             out.back().find("\n  box ") == std::string::npos) {
        out.pop_back();
      }
      entry = "exit code=" + std::to_string(line.value("code", -999)) +
              (line.value("stopped", false) ? " stopped" : "") +
              " backlightHeld=" + (line.value("backlightHeld", false) ? "true" : "false");
    } else if (type == "progress") {
      continue;
    } else {
      entry = "unknown line: " + text;
    }
    out.push_back(entry);
  }
  return out;
}

std::vector<std::string> CardListing(const fs::path& card) {
  std::vector<std::string> out;
  std::error_code ec;
  const wce::CardAttributes attributes({}, {});
  for (auto it = fs::recursive_directory_iterator(card, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name == wce::kSidecarHostName || name == wce::kSidecarTempHostName) continue;
    const std::string relative = fs::relative(it->path(), card).string();
    if (it->is_directory()) {
      out.push_back(relative + "/");
      continue;
    }
    std::ifstream file(it->path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    const bool hidden = (attributes.Get(it->path()) & FILE_ATTRIBUTE_HIDDEN) != 0;
    out.push_back(relative + " " + std::to_string(bytes.str().size()) + " bytes" +
                  (hidden ? " hidden" : "") + " digest " +
                  std::to_string(std::hash<std::string>{}(bytes.str())));
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace kepla_test
