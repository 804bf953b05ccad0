// Win32 entry points of the shell: thin adapters over the Shell component.
#include <windows.h>
#include <aygshell.h>

#include "system/device.h"
#include "model/scheduler.h"
#include "shell/shell.h"

using wce::Device;

namespace {

// The value of a shell call, its error made the last error.
BOOL Answer(const wce::Result<BOOL>& result) {
  if (result.error != ERROR_SUCCESS) SetLastError(result.error);
  return result.value;
}

}  // namespace

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi) {
  wce::ThreadGate();
  return Answer(Device::Get().shell().FitDialog(pshidi));
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi) {
  wce::ThreadGate();
  return Answer(Device::Get().shell().MakeMenuBar(pmbi));
}

HWND WINAPI SHFindMenuBar(HWND hwnd) {
  wce::ThreadGate();
  return Device::Get().shell().MenuBarOf(hwnd);
}

HRESULT WINAPI SHEnableSoftkey(HWND hwndMenuBar, UINT uid, BOOL bByIndex, BOOL bEnable) {
  wce::ThreadGate();
  return Device::Get().shell().EnableSoftKey(hwndMenuBar, uid, bByIndex, bEnable);
}

LONG WINAPI ChangeDisplaySettingsEx(LPCWSTR lpszDeviceName, LPDEVMODEW lpDevMode, HWND /*hwnd*/,
                                    DWORD dwflags, LPVOID /*lParam*/) {
  wce::ThreadGate();
  return Device::Get().shell().ChangeDisplay(lpszDeviceName, lpDevMode, dwflags);
}
