// What the window system asks of the other programs on the device: their windows can be found by
// FindWindowW, checked by IsWindow and sent messages that carry no pointer. The run folder
// implements it; the device hands it to the window system once, before any program runs.
#ifndef WINCE_USER_OTHER_PROCESSES_H_
#define WINCE_USER_OTHER_PROCESSES_H_

#include <cstdint>
#include <optional>
#include <string>

#include <windows.h>

namespace wce {

// A top-level window of another process on the same device.
struct RemoteWindow {
  int pid = 0;
  std::uint64_t hwnd = 0;  // the window's handle value inside that process

  bool operator==(const RemoteWindow&) const = default;
};

// A top-level window this process shows to the others (hwnd value, class, title).
struct PublishedWindow {
  std::uint64_t hwnd = 0;
  std::u16string window_class;
  std::u16string title;
};

// True for the messages that may be sent to a window of another process: WM_NULL, WM_CLOSE and
// WM_COMMAND with lParam 0 (a command id, no control handle). Nothing else, since any other
// message may carry an address in wParam or lParam (WM_GETTEXT, WM_SETTEXT, WM_USER + n, ...).
bool CrossesProcesses(UINT msg, WPARAM wparam, LPARAM lparam);

// Every method is called with no layer lock held, from any thread; those that talk to another
// process may block the caller on host I/O.
class OtherProcesses {
 public:
  virtual ~OtherProcesses() = default;
  // The first window of another live process whose class (case-insensitive) and title
  // (case-sensitive) match; a null pointer matches anything.
  virtual std::optional<RemoteWindow> FindRemoteWindow(const std::u16string* window_class,
                                                       const std::u16string* title) = 0;
  virtual bool IsRemoteWindowAlive(const RemoteWindow& window) = 0;
  // Sends a message that CrossesProcesses and waits for the reply. False when it could not be
  // delivered (*result untouched then).
  virtual bool SendRemote(const RemoteWindow& window, UINT msg, WPARAM wparam, LPARAM lparam,
                          LRESULT* result) = 0;
  // This process's published windows changed (created, destroyed, retitled).
  virtual void PublishWindowsChanged() = 0;
};

// The other way: how a message that another program sent reaches a window of this one. The
// window system implements it; the run folder's listener calls it on a host thread with no lock
// held.
class IncomingMessages {
 public:
  virtual ~IncomingMessages() = default;
  // Sends a message that CrossesProcesses to a live window of this process and waits for the
  // reply; nullopt (nothing delivered) for any other message, or a handle that names no window
  // here (a proxy of a third program's window included).
  virtual std::optional<LRESULT> Deliver(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) = 0;
};

}  // namespace wce

#endif  // WINCE_USER_OTHER_PROCESSES_H_
