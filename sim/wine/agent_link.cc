#include "sim/wine/agent_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <wince/utf.h>

namespace kepla::wine {
namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

// A reply takes the agent at most its user-interface wait (200 ms) and a screen's reading.
constexpr std::chrono::milliseconds kReplyLimit{10000};
constexpr std::size_t kMaxLine = 1 << 20;

std::u16string Text(const json& object, const char* key) {
  std::u16string out;
  auto it = object.find(key);
  if (it != object.end() && it->is_string()) wce::Utf8ToUtf16(it->get<std::string>(), &out);
  return out;
}

int Int(const json& object, const char* key, int fallback = 0) {
  auto it = object.find(key);
  return it != object.end() && it->is_number_integer() ? it->get<int>() : fallback;
}

bool Bool(const json& object, const char* key, bool fallback = false) {
  auto it = object.find(key);
  return it != object.end() && it->is_boolean() ? it->get<bool>() : fallback;
}

RECT Rect(const json& object, const char* key) {
  RECT r{};
  auto it = object.find(key);
  if (it != object.end() && it->is_array() && it->size() == 4) {
    r.left = (*it)[0].get<LONG>();
    r.top = (*it)[1].get<LONG>();
    r.right = (*it)[2].get<LONG>();
    r.bottom = (*it)[3].get<LONG>();
  }
  return r;
}

}  // namespace

wce::ScreenSnapshot ParseAgentScreen(const json& screen) {
  wce::ScreenSnapshot snap;
  snap.waiting_for_input = true;
  snap.program_running = true;
  snap.generation = std::hash<std::string>{}(screen.dump());
  snap.has_window = Bool(screen, "hasWindow");
  snap.title = Text(screen, "title");
  snap.window_class = Text(screen, "class");
  snap.template_id = Int(screen, "template", -1);
  snap.rotation = Int(screen, "rotation");
  snap.width = Int(screen, "width", 240);
  snap.height = Int(screen, "height", 320);
  snap.window_rect = Rect(screen, "windowRect");
  if (auto controls = screen.find("controls"); controls != screen.end() && controls->is_array()) {
    for (const json& c : *controls) {
      if (!c.is_object()) continue;
      wce::ControlSnapshot control;
      control.id = Int(c, "id");
      control.class_name = Text(c, "class");
      control.text = Text(c, "text");
      control.rect = Rect(c, "rect");
      control.visible = Bool(c, "visible", true);
      control.enabled = Bool(c, "enabled", true);
      if (c.contains("progress")) {
        control.progress_pos = Int(c, "progress");
        control.progress_min = Int(c, "progressMin");
        control.progress_max = Int(c, "progressMax", 100);
      }
      snap.controls.push_back(std::move(control));
    }
  }
  if (auto keys = screen.find("softKeys"); keys != screen.end() && keys->is_array()) {
    for (const json& k : *keys) {
      if (!k.is_object()) continue;
      snap.soft_keys.push_back({Text(k, "label"), Bool(k, "enabled", true), Int(k, "command")});
    }
  }
  if (auto box = screen.find("messageBox"); box != screen.end() && box->is_object()) {
    wce::MessageBoxSnapshot message;
    message.owner_title = Text(*box, "owner");
    message.text = Text(*box, "text");
    message.caption = Text(*box, "caption");
    message.style = static_cast<std::uint32_t>(Int(*box, "style"));
    snap.message_box = std::move(message);
  }
  snap.backlight_held = Bool(screen, "backlightHeld");
  snap.idle_timer_resets = Int(screen, "idleTimerResets");
  return snap;
}

AgentLink::~AgentLink() {
  if (fd_ >= 0) close(fd_);
}

bool AgentLink::ReadLine(std::string* line, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    if (std::size_t end = buffer_.find('\n'); end != std::string::npos) {
      *line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return true;
    }
    if (closed_ || buffer_.size() > kMaxLine) return false;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    const int rc = poll(&p, 1, static_cast<int>(left.count()));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) return false;
    char chunk[4096];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      closed_ = true;
      continue;  // a last line may still be buffered
    }
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

void AgentLink::TakeExitReport(const json& message) {
  ExitReport report;
  report.code = Int(message, "code");
  report.backlight_held = Bool(message, "backlightHeld");
  report.idle_timer_resets = Int(message, "idleTimerResets");
  exit_ = report;
}

std::optional<json> AgentLink::Request(const std::string& line) {
  if (closed_) return std::nullopt;
  const std::string data = line + "\n";
  for (std::size_t sent = 0; sent < data.size();) {
    const ssize_t n = send(fd_, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      closed_ = true;
      return std::nullopt;
    }
    sent += static_cast<std::size_t>(n);
  }
  std::string reply;
  while (ReadLine(&reply, kReplyLimit)) {
    json message = json::parse(reply, nullptr, false);
    if (!message.is_object()) continue;
    const std::string type = message.value("type", "");
    if (type == "exit") {
      TakeExitReport(message);
      continue;
    }
    if (type == "hello") continue;
    return message;
  }
  closed_ = true;
  return std::nullopt;
}

AgentLink::Screen AgentLink::Snapshot() {
  std::lock_guard<std::mutex> lock(mu_);
  Screen screen;
  std::optional<json> reply = Request("snapshot");
  if (!reply) {
    screen.closed = true;
    return screen;
  }
  auto it = reply->find("screen");
  if (Bool(*reply, "busy") || it == reply->end() || !it->is_object()) {
    screen.busy = true;
    return screen;
  }
  screen.snapshot = ParseAgentScreen(*it);
  screen.workers = Int(*reply, "workers");
  return screen;
}

bool AgentLink::PressSoftKey(int index) {
  std::lock_guard<std::mutex> lock(mu_);
  std::optional<json> reply = Request(index == 0 ? "press 0" : "press 1");
  return reply && Bool(*reply, "ok");
}

bool AgentLink::DismissMessageBox() {
  std::lock_guard<std::mutex> lock(mu_);
  std::optional<json> reply = Request("ok");
  return reply && Bool(*reply, "ok");
}

bool AgentLink::SignalEvent(const std::u16string& name) {
  std::lock_guard<std::mutex> lock(mu_);
  std::optional<json> reply = Request("signal " + wce::Utf16ToUtf8(name));
  return reply && Bool(*reply, "ok");
}

std::optional<AgentLink::ExitReport> AgentLink::exit_report() {
  std::lock_guard<std::mutex> lock(mu_);
  // Take what has arrived since the last request.
  std::string line;
  while (!closed_ && ReadLine(&line, std::chrono::milliseconds(0))) {
    json message = json::parse(line, nullptr, false);
    if (message.is_object() && message.value("type", "") == "exit") TakeExitReport(message);
  }
  return exit_;
}

bool AgentLink::closed() {
  std::lock_guard<std::mutex> lock(mu_);
  return closed_;
}

std::unique_ptr<AgentListener> AgentListener::Open(std::string* error) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(fd, 4) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    *error = std::string("the automation agent's socket: ") + std::strerror(errno);
    if (fd >= 0) close(fd);
    return nullptr;
  }
  return std::unique_ptr<AgentListener>(new AgentListener(fd, ntohs(addr.sin_port)));
}

AgentListener::~AgentListener() { close(fd_); }

std::string AgentListener::address() const { return "127.0.0.1:" + std::to_string(port_); }

std::unique_ptr<AgentLink> AgentListener::Accept(std::chrono::milliseconds limit,
                                                 const std::function<bool()>& gone) {
  const auto deadline = Clock::now() + limit;
  while (Clock::now() < deadline) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      if (gone()) return nullptr;
      continue;
    }
    const int fd = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    auto link = std::make_unique<AgentLink>(fd);
    return link;
  }
  return nullptr;
}

}  // namespace kepla::wine
