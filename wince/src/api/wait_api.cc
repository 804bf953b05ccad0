// WaitForSingleObject and WaitForMultipleObjects: thin adapters over the wait engine.
#include <windows.h>

#include <vector>

#include "system/device.h"
#include "kernel/wait.h"

namespace {

DWORD WaitForHandles(std::span<const HANDLE> handles, DWORD timeout_ms) {
  std::vector<std::shared_ptr<wce::KernelObject>> objects;
  wce::Device& device = wce::Device::Get();
  if (!wce::ResolveWaitHandles(device.handles(), handles, &objects)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  wce::Scheduler& scheduler = device.scheduler();
  wce::UniqueLock lock(scheduler.mutex());
  DWORD result = wce::WaitForObjectsLocked(scheduler, lock, objects,
                                           scheduler.DeadlineAfterLocked(timeout_ms));
  return result == WAIT_TIMEOUT ? WAIT_TIMEOUT : WAIT_OBJECT_0 + result;
}

}  // namespace

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  wce::ThreadGate();
  return WaitForHandles(std::span<const HANDLE>(&hHandle, 1), dwMilliseconds);
}

// Waiting for all objects at once is not supported on the device: fWaitAll TRUE fails with
// ERROR_NOT_SUPPORTED.
DWORD WINAPI WaitForMultipleObjects(DWORD nCount, CONST HANDLE* lpHandles, BOOL fWaitAll,
                                    DWORD dwMilliseconds) {
  wce::ThreadGate();
  if (fWaitAll) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return WAIT_FAILED;
  }
  if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || lpHandles == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return WaitForHandles(std::span<const HANDLE>(lpHandles, nCount), dwMilliseconds);
}
