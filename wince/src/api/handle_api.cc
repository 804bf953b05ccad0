// CloseHandle: the one way every kind of kernel object leaves the handle table.
#include <windows.h>

#include "api/call_entry.h"
#include "system/device.h"
#include "model/scheduler.h"

BOOL WINAPI CloseHandle(HANDLE hObject) {
  wce::ThreadGate();
  // On the device a close fails only for a handle that is not open: a failure made of a close
  // (callFails) still takes an open handle away, so that no handle outlives its close.
  const auto failure = wce::api::EnterCall("CloseHandle", wce::api::FileOfHandle(hObject));
  wce::HandleTable& handles = wce::Device::Get().handles();
  std::shared_ptr<wce::KernelObject> object = handles.Remove(hObject);
  // The object itself lives on while a wait or a read on another thread still holds it.
  if (object != nullptr && handles.CountHandlesTo(object.get()) == 0) object->OnLastHandleClosed();
  if (failure || object == nullptr) {
    SetLastError(failure.value_or(ERROR_INVALID_HANDLE));
    return FALSE;
  }
  return TRUE;
}
