// device.json: strict reading (every key checked, unknown keys refused) and writing. The cards
// and the faults have files of their own (profile_cards.cc, profile_faults.cc).
#include <wince/profile.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <string_view>
#include <system_error>

#include <wince/utf.h>
#include "model/profile_json.h"

namespace wce {
namespace {

using profile_json::CardsToJson;
using profile_json::CheckObject;
using profile_json::DefaultCard;
using profile_json::Fail;
using profile_json::FaultsToJson;
using profile_json::Join;
using profile_json::json;
using profile_json::KeyError;
using profile_json::kFileName;
using profile_json::ordered_json;
using profile_json::ReadBool;
using profile_json::ReadCards;
using profile_json::ReadDevicePath;
using profile_json::ReadFaults;
using profile_json::ReadInt;
using profile_json::ReadText;

constexpr std::size_t kMaxProfileBytes = 1 << 20;  // a real profile is some hundred bytes

void ReadIdentity(const json& v, DeviceProfile* p) {
  const std::string key = "identity";
  CheckObject(v, key, {"model", "romVersion", "extRomVersion", "answers"});
  if (v.contains("model")) p->model = ReadText(v["model"], Join(key, "model"));
  if (v.contains("romVersion")) p->rom_version = ReadText(v["romVersion"], Join(key, "romVersion"));
  if (v.contains("extRomVersion")) {
    p->ext_rom_version = ReadText(v["extRomVersion"], Join(key, "extRomVersion"));
  }
  if (v.contains("answers")) p->identity_answers = ReadBool(v["answers"], Join(key, "answers"));
}

void ReadBattery(const json& v, DeviceProfile* p) {
  CheckObject(v, "battery", {"percent", "fails"});
  if (v.contains("percent")) {
    const std::int64_t percent =
        ReadInt(v["percent"], "battery.percent", 0, 255, "must be 0..100 or 255");
    if (percent > 100 && percent != 255) Fail("battery.percent", "must be 0..100 or 255");
    p->battery_percent = static_cast<int>(percent);
  }
  if (v.contains("fails")) p->battery_fails = ReadBool(v["fails"], "battery.fails");
}

void ReadMemory(const json& v, DeviceProfile* p) {
  CheckObject(v, "memory", {"load", "fails"});
  if (v.contains("load"))
    p->memory_load = static_cast<int>(ReadInt(v["load"], "memory.load", 0, 100));
  if (v.contains("fails")) p->memory_fails = ReadBool(v["fails"], "memory.fails");
}

void ReadDisplay(const json& v, DeviceProfile* p) {
  CheckObject(v, "display", {"width", "height", "rotation"});
  if (v.contains("width")) {
    p->display_width = static_cast<int>(ReadInt(v["width"], "display.width", 1, 4096));
  }
  if (v.contains("height")) {
    p->display_height = static_cast<int>(ReadInt(v["height"], "display.height", 1, 4096));
  }
  if (v.contains("rotation")) {
    const std::string why = "must be 0, 90, 180 or 270";
    const std::int64_t r = ReadInt(v["rotation"], "display.rotation", 0, 270, why);
    if (r % 90 != 0) Fail("display.rotation", why);
    p->display_rotation = static_cast<int>(r);
  }
}

DeviceProfile ReadProfile(const json& root, const std::filesystem::path& folder) {
  CheckObject(root, "",
              {"identity", "battery", "memory", "display", "program", "cards", "clock", "faults"});
  DeviceProfile p;
  if (root.contains("identity")) ReadIdentity(root["identity"], &p);
  if (root.contains("battery")) ReadBattery(root["battery"], &p);
  if (root.contains("memory")) ReadMemory(root["memory"], &p);
  if (root.contains("display")) ReadDisplay(root["display"], &p);
  if (root.contains("program")) p.program = ReadDevicePath(root["program"], "program");
  if (root.contains("cards")) {
    ReadCards(root["cards"], folder, &p);
  } else {
    p.cards.push_back(DefaultCard(folder));
  }
  if (root.contains("clock")) {
    if (!root["clock"].is_string()) Fail("clock", "must be a string");
    auto clock = ClockSpec::Parse(root["clock"].get<std::string>());
    if (!clock) Fail("clock", "must be \"real\", \"xN\" (N from 0.001 to 1000) or \"virtual\"");
    p.clock = *clock;
  }
  if (root.contains("faults")) ReadFaults(root["faults"], &p);
  return p;
}

ordered_json ToJson(const std::filesystem::path& folder, const DeviceProfile& p) {
  ordered_json root;
  root["identity"] = {{"model", Utf16ToUtf8(p.model)},
                      {"romVersion", Utf16ToUtf8(p.rom_version)},
                      {"extRomVersion", Utf16ToUtf8(p.ext_rom_version)},
                      {"answers", p.identity_answers}};
  root["battery"] = {{"percent", p.battery_percent}, {"fails", p.battery_fails}};
  root["memory"] = {{"load", p.memory_load}, {"fails", p.memory_fails}};
  root["display"] = {
      {"width", p.display_width}, {"height", p.display_height}, {"rotation", p.display_rotation}};
  root["program"] = Utf16ToUtf8(p.program);
  root["cards"] = CardsToJson(folder, p.cards);
  root["clock"] = p.clock.ToString();
  root["faults"] = FaultsToJson(p.faults);
  return root;
}

// Parses `text` as JSON, setting *duplicate to the dotted path of the first key that an object
// holds twice ("battery.percent", "faults[1].ms"): the library would keep the last one silently.
// Throws json::exception on a syntax error.
json ParseNoDuplicateKeys(std::string_view text, std::string* duplicate) {
  struct Frame {
    bool object;
    std::string path;
    std::set<std::string> keys;
    std::string key;        // in an object: the key of the value being read
    std::size_t index = 0;  // in a list: the index of the value being read
  };
  std::vector<Frame> stack;
  auto child_path = [&stack]() -> std::string {
    if (stack.empty()) return "";
    const Frame& top = stack.back();
    return top.object ? Join(top.path, top.key) : top.path + "[" + std::to_string(top.index) + "]";
  };
  auto element_done = [&stack] {
    if (!stack.empty() && !stack.back().object) ++stack.back().index;
  };
  json::parser_callback_t callback = [&](int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        stack.push_back(Frame{event == json::parse_event_t::object_start, child_path(), {}, {}});
        break;
      case json::parse_event_t::key:
        stack.back().key = parsed.get<std::string>();
        if (!stack.back().keys.insert(stack.back().key).second && duplicate->empty()) {
          *duplicate = Join(stack.back().path, stack.back().key);
        }
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        stack.pop_back();
        element_done();
        break;
      case json::parse_event_t::value:
        element_done();
        break;
    }
    return true;
  };
  return json::parse(text, callback);
}

}  // namespace

std::optional<DeviceProfile> ParseProfile(std::string_view text,
                                          const std::filesystem::path& folder, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<DeviceProfile> {
    if (error) *error = why;
    return std::nullopt;
  };
  json root;
  std::string duplicate;
  try {
    root = ParseNoDuplicateKeys(text, &duplicate);
  } catch (const json::exception& e) {
    // A syntax error (parse_error), or a number too large for any type (out_of_range, "1e400").
    std::string what = e.what();
    // Drop the library's "[json.exception.parse_error.101] " tag.
    if (auto pos = what.find("] "); pos != std::string::npos) what = what.substr(pos + 2);
    return fail("not valid JSON: " + what);
  }
  if (!duplicate.empty()) return fail(duplicate + ": is given twice");
  try {
    return ReadProfile(root, folder);
  } catch (const KeyError& e) {
    return fail(e.key.empty() ? e.why : e.key + ": " + e.why);
  }
}

std::optional<DeviceProfile> LoadProfile(const std::filesystem::path& folder, std::string* error) {
  const std::filesystem::path file = folder / kFileName;
  const std::string name = file.string();
  auto fail = [&](const std::string& why) -> std::optional<DeviceProfile> {
    if (error) *error = name + ": " + why;
    return std::nullopt;
  };
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (!std::filesystem::exists(status)) {
    // No profile at all means the defaults; a link to nothing is a profile that went missing.
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec))) {
      return fail("is a link to nothing");
    }
    json empty = json::object();
    return ReadProfile(empty, folder);
  }
  if (std::filesystem::is_directory(status)) return fail("is a folder, not a file");
  // A FIFO or a device would block the read or never end; nor is a profile a large file.
  if (!std::filesystem::is_regular_file(status)) return fail("is not a regular file");
  std::ifstream in(file, std::ios::binary);
  if (!in) return fail(std::string("cannot be read: ") + std::strerror(errno));
  std::string text(kMaxProfileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kMaxProfileBytes) return fail("larger than 1 MiB");
  std::string why;
  auto profile = ParseProfile(text, folder, &why);
  if (!profile) return fail(why);
  return profile;
}

std::string FormatProfile(const std::filesystem::path& folder, const DeviceProfile& profile) {
  // A host path that is not UTF-8 (a card's folder) is shown with U+FFFD in its place.
  return ToJson(folder, profile).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
         "\n";
}

bool SaveProfile(const std::filesystem::path& folder, const DeviceProfile& profile,
                 std::string* error) {
  const std::filesystem::path file = folder / kFileName;
  const std::filesystem::path temp = folder / (std::string(kFileName) + ".tmp");
  auto fail = [&](const std::string& why) {
    if (error) *error = file.string() + ": " + why;
    return false;
  };
  std::string text;
  try {
    text = ToJson(folder, profile).dump(2) + "\n";
  } catch (const nlohmann::json::type_error&) {
    // Written with U+FFFD in its place, the path would name another folder.
    return fail("a card's folder has a name that is not UTF-8, which device.json cannot hold");
  }
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return fail(std::string("cannot be written: ") + std::strerror(errno));
    out << text;
    out.flush();
    if (!out) return fail(std::string("cannot be written: ") + std::strerror(errno));
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    const std::string reason = ec.message();
    std::filesystem::remove(temp, ec);  // clears ec: the reason is taken first
    return fail("cannot be written: " + reason);
  }
  return true;
}

}  // namespace wce
