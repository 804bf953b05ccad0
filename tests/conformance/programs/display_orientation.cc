// The display's orientation: unrotated on both platforms, read the platform's own way (the
// device answers ChangeDisplaySettingsEx with CDS_TEST; the desktop has EnumDisplaySettingsW),
// and the codes and layout each platform's headers give it.
#include <windows.h>

#include "conformance.h"

int ConformanceMain(HINSTANCE, LPCWSTR) {
  DEVMODEW mode = {};
  mode.dmSize = sizeof(mode);
#ifdef UNDER_CE
  mode.dmFields = DM_DISPLAYORIENTATION;
  LONG result = ChangeDisplaySettingsEx(NULL, &mode, NULL, CDS_TEST, NULL);
  Line() << "the orientation can be read: " << (result == DISP_CHANGE_SUCCESSFUL);
  Line() << "the display is unrotated: " << (mode.dmDisplayOrientation == DMDO_0);
  // The device's codes and layout (its reference leaves DMDO_270's value open; 4 is used).
  Line(Only::kDevice) << "DMDO_90 " << DMDO_90 << ", DMDO_180 " << DMDO_180 << ", DMDO_270 "
                      << DMDO_270;
  Line(Only::kDevice) << "DM_DISPLAYORIENTATION 0x800000: "
                      << (DM_DISPLAYORIENTATION == 0x00800000L);
  Line(Only::kDevice) << "DEVMODEW is " << static_cast<unsigned>(sizeof(DEVMODEW)) << " bytes";
#else
  BOOL read = EnumDisplaySettingsW(NULL, ENUM_CURRENT_SETTINGS, &mode);
  Line() << "the orientation can be read: " << (read != FALSE);
  Line() << "the display is unrotated: " << (mode.dmDisplayOrientation == DMDO_DEFAULT);
  Line(Only::kDesktop) << "DMDO_90 " << DMDO_90 << ", DMDO_180 " << DMDO_180 << ", DMDO_270 "
                       << DMDO_270;
  Line(Only::kDesktop) << "DM_DISPLAYORIENTATION 0x80: " << (DM_DISPLAYORIENTATION == 0x00000080L);
  Line(Only::kDesktop) << "DEVMODEW is " << static_cast<unsigned>(sizeof(DEVMODEW)) << " bytes";
#endif
  return 0;
}
