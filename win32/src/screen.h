// The device's screen on the desktop: the profile's panel at the top left of the display, a
// 26-pixel navigation bar across its top and a 26-pixel menu bar across its bottom; the work area
// lies between them.
#ifndef KEPLA_WIN32_SCREEN_H_
#define KEPLA_WIN32_SCREEN_H_

#include <windows.h>

namespace kepla_shim {

const int kBarHeight = 26;

// The whole device screen.
RECT ScreenRect();
// The screen less the navigation bar and the menu bar.
RECT WorkArea();

// Window classes of the shim's own windows, which the automation agent leaves out of the screen.
extern const wchar_t kMenuBarClass[];
extern const wchar_t kNavigationBarClass[];

}  // namespace kepla_shim

#endif  // KEPLA_WIN32_SCREEN_H_
