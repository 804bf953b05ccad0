// The link to the automation agent inside the Win32 program (win32/src/agent/agent.h): a TCP
// connection on the loopback interface, one request line and one reply line at a time.
//
// Thread rules: every method of AgentLink may be called from any thread; requests are serialised.
#ifndef KEPLA_SIM_WINE_AGENT_LINK_H_
#define KEPLA_SIM_WINE_AGENT_LINK_H_

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include <wince/automation.h>

namespace kepla::wine {

// The agent's screen object (its "screen" member) as a snapshot: waiting for input, the program
// running; `generation` is a hash of everything visible. Pure.
wce::ScreenSnapshot ParseAgentScreen(const nlohmann::json& screen);

class AgentLink {
 public:
  struct ExitReport {
    int code = 0;
    bool backlight_held = false;
    int idle_timer_resets = 0;
  };
  struct Screen {
    bool closed = false;  // the program has gone (or the link broke)
    bool busy = false;    // the user-interface thread did not come to its message retrieval
    wce::ScreenSnapshot snapshot;  // when neither
    int workers = 0;  // the program's threads besides its user-interface thread and the agent
  };

  explicit AgentLink(int fd) : fd_(fd) {}
  ~AgentLink();
  AgentLink(const AgentLink&) = delete;
  AgentLink& operator=(const AgentLink&) = delete;

  Screen Snapshot();
  // A soft key (0 left, 1 right) or OK on the message box, applied only when offered while the
  // user-interface thread waits for input. False otherwise, or when the link is closed.
  bool PressSoftKey(int index);
  bool DismissMessageBox();
  // Sets the program's named event as another process would. False when it has none.
  bool SignalEvent(const std::u16string& name);
  // What the agent reported when the program's WinMain returned; nullopt before that, or when
  // the program ended without reporting.
  std::optional<ExitReport> exit_report();
  bool closed();

 private:
  // Sends `line` and returns the reply (exit reports on the way are kept); nullopt once closed.
  std::optional<nlohmann::json> Request(const std::string& line);
  // The next line from the agent; false when the link closes or nothing came within `limit`.
  bool ReadLine(std::string* line, std::chrono::milliseconds limit);
  void TakeExitReport(const nlohmann::json& message);

  std::mutex mu_;  // guards everything below
  int fd_;
  std::string buffer_;
  bool closed_ = false;
  std::optional<ExitReport> exit_;
};

class AgentListener {
 public:
  // Listens on 127.0.0.1 at a port the kernel picks. Null and *error on failure.
  static std::unique_ptr<AgentListener> Open(std::string* error);
  ~AgentListener();
  AgentListener(const AgentListener&) = delete;
  AgentListener& operator=(const AgentListener&) = delete;

  // "127.0.0.1:PORT", the value of KEPLA_AGENT for the program.
  std::string address() const;
  // Waits until the agent connects, for at most `limit`, giving up early when `gone()` says the
  // program has ended. Null when it did not come.
  std::unique_ptr<AgentLink> Accept(std::chrono::milliseconds limit,
                                    const std::function<bool()>& gone);

 private:
  AgentListener(int fd, int port) : fd_(fd), port_(port) {}
  int fd_;
  int port_;
};

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_AGENT_LINK_H_
