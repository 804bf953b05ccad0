#include "sim/transcript.h"

#include <cerrno>
#include <cstring>

#include "core/utf.h"

namespace kepla {
namespace {

using nlohmann::ordered_json;

std::string U8(const std::u16string& text) { return wce::Utf16ToUtf8(text); }

ordered_json MessageBoxJson(const wce::MessageBoxSnapshot& box) {
  return {{"owner", U8(box.owner_title)},
          {"text", U8(box.text)},
          {"caption", U8(box.caption)},
          {"style", box.style}};
}

// The screen without its progress positions: what decides whether a screen line is due.
ordered_json WithoutProgress(ordered_json screen) {
  for (auto& control : screen["controls"]) control.erase("progress");
  return screen;
}

}  // namespace

ordered_json ScreenJson(const wce::ScreenSnapshot& snap) {
  ordered_json screen;
  screen["title"] = U8(snap.title);
  screen["class"] = U8(snap.window_class);
  screen["template"] = snap.template_id;
  screen["rotation"] = snap.rotation;
  screen["width"] = snap.width;
  screen["height"] = snap.height;
  ordered_json controls = ordered_json::array();
  for (const wce::ControlSnapshot& c : snap.controls) {
    ordered_json control;
    control["id"] = c.id;
    control["class"] = U8(c.class_name);
    control["text"] = U8(c.text);
    control["rect"] = {c.rect.left, c.rect.top, c.rect.right, c.rect.bottom};
    control["visible"] = c.visible;
    control["enabled"] = c.enabled;
    if (c.progress_pos) control["progress"] = *c.progress_pos;
    controls.push_back(std::move(control));
  }
  screen["controls"] = std::move(controls);
  ordered_json keys = ordered_json::array();
  for (const wce::SoftKeySnapshot& key : snap.soft_keys) {
    keys.push_back({{"label", U8(key.label)}, {"enabled", key.enabled}});
  }
  screen["softKeys"] = std::move(keys);
  if (snap.message_box) screen["messageBox"] = MessageBoxJson(*snap.message_box);
  return screen;
}

std::unique_ptr<Transcript> Transcript::Open(const std::filesystem::path& file,
                                             std::string* error) {
  auto stream = std::make_unique<std::ofstream>(file, std::ios::binary | std::ios::trunc);
  if (!*stream) {
    if (error) *error = file.string() + ": cannot be written: " + std::strerror(errno);
    return nullptr;
  }
  auto transcript = std::make_unique<Transcript>(stream.get());
  transcript->file_ = std::move(stream);
  return transcript;
}

void Transcript::WriteLine(std::uint64_t time_ms, const char* type, ordered_json body) {
  ordered_json line;
  line["t"] = time_ms;
  line["type"] = type;
  for (auto& item : body.items()) line[item.key()] = std::move(item.value());
  // Called with mu_ held.
  *out_ << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  out_->flush();
  if (!*out_) failed_ = true;
}

void Transcript::WriteScreen(const wce::ScreenSnapshot& snap) {
  ordered_json screen = ScreenJson(snap);
  ordered_json key = WithoutProgress(screen);
  std::lock_guard<std::mutex> lock(mu_);
  if (last_screen_ && *last_screen_ == key) return;
  last_screen_ = std::move(key);
  WriteLine(snap.time_ms, "screen", std::move(screen));
}

void Transcript::WriteAction(std::uint64_t time_ms, const ScriptStep& step) {
  std::lock_guard<std::mutex> lock(mu_);
  WriteLine(time_ms, "action", {{"action", step.Text()}});
}

void Transcript::WriteExit(std::uint64_t time_ms, const ExitRecord& exit) {
  ordered_json body = {{"code", exit.code}};
  if (exit.stopped) body["stopped"] = true;
  if (!exit.signal.empty()) body["signal"] = exit.signal;
  body["backlightHeld"] = exit.backlight_held;
  body["idleTimerResets"] = exit.idle_timer_resets;
  std::lock_guard<std::mutex> lock(mu_);
  WriteLine(time_ms, "exit", std::move(body));
}

void Transcript::OnMessageBox(std::uint64_t time_ms, const wce::MessageBoxSnapshot& box) {
  std::lock_guard<std::mutex> lock(mu_);
  WriteLine(time_ms, "messagebox", MessageBoxJson(box));
}

void Transcript::OnProgress(std::uint64_t time_ms, int control_id, int pos) {
  std::lock_guard<std::mutex> lock(mu_);
  if (last_progress_ && *last_progress_ == std::make_pair(control_id, pos)) return;
  last_progress_ = std::make_pair(control_id, pos);
  WriteLine(time_ms, "progress", {{"control", control_id}, {"pos", pos}});
}

bool Transcript::ok() const {
  std::lock_guard<std::mutex> lock(mu_);
  return !failed_;
}

}  // namespace kepla
