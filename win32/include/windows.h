// The device's <windows.h> on desktop Win32: the real header, plus what the device's version
// declares and desktop Win32 lacks, plus the calls whose desktop answer differs from the device's
// (those are redirected to the device shim). Everything here is listed in win32/README.md.
//
// The shim's own sources define KEPLA_SHIM_IMPLEMENTATION to see the desktop calls unredirected.
#ifndef KEPLA_WIN32_WINDOWS_H_
#define KEPLA_WIN32_WINDOWS_H_

#include_next <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// The HAL's device type for KernelIoControl codes (the OEM identity query).
#ifndef FILE_DEVICE_HAL
#define FILE_DEVICE_HAL 0x00000101
#endif

// The device names the unrotated display DMDO_0.
#ifndef DMDO_0
#define DMDO_0 DMDO_DEFAULT
#endif

// Battery status, as the device's power manager reports it (24 bytes).
#ifndef BATTERY_PERCENTAGE_UNKNOWN
#define BATTERY_PERCENTAGE_UNKNOWN 0xFF
#endif
typedef struct _SYSTEM_POWER_STATUS_EX {
  BYTE ACLineStatus;
  BYTE BatteryFlag;
  BYTE BatteryLifePercent;
  BYTE Reserved1;
  DWORD BatteryLifeTime;
  DWORD BatteryFullLifeTime;
  BYTE Reserved2;
  BYTE BackupBatteryFlag;
  BYTE BackupBatteryLifePercent;
  BYTE Reserved3;
  DWORD BackupBatteryLifeTime;
  DWORD BackupBatteryFullLifeTime;
} SYSTEM_POWER_STATUS_EX, *PSYSTEM_POWER_STATUS_EX, *LPSYSTEM_POWER_STATUS_EX;

// The device profile's battery; FALSE when the profile says the battery cannot be read.
BOOL WINAPI GetSystemPowerStatusEx(PSYSTEM_POWER_STATUS_EX pstatus, BOOL fUpdate);
// Postpones suspend; the shim counts the calls.
void WINAPI SystemIdleTimerReset(void);
// The device looks exports up by a wide name.
FARPROC WINAPI GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);

// Replacements of desktop calls whose answer differs on the device.
// The string-table text in place when lpBuffer is NULL and cchBufferMax is 0: the result is then
// the text's address, pointer-sized as in the simulated device's layer. The copy form is the
// desktop's.
INT_PTR WINAPI KeplaShimLoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer,
                                    int cchBufferMax);
// The device profile's memory load over the desktop's other figures.
void WINAPI KeplaShimGlobalMemoryStatus(LPMEMORYSTATUS lpBuffer);
// The device profile's free bytes for a storage card that has them; the desktop answer otherwise.
BOOL WINAPI KeplaShimGetDiskFreeSpaceExW(LPCWSTR lpDirectoryName,
                                         PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                         PULARGE_INTEGER lpTotalNumberOfBytes,
                                         PULARGE_INTEGER lpTotalNumberOfFreeBytes);

// The device's entry point takes the wide command line (without the program's name) under the
// name WinMain; the shim's wWinMain calls it.
int WINAPI KeplaDeviceWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine,
                              int nShowCmd);

#ifdef __cplusplus
}
#endif

#ifndef KEPLA_SHIM_IMPLEMENTATION
#undef LoadString
#define LoadString KeplaShimLoadStringW
#define LoadStringW KeplaShimLoadStringW
#define GlobalMemoryStatus KeplaShimGlobalMemoryStatus
#undef GetDiskFreeSpaceEx
#define GetDiskFreeSpaceEx KeplaShimGetDiskFreeSpaceExW
#define GetDiskFreeSpaceExW KeplaShimGetDiskFreeSpaceExW
#define WinMain KeplaDeviceWinMain
#endif

// The device is 32-bit and keeps pointers in GWL_USERDATA; on Win64 only the pointer-sized
// forms can.
#if defined(_WIN64) && !defined(KEPLA_SHIM_IMPLEMENTATION)
#ifndef GWL_USERDATA
#define GWL_USERDATA (-21)
#endif
#define GetWindowLongW GetWindowLongPtrW
#define SetWindowLongW SetWindowLongPtrW
#endif

#endif  // KEPLA_WIN32_WINDOWS_H_
