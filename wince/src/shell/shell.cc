// The display and full-screen dialogs; the menu bars are in menu_bar.cc.
#include "shell/shell.h"

#include <mutex>
#include <utility>

#include "model/display.h"
#include "model/scheduler.h"
#include "user/window_system.h"

namespace wce {
namespace {

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool MoveTo(WindowSystem& windows, HWND hwnd, const RECT& r) {
  return windows.state().Move(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top).value;
}

}  // namespace

Shell::Shell(Scheduler& scheduler, WindowSystem& windows, Modules& modules, int native_width,
             int native_height, int rotation)
    : mu_(scheduler.mutex()),
      windows_(windows),
      modules_(modules),
      native_width_(native_width),
      native_height_(native_height) {
  windows_.RegisterInternalClass(kMenuBarClass,
                                 [this](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
                                   return MenuBarProc(hwnd, message, wparam, lparam);
                                 });
  MutexLock lock(mu_);
  rotation_ = IsValidRotation(rotation) ? rotation : 0;
  PushScreenLocked();
}

RECT Shell::ScreenRectLocked() const {
  return ScreenRect(native_width_, native_height_, rotation_);
}

RECT Shell::WorkAreaLocked() const { return WorkArea(ScreenRectLocked()); }

void Shell::PushScreenLocked() {
  windows_.table().mutex().AssertHeld();
  const RECT screen = ScreenRectLocked();
  ScreenMetrics metrics;
  metrics.width = screen.right - screen.left;
  metrics.height = screen.bottom - screen.top;
  metrics.work_area = WorkArea(screen);
  windows_.table().SetScreenLocked(metrics);
}

bool Shell::Rotate(int degrees) {
  if (!IsValidRotation(degrees)) return false;
  std::vector<std::pair<HWND, RECT>> moves;
  {
    MutexLock lock(mu_);
    windows_.table().mutex().AssertHeld();
    windows_.view().mutex().AssertHeld();
    if (degrees == rotation_) return true;
    const RECT old_work = WorkAreaLocked();
    rotation_ = degrees;
    PushScreenLocked();
    const RECT work = WorkAreaLocked();
    const RECT bar = MenuBarRect(ScreenRectLocked());
    for (HWND hwnd : windows_.view().TopLevelWindowsLocked()) {
      auto info = windows_.view().InfoLocked(hwnd);
      if (!info) continue;
      if (info->internal) {
        if (bars_.count(hwnd) != 0) moves.emplace_back(hwnd, bar);
      } else if (info->kind != WindowKind::kMessageBox &&
                 (full_screen_.count(hwnd) != 0 || SameRect(info->rect, old_work))) {
        moves.emplace_back(hwnd, work);
      }
    }
    std::erase_if(full_screen_, [&](HWND h) {
      windows_.table().mutex().AssertHeld();
      return windows_.table().FindLocked(h) == nullptr;
    });
  }
  // Each window is resized on its own thread's terms: WM_SIZE is sent, not called from here.
  for (const auto& [hwnd, rect] : moves) MoveTo(windows_, hwnd, rect);
  return true;
}

Result<BOOL> Shell::FitDialog(SHINITDLGINFO* info) {
  if (info == nullptr) return {FALSE, ERROR_INVALID_PARAMETER};
  if (!windows_.view().IsLocalWindow(info->hDlg)) {
    return {FALSE, ERROR_INVALID_WINDOW_HANDLE};
  }
  const DWORD sizing = SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN;
  if ((info->dwMask & SHIDIM_FLAGS) == 0 || (info->dwFlags & sizing) == 0) return {TRUE};
  RECT work;
  {
    MutexLock lock(mu_);
    work = WorkAreaLocked();
    full_screen_.insert(info->hDlg);
  }
  return windows_.state().Move(info->hDlg, work.left, work.top, work.right - work.left,
                               work.bottom - work.top);
}

LONG Shell::ChangeDisplay(LPCWSTR device_name, DEVMODEW* mode, DWORD flags) {
  if (device_name != nullptr || mode == nullptr || mode->dmSize != sizeof(DEVMODEW)) {
    return DISP_CHANGE_BADPARAM;
  }
  if (flags & CDS_TEST) {
    if (mode->dmFields & DM_DISPLAYQUERYORIENTATION) {
      mode->dmDisplayOrientation = DMDO_0 | DMDO_90 | DMDO_180 | DMDO_270;
      return DISP_CHANGE_SUCCESSFUL;
    }
    if (mode->dmFields & DM_DISPLAYORIENTATION) {
      MutexLock lock(mu_);
      mode->dmDisplayOrientation = OrientationCode(rotation_);
      return DISP_CHANGE_SUCCESSFUL;
    }
    return DISP_CHANGE_BADMODE;
  }
  if ((mode->dmFields & DM_DISPLAYORIENTATION) == 0) return DISP_CHANGE_BADMODE;
  std::optional<int> degrees = RotationFromCode(mode->dmDisplayOrientation);
  if (!degrees) return DISP_CHANGE_BADPARAM;
  return Rotate(*degrees) ? DISP_CHANGE_SUCCESSFUL : DISP_CHANGE_FAILED;
}

}  // namespace wce
