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
#include "host/mutex.h"

namespace wce {

class Device;
class ScreenView;    // user/screen_view.h
class UserInput;     // user/user_input.h
class WindowEvents;  // user/window_events.h

struct ControlSnapshot {
  int id = 0;
  std::u16string class_name;  // "Static", "msctls_progress32", ...
  std::u16string text;
  RECT rect{};  // screen coordinates, pixels
  bool visible = true;
  bool enabled = true;
  // Progress bars only.
  std::optional<int> progress_pos;
  int progress_min = 0;
  int progress_max = 100;
};

struct SoftKeySnapshot {
  std::u16string label;
  bool enabled = true;
  int command = 0;
};

struct MessageBoxSnapshot {
  std::u16string owner_title;  // title of the owner window ("" when none)
  std::u16string text;
  std::u16string caption;
  std::uint32_t style = 0;
};

struct ScreenSnapshot {
  std::uint64_t time_ms = 0;     // device time of the snapshot
  std::uint64_t generation = 0;  // changes whenever anything visible changes
  int width = 240;               // current screen size with the rotation applied
  int height = 320;
  int rotation = 0;                // 0, 90, 180, 270
  bool waiting_for_input = false;  // the user-interface thread waits for input
  bool program_running = false;

  // The foreground window: the topmost visible top-level window (a page dialog, or the main
  // window when no dialog is open). Empty title and no controls when there is none.
  bool has_window = false;
  std::u16string title;
  std::u16string window_class;
  int template_id = -1;  // id of the dialog template resource it was made from, or -1
  RECT window_rect{};
  std::vector<ControlSnapshot> controls;
  std::vector<SoftKeySnapshot> soft_keys;  // left, right (empty when the window has no menu bar)
  std::optional<MessageBoxSnapshot> message_box;

  // Keep-awake state as the device records it.
  bool backlight_held = false;
  int idle_timer_resets = 0;
};

struct PressSoftKey {
  int index = 0;  // 0 left, 1 right
};
struct DismissMessageBox {};
struct Rotate {
  int degrees = 90;  // the new absolute rotation: 0, 90, 180 or 270
};
struct SignalEvent {
  std::u16string name;
};
using Action = std::variant<PressSoftKey, DismissMessageBox, Rotate, SignalEvent>;

// Notifications to a host; called on whatever thread made the change, with no layer lock held.
// Keep them short; do not call back into the program from them.
struct AutomationObserver {
  virtual ~AutomationObserver() = default;
  virtual void OnMessageBox(std::uint64_t /*time_ms*/, const MessageBoxSnapshot& /*box*/) {}
  virtual void OnProgress(std::uint64_t /*time_ms*/, int /*control_id*/, int /*pos*/) {}
  // A modal dialog made from template `template_id` (-1 when it came from no resource) has
  // returned `result` to the program.
  virtual void OnDialogEnded(std::uint64_t /*time_ms*/, int /*template_id*/,
                             std::intptr_t /*result*/) {}
};

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
