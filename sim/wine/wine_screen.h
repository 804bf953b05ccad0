// The screen of the Win32 build under Wine, seen through the automation agent inside it. Times
// are real milliseconds since the screen was made (Wine has no device clock). The program counts
// as running until its Wine process has ended.
//
// With a transcript, a recorder thread looks at the screen every kPollMs and writes what changed
// while the program waited for input (screens, message boxes as they open, progress positions),
// and presses are written with the screen they answer, before anything they cause.
//
// Thread rules: every method may be called from any thread.
#ifndef KEPLA_SIM_WINE_WINE_SCREEN_H_
#define KEPLA_SIM_WINE_WINE_SCREEN_H_

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "sim/screen_port.h"
#include "sim/wine/agent_link.h"
#include "sim/wine/host_process.h"

namespace kepla {
class Transcript;
}

namespace kepla::wine {

class WineScreen final : public ScreenPort {
 public:
  static constexpr std::chrono::milliseconds kPollMs{25};

  // `link`, `program` and `transcript` (may be null) must outlive the screen.
  WineScreen(AgentLink& link, HostProcess& program, Transcript* transcript);
  // Stops the recorder.
  ~WineScreen() override;

  wce::ScreenSnapshot Snapshot() override;
  bool Apply(const wce::Action& action) override;
  bool WaitAndApply(const wce::Action& action, std::uint64_t deadline_ms,
                    const std::function<void(const wce::ScreenSnapshot&)>& on_apply) override;
  wce::ScreenSnapshot WaitForChange(std::uint64_t seen_generation,
                                    std::uint64_t deadline_ms) override;
  wce::ScreenSnapshot WaitForWindow(std::uint64_t deadline_ms) override;
  // Whether the program has a thread besides its user-interface thread and the agent's.
  bool ProgramThreadsRunning() override;
  bool WaitFor(std::uint32_t ms) override;
  bool WaitForEnd(std::uint64_t deadline_ms) override;
  bool ProgramRunning() override;
  std::uint64_t Now() override;

  // The last screen seen while the program waited for input.
  wce::ScreenSnapshot LastScreen();

 private:
  void Record();
  // Writes `snap` (a screen waiting for input) to the transcript: a message box that has just
  // opened, progress positions, the screen. Call with record_mu_ held.
  void WriteLocked(const wce::ScreenSnapshot& snap);

  AgentLink& link_;
  HostProcess& program_;
  Transcript* const transcript_;
  const std::chrono::steady_clock::time_point start_;

  std::mutex program_mu_;  // guards program_ (one waiter at a time)
  std::mutex last_mu_;     // guards last_
  wce::ScreenSnapshot last_;
  int workers_ = 0;  // guarded by last_mu_: the other threads the agent last counted
  // Held while a screen is written, and across a press and the writing of the screen it answers.
  std::mutex record_mu_;
  bool box_open_ = false;  // guarded by record_mu_
  std::atomic<bool> stop_{false};
  std::thread recorder_;
};

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_WINE_SCREEN_H_
