#include "sim/screen_text.h"

#include <wince/utf.h>

namespace kepla {
namespace {

std::string Quoted(const std::u16string& text) {
  std::string out = "\"";
  for (char c : wce::Utf16ToUtf8(text)) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

bool IsProgressBar(const wce::ControlSnapshot& c) {
  return c.progress_pos.has_value() || c.class_name == u"msctls_progress32";
}

}  // namespace

std::string DescribeScreen(const wce::ScreenSnapshot& snap, const std::string& indent) {
  std::string out;
  auto line = [&](const std::string& text) { out += indent + text + "\n"; };
  if (!snap.program_running) line("(the program is not running)");
  if (!snap.has_window) {
    line("no window");
  } else {
    std::string head = "window " + Quoted(snap.title);
    if (snap.template_id >= 0) head += " (dialog " + std::to_string(snap.template_id) + ")";
    head += ", " + std::to_string(snap.width) + "x" + std::to_string(snap.height) + ", rotation " +
            std::to_string(snap.rotation);
    line(head);
    for (const wce::ControlSnapshot& c : snap.controls) {
      if (!c.visible) continue;
      if (IsProgressBar(c)) {
        line("  progress " + std::to_string(c.progress_pos.value_or(c.progress_min)) + " of " +
             std::to_string(c.progress_min) + ".." + std::to_string(c.progress_max));
      } else if (!c.text.empty()) {
        line("  " + Quoted(c.text) + (c.enabled ? "" : " (disabled)"));
      }
    }
  }
  if (snap.soft_keys.empty()) {
    line("soft keys: none");
  } else {
    std::string keys = "soft keys:";
    const char* sides[] = {"left", "right"};
    for (std::size_t i = 0; i < snap.soft_keys.size(); ++i) {
      const wce::SoftKeySnapshot& key = snap.soft_keys[i];
      keys += std::string(i ? ", " : " ") + (i < 2 ? sides[i] : "key") + " " + Quoted(key.label) +
              (key.enabled ? "" : " (disabled)");
    }
    line(keys);
  }
  if (snap.message_box) {
    line("message box " + Quoted(snap.message_box->caption) + ": " +
         Quoted(snap.message_box->text));
  }
  return out;
}

}  // namespace kepla
