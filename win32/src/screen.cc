#include "screen.h"

#include "device_profile.h"

namespace kepla_shim {

const wchar_t kMenuBarClass[] = L"menu_worker";
const wchar_t kNavigationBarClass[] = L"KeplaNavigationBar";

RECT ScreenRect() {
  const DeviceProfile& profile = Profile();
  RECT r = {0, 0, profile.display_width, profile.display_height};
  return r;
}

RECT WorkArea() {
  RECT r = ScreenRect();
  r.top += kBarHeight;
  r.bottom -= kBarHeight;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

}  // namespace kepla_shim
