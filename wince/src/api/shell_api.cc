// Win32 entry points of the shell: thin adapters over the Shell component.
#include <windows.h>
#include <aygshell.h>

#include "api/call_entry.h"
#include "system/device.h"
#include "model/scheduler.h"
#include "shell/shell.h"

using wce::Device;

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi) {
  if (const auto error = wce::api::EnterCall("SHInitDialog")) {
    SetLastError(*error);
    return FALSE;
  }
  wce::ThreadGate();
  return Device::Get().shell().InitDialog(pshidi);
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi) {
  if (const auto error = wce::api::EnterCall("SHCreateMenuBar")) {
    SetLastError(*error);
    return FALSE;
  }
  wce::ThreadGate();
  return Device::Get().shell().CreateMenuBar(pmbi);
}

HWND WINAPI SHFindMenuBar(HWND hwnd) {
  wce::api::EnterCall("SHFindMenuBar");

  wce::ThreadGate();
  return Device::Get().shell().FindMenuBar(hwnd);
}

HRESULT WINAPI SHEnableSoftkey(HWND hwndMenuBar, UINT uid, BOOL bByIndex, BOOL bEnable) {
  if (const auto error = wce::api::EnterCall("SHEnableSoftkey")) {
    SetLastError(*error);
    return E_FAIL;
  }
  wce::ThreadGate();
  return Device::Get().shell().EnableSoftKey(hwndMenuBar, uid, bByIndex, bEnable);
}

LONG WINAPI ChangeDisplaySettingsEx(LPCWSTR lpszDeviceName, LPDEVMODEW lpDevMode, HWND /*hwnd*/,
                                    DWORD dwflags, LPVOID /*lParam*/) {
  if (const auto error = wce::api::EnterCall("ChangeDisplaySettingsEx")) {
    SetLastError(*error);
    return DISP_CHANGE_FAILED;
  }
  wce::ThreadGate();
  return Device::Get().shell().ChangeDisplaySettings(lpszDeviceName, lpDevMode, dwflags);
}
