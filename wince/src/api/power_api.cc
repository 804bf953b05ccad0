// Battery, memory and power-manager calls: thin adapters over Hardware.
#include <windows.h>
#include <pm.h>

#include "api/call_entry.h"
#include "system/device.h"
#include "model/hardware.h"

// fUpdate is accepted either way: every reading is fresh.
BOOL WINAPI GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pstatus, BOOL) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("GetSystemPowerStatusEx")) {
    SetLastError(*error);
    return FALSE;
  }
  if (pstatus == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!wce::Device::Get().hardware().ReadPowerStatus(pstatus)) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  return TRUE;
}

void WINAPI GlobalMemoryStatus(LPMEMORYSTATUS lpBuffer) {
  wce::ThreadGate();
  wce::api::EnterCall("GlobalMemoryStatus");
  if (lpBuffer != nullptr) wce::Device::Get().hardware().ReadMemoryStatus(lpBuffer);
}

void WINAPI SystemIdleTimerReset(void) {
  wce::ThreadGate();
  wce::api::EnterCall("SystemIdleTimerReset");
  wce::Device::Get().hardware().ResetIdleTimer();
}

// Only named devices are supported (POWER_NAME: pvDevice is the device's name, "BKL1:"), for
// every system power state (pvSystemState NULL).
HANDLE WINAPI SetPowerRequirement(PVOID pvDevice, CEDEVICE_POWER_STATE DeviceState,
                                  ULONG DeviceFlags, PVOID pvSystemState, ULONG) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("SetPowerRequirement")) {
    SetLastError(*error);
    return nullptr;
  }
  if (pvDevice == nullptr || (DeviceFlags & POWER_NAME) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (pvSystemState != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  HANDLE handle = wce::Device::Get().hardware().SetPowerRequirement(
      static_cast<LPCWSTR>(pvDevice), static_cast<int>(DeviceState), &error);
  if (handle == nullptr) SetLastError(error);
  return handle;
}

DWORD WINAPI ReleasePowerRequirement(HANDLE hPowerReq) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("ReleasePowerRequirement")) return *error;
  return wce::Device::Get().hardware().ReleasePowerRequirement(hPowerReq);
}
