// What a front end sees of the running program and how it acts on it, whichever platform runs
// the program: the simulated device (DeviceScreenPort, over the layer's automation interface) or
// the Win32 build under Wine (wine/wine_screen.h, over the agent inside the program).
//
// The contract is the automation interface's (<wince/automation.h>): an action is applied only
// while the program's user-interface thread waits for input and the screen offers it; times are
// device milliseconds (real milliseconds since the start on a platform without a device clock).
//
// Thread rules: every method may be called from any thread.
#ifndef KEPLA_SIM_SCREEN_PORT_H_
#define KEPLA_SIM_SCREEN_PORT_H_

#include <cstdint>
#include <functional>
#include <memory>

#include <wince/automation.h>

namespace wce {
class HostDevice;
}

namespace kepla {

class ScreenPort {
 public:
  virtual ~ScreenPort() = default;

  virtual wce::ScreenSnapshot Snapshot() = 0;
  // Applies `action` if offered right now; false (nothing changed) otherwise.
  virtual bool Apply(const wce::Action& action) = 0;
  // Waits until `action` is offered, then applies it; false when `deadline_ms` passes or the
  // program ends first. `on_apply` (may be empty) gets the screen a press answers, just before the
  // press.
  virtual bool WaitAndApply(const wce::Action& action, std::uint64_t deadline_ms,
                            const std::function<void(const wce::ScreenSnapshot&)>& on_apply) = 0;
  // Waits for a screen, waiting for input, whose generation differs from `seen_generation`, or
  // the end of the program, or `deadline_ms`.
  virtual wce::ScreenSnapshot WaitForChange(std::uint64_t seen_generation,
                                            std::uint64_t deadline_ms) = 0;
  // Waits until the program shows a window (a visible top-level window or a message box) or has
  // ended, or `deadline_ms` has come; the snapshot of that moment.
  virtual wce::ScreenSnapshot WaitForWindow(std::uint64_t deadline_ms) = 0;
  // Whether a thread the program started is still at work (the image is being written or checked).
  virtual bool ProgramThreadsRunning() = 0;
  // Lets `ms` pass (the script's "wait:MS"), or less when the program ends first: false then.
  // The program runs on meanwhile as it does while a person looks at the screen (it handles what
  // another process sends it, and may end).
  virtual bool WaitFor(std::uint32_t ms) = 0;
  // Waits until the program has ended; false when `deadline_ms` came first.
  virtual bool WaitForEnd(std::uint64_t deadline_ms) = 0;
  virtual bool ProgramRunning() = 0;
  virtual std::uint64_t Now() = 0;
  // Makes the calling thread count as a thread of the device while the result lives, so that a
  // virtual clock never jumps past what the thread is about to do. Null where time is real.
  virtual std::shared_ptr<void> HoldClock() { return nullptr; }
};

// The simulated device's screen.
class DeviceScreenPort final : public ScreenPort {
 public:
  explicit DeviceScreenPort(wce::HostDevice& device) : device_(device) {}

  wce::ScreenSnapshot Snapshot() override;
  bool Apply(const wce::Action& action) override;
  bool WaitAndApply(const wce::Action& action, std::uint64_t deadline_ms,
                    const std::function<void(const wce::ScreenSnapshot&)>& on_apply) override;
  wce::ScreenSnapshot WaitForChange(std::uint64_t seen_generation,
                                    std::uint64_t deadline_ms) override;
  wce::ScreenSnapshot WaitForWindow(std::uint64_t deadline_ms) override;
  bool ProgramThreadsRunning() override;
  bool WaitFor(std::uint32_t ms) override;
  bool WaitForEnd(std::uint64_t deadline_ms) override;
  bool ProgramRunning() override;
  std::uint64_t Now() override;
  std::shared_ptr<void> HoldClock() override;

 private:
  wce::HostDevice& device_;
};

}  // namespace kepla

#endif  // KEPLA_SIM_SCREEN_PORT_H_
