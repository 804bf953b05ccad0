// Power manager and battery: power requirements and idle-timer resets are recorded, the battery
// is the profile's.
#include <windows.h>
#include <pm.h>

#include <cwchar>

#include "device_profile.h"
#include "device_state.h"

namespace {

// Handles given out for requirements: the address of a slot, never a kernel handle.
const int kMaxRequirements = 32;
struct Requirement {
  LONG in_use;
  LONG backlight_d0;
};
Requirement g_requirements[kMaxRequirements];
LONG g_idle_resets = 0;

bool IsBacklight(PVOID device, CEDEVICE_POWER_STATE state) {
  return state == D0 && _wcsicmp(static_cast<const wchar_t*>(device), L"BKL1:") == 0;
}

}  // namespace

namespace kepla_shim {

KeepAwakeRecord KeepAwakeState() {
  KeepAwakeRecord record;
  for (Requirement& r : g_requirements) {
    if (InterlockedCompareExchange(&r.in_use, 0, 0) == 0) continue;
    record.requirements_held++;
    if (InterlockedCompareExchange(&r.backlight_d0, 0, 0) != 0) record.backlight_held = true;
  }
  record.idle_timer_resets = static_cast<int>(InterlockedCompareExchange(&g_idle_resets, 0, 0));
  return record;
}

}  // namespace kepla_shim

HANDLE WINAPI SetPowerRequirement(PVOID pvDevice, CEDEVICE_POWER_STATE DeviceState,
                                  ULONG DeviceFlags, PVOID pvSystemState, ULONG) {
  if (pvDevice == NULL || (DeviceFlags & POWER_NAME) == 0 || DeviceState < D0 ||
      DeviceState >= PwrDeviceMaximum) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
  }
  if (pvSystemState != NULL) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return NULL;
  }
  for (Requirement& r : g_requirements) {
    if (InterlockedCompareExchange(&r.in_use, 1, 0) != 0) continue;
    InterlockedExchange(&r.backlight_d0, IsBacklight(pvDevice, DeviceState) ? 1 : 0);
    return &r;
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return NULL;
}

DWORD WINAPI ReleasePowerRequirement(HANDLE hPowerReq) {
  for (Requirement& r : g_requirements) {
    if (hPowerReq != &r) continue;
    InterlockedExchange(&r.backlight_d0, 0);
    if (InterlockedCompareExchange(&r.in_use, 0, 1) == 1) return ERROR_SUCCESS;
    break;
  }
  return ERROR_INVALID_HANDLE;
}

extern "C" void WINAPI SystemIdleTimerReset(void) { InterlockedIncrement(&g_idle_resets); }

extern "C" BOOL WINAPI GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pstatus, BOOL) {
  const kepla_shim::DeviceProfile& profile = kepla_shim::Profile();
  if (pstatus == NULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (profile.battery_fails) {
    SetLastError(ERROR_GEN_FAILURE);
    return FALSE;
  }
  SYSTEM_POWER_STATUS_EX status = {};
  status.ACLineStatus = 0;  // off external power
  status.BatteryFlag = profile.battery_percent == 255 ? 0xFF : 0;
  status.BatteryLifePercent = static_cast<BYTE>(profile.battery_percent);
  status.BatteryLifeTime = 0xFFFFFFFF;
  status.BatteryFullLifeTime = 0xFFFFFFFF;
  status.BackupBatteryFlag = 0xFF;
  status.BackupBatteryLifePercent = 0xFF;
  status.BackupBatteryLifeTime = 0xFFFFFFFF;
  status.BackupBatteryFullLifeTime = 0xFFFFFFFF;
  *pstatus = status;
  return TRUE;
}
