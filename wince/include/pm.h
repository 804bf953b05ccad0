// Power manager: device power requirements.
#ifndef WINCE_PM_H_
#define WINCE_PM_H_

// Needs <windows.h> first, as the platform's own header does.

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

// Returns a handle (0 on failure); the device records the requirement while it is held.
HANDLE WINAPI SetPowerRequirement(PVOID pvDevice, CEDEVICE_POWER_STATE DeviceState,
                                  ULONG DeviceFlags, PVOID pvSystemState, ULONG StateFlags);
DWORD WINAPI ReleasePowerRequirement(HANDLE hPowerReq);

#endif  // WINCE_PM_H_
