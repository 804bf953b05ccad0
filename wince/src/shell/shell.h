// The Windows Mobile shell of the device: the display (size and rotation), full-screen dialogs,
// and the menu bars with their two soft keys.
//
// Locking: state is guarded by the scheduler's mutex. Methods named ...Locked need it held; the
// others take it themselves and must be called without it (they may call window procedures).
//
// Menu bars are windows of the internal class "menu_worker", owned by the window they serve and
// made on its thread. A press on a soft key reaches the bar as input (a WM_LBUTTONUP posted to its
// thread), so it is handled when that thread retrieves messages; the bar then sends
// WM_COMMAND(MAKEWPARAM(id, 0), bar) to its owner if the key is still enabled.
#ifndef WINCE_SHELL_SHELL_H_
#define WINCE_SHELL_SHELL_H_

#include <map>
#include <optional>
#include <set>
#include <vector>

#include <windows.h>
#include <commctrl.h>
#include <aygshell.h>

#include "host/mutex.h"
#include "shell/soft_keys.h"
#include "user/result.h"

namespace wce {

class Modules;
class Scheduler;
class WindowSystem;

class Shell {
 public:
  static constexpr const char16_t* kMenuBarClass = u"menu_worker";

  // A display of `native_width` x `native_height` pixels turned by `rotation` degrees (an invalid
  // rotation counts as 0); menus are read from `modules`. Registers the menu bar's window class
  // with `windows` and pushes the screen to it. All three must outlive the shell.
  Shell(Scheduler& scheduler, WindowSystem& windows, Modules& modules, int native_width,
        int native_height, int rotation);
  Shell(const Shell&) = delete;
  Shell& operator=(const Shell&) = delete;

  // The device lock the shell's state is guarded by.
  Mutex& mutex() const WCE_RETURN_CAPABILITY(mu_) { return mu_; }

  // ---- Display ----------------------------------------------------------------------------------

  int RotationLocked() const WCE_REQUIRES(mu_) { return rotation_; }
  RECT ScreenRectLocked() const WCE_REQUIRES(mu_);
  RECT WorkAreaLocked() const WCE_REQUIRES(mu_);

  // Turns the display to `degrees` (0, 90, 180, 270; anything else returns false). Windows that
  // filled the work area (dialogs sized by SHInitDialog, CW_USEDEFAULT main windows) are resized
  // to the new work area, each receiving WM_SIZE on its own thread (the caller waits for it as
  // for a sent message), and menu bars move to the new bottom edge. Any thread, no lock held.
  bool Rotate(int degrees);

  // ---- Shell calls (behind the Win32 entry points) -------------------------------------------

  // Sizes a dialog to the work area when asked to. FALSE with ERROR_INVALID_PARAMETER or
  // ERROR_INVALID_WINDOW_HANDLE.
  Result<BOOL> FitDialog(SHINITDLGINFO* info);
  // Makes the menu bar of info->hwndParent from the MENU resource info->nToolBarId. FALSE with
  // ERROR_INVALID_PARAMETER, ERROR_INVALID_WINDOW_HANDLE, ERROR_RESOURCE_NAME_NOT_FOUND, or the
  // error that creating its window met.
  Result<BOOL> MakeMenuBar(SHMENUBARINFO* info);
  // The menu bar serving `owner`, or null. Takes the lock.
  HWND MenuBarOf(HWND owner);
  // E_FAIL when `bar` is no menu bar or `uid` names no key of it.
  HRESULT EnableSoftKey(HWND bar, UINT uid, BOOL by_index, BOOL enable);
  // Queries (CDS_TEST) or turns the display; a DISP_CHANGE_ code.
  LONG ChangeDisplay(LPCWSTR device_name, DEVMODEW* mode, DWORD flags);

  // ---- For automation
  // ----------------------------------------------------------------------------

  // The menu bar serving `owner`, or null.
  HWND MenuBarOfLocked(HWND owner) const WCE_REQUIRES(mu_);
  // The soft keys of `bar` (left, right); empty when `bar` is no menu bar.
  std::vector<SoftKey> SoftKeysLocked(HWND bar) const WCE_REQUIRES(mu_);
  // Whether pressing key `index` of `owner`'s menu bar would do something now: the key exists and
  // is enabled, and the owner is enabled (no modal window above it).
  bool CanPressLocked(HWND owner, int index) const WCE_REQUIRES(mu_);
  // Posts a press of key `index` to `owner`'s menu bar as input. False when CanPressLocked is not.
  bool PressLocked(HWND owner, int index) WCE_REQUIRES(mu_);

 private:
  struct MenuBar {
    HWND owner = nullptr;
    SoftKeys keys;
  };
  LRESULT MenuBarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnSetButtonInfo(HWND bar, WPARAM command, const TBBUTTONINFOW* info);
  void OnTap(HWND bar, int x);
  void Forget(HWND bar);
  MenuBar* BarLocked(HWND bar) WCE_REQUIRES(mu_);
  const MenuBar* BarLocked(HWND bar) const WCE_REQUIRES(mu_);
  void PushScreenLocked() WCE_REQUIRES(mu_);

  Mutex& mu_;
  WindowSystem& windows_;
  Modules& modules_;
  const int native_width_;
  const int native_height_;
  int rotation_ WCE_GUARDED_BY(mu_) = 0;
  std::set<HWND> full_screen_ WCE_GUARDED_BY(mu_);    // dialogs sized by SHInitDialog
  std::map<HWND, MenuBar> bars_ WCE_GUARDED_BY(mu_);  // by bar window
};

}  // namespace wce

#endif  // WINCE_SHELL_SHELL_H_
