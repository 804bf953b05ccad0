// GetDiskFreeSpaceExW over FileSystem::FreeSpace.
#include <windows.h>

#include <string_view>

#include "api/call_entry.h"
#include "system/device.h"
#include "model/scheduler.h"
#include "kernel/filesystem.h"

BOOL WINAPI GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName,
                                PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                                PULARGE_INTEGER lpTotalNumberOfBytes,
                                PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
  wce::ThreadGate();
  if (const auto error =
          wce::api::EnterCall("GetDiskFreeSpaceExW", wce::api::PathOrEmpty(lpDirectoryName))) {
    SetLastError(*error);
    return FALSE;
  }
  // No folder means the root folder's volume.
  const std::u16string_view path = lpDirectoryName == nullptr ? u"\\" : lpDirectoryName;
  wce::FileSystem::Space space;
  if (const DWORD error = wce::Device::Get().fs().FreeSpace(path, &space); error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  if (lpFreeBytesAvailableToCaller != nullptr)
    lpFreeBytesAvailableToCaller->QuadPart = space.caller_free;
  if (lpTotalNumberOfBytes != nullptr) lpTotalNumberOfBytes->QuadPart = space.total;
  if (lpTotalNumberOfFreeBytes != nullptr) lpTotalNumberOfFreeBytes->QuadPart = space.total_free;
  return TRUE;
}
