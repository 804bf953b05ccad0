// The device's power manager on desktop Win32: power requirements, recorded by the device shim.
// Needs <windows.h> first.
#ifndef KEPLA_WIN32_PM_H_
#define KEPLA_WIN32_PM_H_

#ifdef __cplusplus
extern "C" {
#endif

typedef enum _CEDEVICE_POWER_STATE {
  PwrDeviceUnspecified = -1,
  D0 = 0,
  D1,
  D2,
  D3,
  D4,
  PwrDeviceMaximum
} CEDEVICE_POWER_STATE;

#define POWER_NAME 0x00000001
#define POWER_FORCE 0x00001000

// A handle for the requirement (NULL when pvDevice is NULL or DeviceFlags lacks POWER_NAME).
HANDLE WINAPI SetPowerRequirement(PVOID pvDevice, CEDEVICE_POWER_STATE DeviceState,
                                  ULONG DeviceFlags, PVOID pvSystemState, ULONG StateFlags);
// ERROR_SUCCESS, or ERROR_INVALID_HANDLE for a handle SetPowerRequirement did not give.
DWORD WINAPI ReleasePowerRequirement(HANDLE hPowerReq);

#ifdef __cplusplus
}
#endif

#endif  // KEPLA_WIN32_PM_H_
