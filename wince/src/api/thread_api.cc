// CreateThread, TerminateThread, GetExitCodeThread, GetCurrentThreadId: thin adapters over Threads.
#include <windows.h>

#include "api/call_entry.h"
#include "system/device.h"
#include "kernel/threads.h"

namespace {

std::shared_ptr<wce::ThreadObject> ThreadFromHandle(HANDLE handle) {
  return wce::Device::Get().handles().GetAs<wce::ThreadObject>(handle);
}

}  // namespace

// Security attributes and the stack size are ignored, as on the device. No creation flag is
// supported (the threads start at once).
HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("CreateThread")) {
    SetLastError(*error);
    return nullptr;
  }
  if (lpStartAddress == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (dwCreationFlags != 0) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  wce::Device& device = wce::Device::Get();
  DWORD error = ERROR_SUCCESS;
  std::shared_ptr<wce::ThreadObject> thread =
      device.threads().Start(lpStartAddress, lpParameter, &error);
  if (thread == nullptr) {
    SetLastError(error);
    return nullptr;
  }
  if (lpThreadId != nullptr) *lpThreadId = thread->id();
  return device.handles().Add(std::move(thread));
}

BOOL WINAPI TerminateThread(HANDLE hThread, DWORD dwExitCode) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("TerminateThread")) {
    SetLastError(*error);
    return FALSE;
  }
  std::shared_ptr<wce::ThreadObject> thread = ThreadFromHandle(hThread);
  if (thread == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  wce::Device::Get().threads().Terminate(*thread, dwExitCode);
  return TRUE;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  wce::ThreadGate();
  std::shared_ptr<wce::ThreadObject> thread = ThreadFromHandle(hThread);
  if (thread == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpExitCode == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  wce::MutexLock lock(wce::Device::Get().scheduler().mutex());
  thread->mutex().AssertHeld();
  *lpExitCode = thread->exit_code_locked();
  return TRUE;
}

// A host thread that is no device thread has no id: 0.
DWORD WINAPI GetCurrentThreadId(void) {
  wce::ThreadGate();
  const wce::DeviceThread* self = wce::DeviceThread::Current();
  return self == nullptr ? 0 : self->id();
}
