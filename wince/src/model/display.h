// Screen geometry of the device: rotation, screen rectangle and the work area between the
// shell's two bars. Pure functions; the Shell component holds the current state.
#ifndef WINCE_MODEL_DISPLAY_H_
#define WINCE_MODEL_DISPLAY_H_

#include <optional>

#include <windows.h>

namespace wce {

// The navigation bar (title, clock) across the top of the screen and the menu bar with the two
// soft keys across the bottom. Windows sized to the work area sit between them.
inline constexpr int kNavigationBarHeight = 26;
inline constexpr int kMenuBarHeight = 26;

// True for 0, 90, 180 and 270.
bool IsValidRotation(int degrees);

// The DMDO_* code of a rotation (DMDO_0, DMDO_90, DMDO_180, DMDO_270). `degrees` must be valid.
DWORD OrientationCode(int degrees);
// The rotation of a DMDO_* code; nullopt for anything else (3 is the desktop's 270 code, not ours).
std::optional<int> RotationFromCode(DWORD code);

// The whole screen for a panel of native (portrait) size `width` x `height` turned by `degrees`:
// 90 and 270 swap the sides.
RECT ScreenRect(int width, int height, int degrees);
// The screen less the navigation bar above and the menu bar below.
RECT WorkArea(const RECT& screen);
// Where the menu bar sits: the bottom kMenuBarHeight pixels of the screen.
RECT MenuBarRect(const RECT& screen);

}  // namespace wce

#endif  // WINCE_MODEL_DISPLAY_H_
