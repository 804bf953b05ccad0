#include "sim/transcript.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/utf.h"
#include "tools/file_kind.h"

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

std::unique_ptr<Transcript> Transcript::Open(const std::filesystem::path& file, std::string* error,
                                             const Vet& vet) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<Transcript> {
    if (error) *error = file.string() + ": " + why;
    return nullptr;
  };
  // O_NONBLOCK: opening a FIFO for writing would otherwise wait for a reader. Nothing is
  // truncated yet: the file may still be refused.
  const int flags = O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  bool created = true;
  int fd = ::open(file.c_str(), flags | O_CREAT | O_EXCL, 0666);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = ::open(file.c_str(), flags);
  }
  if (fd < 0) {
    const int open_error = errno;  // the stat below may set its own
    // A FIFO without a reader answers ENXIO; a folder answers EISDIR.
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode)) {
      return fail(std::string("is ") + pkg::FileKind(st.st_mode) + ", not a regular file");
    }
    return fail(std::string("cannot be written: ") + std::strerror(open_error));
  }
  auto refuse = [&](const std::string& why) {
    ::close(fd);
    if (created) ::unlink(file.c_str());
    return fail(why);
  };
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    return refuse(std::string("cannot be written: ") + std::strerror(errno));
  if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode)) {
    return refuse(std::string("is ") + pkg::FileKind(st.st_mode) + ", not a regular file");
  }
  if (vet) {
    std::string why;
    if (!vet(fd, &why)) {
      return refuse(why);
    }
  }
  if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
    return refuse(std::string("cannot be written: ") + std::strerror(errno));
  }
  // Writes block again from here on (a terminal that is busy is waited for).
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::unique_ptr<Transcript>(new Transcript(fd));
}

Transcript::~Transcript() {
  if (fd_ >= 0) ::close(fd_);
}

void Transcript::WriteLine(std::uint64_t time_ms, const char* type, ordered_json body) {
  ordered_json line;
  line["t"] = time_ms;
  line["type"] = type;
  for (auto& item : body.items()) line[item.key()] = std::move(item.value());
  // Called with mu_ held. A text that is not UTF-8 is written with U+FFFD in place of its bad
  // bytes, rather than throwing.
  WriteTextLocked(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + '\n');
}

void Transcript::WriteRecord(const std::string& line) {
  std::lock_guard<std::mutex> lock(mu_);
  WriteTextLocked(line + '\n');
}

void Transcript::WriteTextLocked(const std::string& text) {
  if (out_) {
    *out_ << text;
    out_->flush();
    if (!*out_) failed_ = true;
    return;
  }
  if (failed_) return;  // a line after a lost one would make the transcript lie
  std::string_view rest = text;
  while (!rest.empty()) {
    const ssize_t wrote = ::write(fd_, rest.data(), rest.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      failed_ = true;
      write_errno_ = wrote < 0 ? errno : EIO;
      return;
    }
    rest.remove_prefix(static_cast<std::size_t>(wrote));
  }
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
  if (exit.power_off) body["powerOff"] = true;
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

std::string Transcript::error() const {
  std::lock_guard<std::mutex> lock(mu_);
  if (!failed_) return "";
  return write_errno_ != 0 ? std::strerror(write_errno_) : "the stream failed";
}

}  // namespace kepla
