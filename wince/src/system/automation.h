// Automation: what a person sees on the device screen, and the presses a person can make.
//
// Hosts (the script driver, the terminal screen, tests) observe the screen through snapshots and
// act through Apply/WaitAndApply. An action is applied only when the program's user-interface
// thread waits for input and the screen offers the action (an enabled soft key, an open message
// box); otherwise it is refused, never queued.
//
// Thread rules: every method may be called from any thread, device thread or not, with no layer
// lock held. Waits are counted in device time.
#ifndef WINCE_SYSTEM_AUTOMATION_H_
#define WINCE_SYSTEM_AUTOMATION_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <windows.h>
#include <wince/automation.h>
#include "host/mutex.h"

namespace wce {

class Device;
class ScreenView;    // user/screen_view.h
class UserInput;     // user/user_input.h
class WindowEvents;  // user/window_events.h

class Automation {
 public:
  // Reads the screen from `view` and posts presses through `input`; both must outlive it.
  Automation(Device& device, const ScreenView& view, UserInput& input);
  ~Automation();

  ScreenSnapshot Snapshot();

  // Whether the screen offers `action` right now (Rotate and SignalEvent are always offered;
  // a soft key when it exists and is enabled; DismissMessageBox when a message box is open).
  // Does not require the user-interface thread to wait for input.
  bool Offered(const Action& action);

  // Applies `action` if the user-interface thread waits for input and the screen offers it.
  // Returns false (and changes nothing) otherwise. Rotate and SignalEvent need no input wait:
  // Rotate returns once the resized windows have handled WM_SIZE; SignalEvent sets the program's
  // named event as another process would, and returns false when the program has no such event.
  bool Apply(const Action& action);

  // Waits until Apply(action) would succeed, then applies it. Returns false when device time
  // reaches `deadline_ms` or the program ends first. A device thread calling this counts as
  // running while the action is offered, so a virtual clock does not jump past it.
  // SignalEvent sets the named event at once if it exists; otherwise it tries again each time
  // the program has settled (waits for input) on a changed screen, since the program makes its
  // events in answer to earlier actions.
  // For a soft key or a message box, `on_apply` (may be empty) is called just before the press,
  // with the device lock held and the screen it answers, so that a recorder can write that screen
  // and the press before anything the press causes. Keep it short; make no layer call from it.
  bool WaitAndApply(const Action& action, std::uint64_t deadline_ms,
                    const std::function<void(const ScreenSnapshot&)>& on_apply = {});

  // Waits until the user-interface thread waits for input with a screen whose generation differs
  // from `seen_generation`, or the program has ended, or device time reaches `deadline_ms`.
  // Returns the snapshot of that moment.
  ScreenSnapshot WaitForChange(std::uint64_t seen_generation, std::uint64_t deadline_ms);

  // Waits until the program shows a window (a visible top-level window or a message box) or has
  // ended, or device time reaches `deadline_ms`. Returns the snapshot of that moment. A host
  // thread that is no device thread may wait here: a virtual clock runs on without it.
  ScreenSnapshot WaitForWindow(std::uint64_t deadline_ms);

  // Whether a thread that the program started (CreateThread) is still at work: neither ended nor
  // terminated.
  bool ProgramThreadsRunning();

  // Waits device time (as the script's "wait:MS" does).
  void WaitFor(std::uint32_t ms);

  void SetObserver(AutomationObserver* observer);  // null to remove

  // Where the window system reports message boxes, progress and ended dialogs: forwarded to the
  // observer with the device time. Lives as long as this Automation.
  WindowEvents& window_events() { return *window_events_; }

 private:
  ScreenSnapshot SnapshotLocked() WCE_REQUIRES(mu_);
  bool OfferedLocked(const Action& action) const WCE_REQUIRES(mu_);
  // Posts a soft-key press or a message-box dismissal; false unless offered and awaited.
  bool ApplyInputLocked(const Action& action) WCE_REQUIRES(mu_);
  // True once the program has run and ended.
  bool ProgramEndedLocked() const WCE_REQUIRES(mu_);
  bool UiWaitingLocked() const WCE_REQUIRES(mu_);

  class Events;
  void NotifyMessageBox(const MessageBoxSnapshot& box);
  void NotifyProgress(int control_id, int pos);
  void NotifyDialogEnded(int template_id, std::intptr_t result);

  Device& device_;
  Mutex& mu_;  // the device lock (the scheduler's)
  const ScreenView& view_;
  UserInput& input_;
  std::unique_ptr<WindowEvents> window_events_;
  Mutex observer_mu_;  // guards observer_; held while the observer runs
  AutomationObserver* observer_ = nullptr;
};

}  // namespace wce

#endif  // WINCE_SYSTEM_AUTOMATION_H_
