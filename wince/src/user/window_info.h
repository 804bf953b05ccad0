// What the window system shows of itself to those who read the screen (automation, the shell,
// the run folder): plain values, copied out under the device lock.
#ifndef WINCE_USER_WINDOW_INFO_H_
#define WINCE_USER_WINDOW_INFO_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "user/window.h"

namespace wce {

// The screen as the window system sees it (the shell keeps it current). The work area is the
// screen without the navigation bar at the top and the menu bar at the bottom; CW_USEDEFAULT
// windows fill it.
struct ScreenMetrics {
  int width = 240;
  int height = 320;
  RECT work_area{0, 26, 240, 294};
};

// The screen of a display `width` x `height` pixels turned by `rotation` degrees (an invalid
// rotation counts as 0).
ScreenMetrics ScreenMetricsOf(int width, int height, int rotation);

// What automation and the terminal screen see of a window.
struct WindowInfo {
  HWND hwnd = nullptr;
  std::u16string class_name;
  std::u16string text;
  DWORD style = 0;
  int id = 0;
  RECT rect{};           // screen coordinates
  bool visible = false;  // the window and all its parents are visible
  bool enabled = true;
  HWND owner = nullptr;
  HWND parent = nullptr;
  std::uint32_t thread_id = 0;
  WindowKind kind = WindowKind::kPlain;
  bool internal = false;  // a window of an internal class (the shell's menu bar)
  int template_id = -1;   // dialogs: the RT_DIALOG resource id it was made from, or -1
  std::optional<ProgressState> progress;  // progress bars only
  std::vector<HWND> children;             // in creation order
};

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  std::u16string owner_title;
  std::u16string text;
  std::u16string caption;
  UINT style = 0;
};

}  // namespace wce

#endif  // WINCE_USER_WINDOW_INFO_H_
