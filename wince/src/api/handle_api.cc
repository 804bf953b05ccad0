// CloseHandle: the one way every kind of kernel object leaves the handle table.
#include <windows.h>

#include "api/call_entry.h"
#include "system/device.h"
#include "model/scheduler.h"

BOOL WINAPI CloseHandle(HANDLE hObject) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("CloseHandle", wce::api::FileOfHandle(hObject))) {
    SetLastError(*error);
    return FALSE;
  }
  wce::HandleTable& handles = wce::Device::Get().handles();
  std::shared_ptr<wce::KernelObject> object = handles.Remove(hObject);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  // The object itself lives on while a wait or a read on another thread still holds it.
  if (handles.CountHandlesTo(object.get()) == 0) object->OnLastHandleClosed();
  return TRUE;
}
