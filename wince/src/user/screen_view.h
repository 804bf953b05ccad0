// The window system as those who read the screen see it (automation, the run folder, the shell):
// windows, their infos, message boxes, the foreground window, the generation and the screen
// metrics. Read-only: nothing here changes a window or calls a procedure.
//
// Locking: ...Locked methods need the device lock held (mutex()); the others take it.
#ifndef WINCE_USER_SCREEN_VIEW_H_
#define WINCE_USER_SCREEN_VIEW_H_

#include <cstdint>
#include <optional>
#include <vector>

#include <windows.h>

#include "user/message_queues.h"
#include "user/other_processes.h"
#include "user/window_info.h"
#include "user/window_table.h"

namespace wce {

class ScreenView {
 public:
  ScreenView(const WindowTable& table, const MessageQueues& queues);

  Mutex& mutex() const WCE_RETURN_CAPABILITY(mu_) { return mu_; }
  ScreenMetrics ScreenLocked() const WCE_REQUIRES(mu_) {
    table_.mutex().AssertHeld();
    return table_.ScreenLocked();
  }
  // Changes whenever anything visible changes (windows created, destroyed, shown, moved, sized,
  // retitled, enabled; progress positions; message boxes; soft keys; rotation). No lock needed.
  std::uint64_t generation() const { return table_.generation(); }

  // Top-level windows, topmost first (destroyed ones excluded; internal ones included).
  std::vector<HWND> TopLevelWindowsLocked() const WCE_REQUIRES(mu_);
  // The topmost visible top-level window that is neither internal nor a message box; null if
  // none.
  HWND ForegroundWindowLocked() const WCE_REQUIRES(mu_);
  std::optional<WindowInfo> InfoLocked(HWND hwnd) const WCE_REQUIRES(mu_);
  // Open message boxes, oldest first.
  std::vector<MessageBoxInfo> MessageBoxesLocked() const WCE_REQUIRES(mu_);
  // Top-level windows other processes may find (not internal, not message boxes), topmost
  // first. Takes the lock.
  std::vector<PublishedWindow> PublishedWindows() const;
  // True when `hwnd` names a live window of this process (a proxy of another program's window
  // is none). Takes the lock.
  bool IsLocalWindow(HWND hwnd) const;

  // The user-interface thread: the owner of the topmost visible top-level window that is not
  // internal (a message box counts); 0 when there is none.
  std::uint32_t UiThreadIdLocked() const WCE_REQUIRES(mu_);
  // True while `thread` is blocked in a retrieval, a modal loop or a wait for input, and has
  // nothing to retrieve.
  bool IsWaitingForInputLocked(const DeviceThread* thread) const WCE_REQUIRES(mu_);
  bool IsUiThreadWaitingForInputLocked() const WCE_REQUIRES(mu_);

 private:
  const WindowTable& table_;
  const MessageQueues& queues_;
  Mutex& mu_;
};

}  // namespace wce

#endif  // WINCE_USER_SCREEN_VIEW_H_
