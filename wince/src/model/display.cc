#include "model/display.h"

namespace wce {

bool IsValidRotation(int degrees) {
  return degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270;
}

DWORD OrientationCode(int degrees) {
  switch (degrees) {
    case 90:
      return DMDO_90;
    case 180:
      return DMDO_180;
    case 270:
      return DMDO_270;
    default:
      return DMDO_0;
  }
}

std::optional<int> RotationFromCode(DWORD code) {
  switch (code) {
    case DMDO_0:
      return 0;
    case DMDO_90:
      return 90;
    case DMDO_180:
      return 180;
    case DMDO_270:
      return 270;
    default:
      return std::nullopt;
  }
}

RECT ScreenRect(int width, int height, int degrees) {
  const bool sideways = degrees == 90 || degrees == 270;
  return RECT{0, 0, sideways ? height : width, sideways ? width : height};
}

RECT WorkArea(const RECT& screen) {
  return RECT{screen.left, screen.top + kNavigationBarHeight, screen.right,
              screen.bottom - kMenuBarHeight};
}

RECT MenuBarRect(const RECT& screen) {
  return RECT{screen.left, screen.bottom - kMenuBarHeight, screen.right, screen.bottom};
}

}  // namespace wce
