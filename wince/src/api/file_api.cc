// Win32 file calls: thin adapters over FileSystem.
#include <windows.h>

#include <cstdint>
#include <string_view>

#include "api/call_entry.h"
#include "system/device.h"
#include "model/scheduler.h"
#include "kernel/file_object.h"
#include "kernel/filesystem.h"

namespace {

wce::FileSystem& Files() { return wce::Device::Get().fs(); }

// Sets the last error unless `error` is ERROR_SUCCESS; returns whether it is.
BOOL Succeeded(DWORD error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
}

// The file that `handle` names; null with ERROR_INVALID_HANDLE as the last error when none.
std::shared_ptr<wce::FileObject> FileOf(HANDLE handle) {
  std::shared_ptr<wce::FileObject> file = wce::LookUpFile(wce::Device::Get().handles(), handle);
  if (file == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

// A null name is refused the way an empty one is.
std::u16string_view PathOf(LPCWSTR name) { return name == nullptr ? std::u16string_view() : name; }

}  // namespace

HANDLE WINAPI CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("CreateFileW", wce::api::PathOrEmpty(lpFileName))) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  const wce::FileSystem::OpenRequest request{dwDesiredAccess, dwShareMode, dwCreationDisposition,
                                             dwFlagsAndAttributes};
  DWORD error = ERROR_SUCCESS;
  bool existed = false;
  std::shared_ptr<wce::FileObject> file =
      Files().Open(PathOf(lpFileName), request, &error, &existed);
  if (file == nullptr) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  // As on the device, a call that may create reports whether the file was already there.
  const bool may_create =
      dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS;
  SetLastError(may_create && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return wce::Device::Get().handles().Add(std::move(file));
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("ReadFile", wce::api::FileOfHandle(hFile))) {
    SetLastError(*error);
    return FALSE;
  }
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead > 0)) {
    return Succeeded(ERROR_INVALID_PARAMETER);
  }
  std::shared_ptr<wce::FileObject> file = FileOf(hFile);
  if (file == nullptr) return FALSE;
  DWORD done = 0;
  const DWORD error = Files().Read(*file, lpBuffer, nNumberOfBytesToRead, &done);
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = done;
  return Succeeded(error);
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("WriteFile", wce::api::FileOfHandle(hFile))) {
    SetLastError(*error);
    return FALSE;
  }
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite > 0)) {
    return Succeeded(ERROR_INVALID_PARAMETER);
  }
  std::shared_ptr<wce::FileObject> file = FileOf(hFile);
  if (file == nullptr) return FALSE;
  DWORD done = 0;
  const DWORD error = Files().Write(*file, lpBuffer, nNumberOfBytesToWrite, &done);
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
  return Succeeded(error);
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, LONG* lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("SetFilePointer", wce::api::FileOfHandle(hFile))) {
    SetLastError(*error);
    return INVALID_SET_FILE_POINTER;
  }
  std::shared_ptr<wce::FileObject> file = FileOf(hFile);
  if (file == nullptr) return INVALID_SET_FILE_POINTER;
  // Without a high part the distance is a signed 32-bit value and the result must fit 32 bits.
  std::int64_t distance = lDistanceToMove;
  std::uint64_t limit = 0xFFFFFFFFu;
  if (lpDistanceToMoveHigh != nullptr) {
    distance = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*lpDistanceToMoveHigh)) << 32) |
        static_cast<std::uint32_t>(lDistanceToMove));
    limit = UINT64_MAX;
  }
  std::uint64_t position = 0;
  const DWORD error = Files().Seek(*file, distance, dwMoveMethod, limit, &position);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh != nullptr) *lpDistanceToMoveHigh = static_cast<LONG>(position >> 32);
  // A position whose low part is 0xFFFFFFFF is told from a failure by the last error.
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("GetFileSize", wce::api::FileOfHandle(hFile))) {
    SetLastError(*error);
    return INVALID_FILE_SIZE;
  }
  std::shared_ptr<wce::FileObject> file = FileOf(hFile);
  if (file == nullptr) return INVALID_FILE_SIZE;
  std::uint64_t size = 0;
  if (const DWORD error = Files().Size(*file, &size); error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_FILE_SIZE;
  }
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size);
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("SetEndOfFile", wce::api::FileOfHandle(hFile))) {
    SetLastError(*error);
    return FALSE;
  }
  std::shared_ptr<wce::FileObject> file = FileOf(hFile);
  if (file == nullptr) return FALSE;
  return Succeeded(Files().SetEnd(*file));
}

BOOL WINAPI DeleteFileW(LPCWSTR lpFileName) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("DeleteFileW", wce::api::PathOrEmpty(lpFileName))) {
    SetLastError(*error);
    return FALSE;
  }
  return Succeeded(Files().Delete(PathOf(lpFileName)));
}

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName) {
  wce::ThreadGate();
  DWORD attributes = 0;
  if (const DWORD error = Files().GetAttributes(PathOf(lpFileName), &attributes);
      error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  return attributes;
}

BOOL WINAPI SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
  wce::ThreadGate();
  return Succeeded(Files().SetAttributes(PathOf(lpFileName), dwFileAttributes));
}

BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  wce::ThreadGate();
  return Succeeded(Files().MakeDirectory(PathOf(lpPathName)));
}
