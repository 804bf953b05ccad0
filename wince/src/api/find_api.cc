// FindFirstFileW / FindNextFileW / FindClose over FileSystem::List.
#include <windows.h>

#include <mutex>
#include <string_view>
#include <vector>

#include "api/call_entry.h"
#include "system/device.h"
#include "model/scheduler.h"
#include "kernel/filesystem.h"

namespace {

// A search in progress: the entries matched when it started, handed out in order.
class FindObject final : public wce::KernelObject {
 public:
  explicit FindObject(std::vector<WIN32_FIND_DATAW> entries) : entries_(std::move(entries)) {}

  // Copies the next entry into *data; false when none is left.
  bool Next(WIN32_FIND_DATAW* data) {
    wce::MutexLock lock(mu_);
    if (next_ == entries_.size()) return false;
    *data = entries_[next_++];
    return true;
  }

 private:
  wce::Mutex mu_;
  std::vector<WIN32_FIND_DATAW> entries_;
  std::size_t next_ = 0;
};

}  // namespace

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("FindFirstFileW", wce::api::PathOrEmpty(lpFileName))) {
    SetLastError(*error);
    return INVALID_HANDLE_VALUE;
  }
  if (lpFindFileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  wce::Device& device = wce::Device::Get();
  std::vector<WIN32_FIND_DATAW> entries;
  const std::u16string_view pattern = lpFileName == nullptr ? std::u16string_view() : lpFileName;
  if (const DWORD error = device.fs().List(pattern, &entries); error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  auto search = std::make_shared<FindObject>(std::move(entries));
  search->Next(lpFindFileData);
  return device.handles().Add(std::move(search));
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("FindNextFileW")) {
    SetLastError(*error);
    return FALSE;
  }
  auto search = wce::Device::Get().handles().GetAs<FindObject>(hFindFile);
  if (search == nullptr || lpFindFileData == nullptr) {
    SetLastError(search == nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!search->Next(lpFindFileData)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("FindClose")) {
    SetLastError(*error);
    return FALSE;
  }
  wce::HandleTable& handles = wce::Device::Get().handles();
  if (handles.GetAs<FindObject>(hFindFile) == nullptr || handles.Remove(hFindFile) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
