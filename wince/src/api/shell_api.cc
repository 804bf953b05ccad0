// Win32 entry points of the shell: thin adapters over the Shell component.
#include <windows.h>
#include <aygshell.h>

#include "system/device.h"
#include "model/scheduler.h"
#include "shell/shell.h"

using wce::Device;

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi) {
  wce::ThreadGate();
  return Device::Get().shell().InitDialog(pshidi);
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi) {
  wce::ThreadGate();
  return Device::Get().shell().CreateMenuBar(pmbi);
}

HWND WINAPI SHFindMenuBar(HWND hwnd) {
  wce::ThreadGate();
  return Device::Get().shell().FindMenuBar(hwnd);
}

HRESULT WINAPI SHEnableSoftkey(HWND hwndMenuBar, UINT uid, BOOL bByIndex, BOOL bEnable) {
  wce::ThreadGate();
  return Device::Get().shell().EnableSoftKey(hwndMenuBar, uid, bByIndex, bEnable);
}

LONG WINAPI ChangeDisplaySettingsEx(LPCWSTR lpszDeviceName, LPDEVMODEW lpDevMode, HWND /*hwnd*/,
                                    DWORD dwflags, LPVOID /*lParam*/) {
  wce::ThreadGate();
  return Device::Get().shell().ChangeDisplaySettings(lpszDeviceName, lpDevMode, dwflags);
}
