// The desktop entry point: runs the device's WinMain with the wide command line, under the
// automation agent when `kepla --platform wine` asks for one.
#include <windows.h>

#include "agent/agent.h"
#include "device_profile.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nShowCmd) {
  kepla_shim::Profile();  // read before any thread may ask
  kepla_shim::StartAgent(hInstance);
  wchar_t empty[1] = {0};
  int code =
      KeplaDeviceWinMain(hInstance, hPrevInstance, lpCmdLine != NULL ? lpCmdLine : empty, nShowCmd);
  kepla_shim::ReportExit(code);
  return code;
}
