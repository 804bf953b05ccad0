#include "ui/display.h"

#include <windows.h>

bool IsPortraitDisplay() {
  DEVMODEW mode = {};
  mode.dmSize = sizeof(DEVMODEW);
  mode.dmFields = DM_DISPLAYORIENTATION;
  if (ChangeDisplaySettingsEx(NULL, &mode, NULL, CDS_TEST, NULL) != DISP_CHANGE_SUCCESSFUL) {
    return true;
  }
  return mode.dmDisplayOrientation == DMDO_0;
}
