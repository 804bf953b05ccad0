// CreateEventW, OpenEventW, EventModify, SetEvent, ResetEvent: thin adapters over the event
// registry (kernel/events.h).
#include <windows.h>

#include <string_view>

#include "api/call_entry.h"
#include "system/device.h"
#include "system/run_folder.h"
#include "kernel/events.h"
#include "kernel/threads.h"

namespace {

// Event names obey the same length limit as paths.
bool NameTooLong(LPCWSTR name) { return name != nullptr && wcslen(name) >= MAX_PATH; }

BOOL ModifyLocal(wce::Event& event, DWORD func) {
  wce::Scheduler& scheduler = wce::Device::Get().scheduler();
  wce::MutexLock lock(scheduler.mutex());
  event.mutex().AssertHeld();
  switch (func) {
    case EVENT_SET:
      event.SetLocked();
      break;
    case EVENT_RESET:
      event.ResetLocked();
      break;
    case EVENT_PULSE:
      event.PulseLocked();
      break;
  }
  scheduler.NotifyAll();
  return TRUE;
}

// An event of another process can only be set.
BOOL ModifyRemote(const wce::RemoteEvent& event, DWORD func) {
  if (func != EVENT_SET) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (!wce::Device::Get().run_folder().SetRemoteEvent(event.name())) {
    SetLastError(ERROR_INVALID_HANDLE);  // its process has gone, and the event with it
    return FALSE;
  }
  return TRUE;
}

}  // namespace

// Security attributes are ignored (they must be NULL on the device).
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState,
                           LPCWSTR lpName) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("CreateEventW")) {
    SetLastError(*error);
    return nullptr;
  }
  if (NameTooLong(lpName)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  std::u16string_view name = lpName == nullptr ? std::u16string_view() : lpName;
  bool existed = false;
  HANDLE handle = wce::Device::Get().threads().events().Create(
      bManualReset != FALSE, bInitialState != FALSE, name, &existed);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

// Only EVENT_ALL_ACCESS-style access is known; the access mask and inheritance are not checked.
HANDLE WINAPI OpenEventW(DWORD, BOOL, LPCWSTR lpName) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("OpenEventW")) {
    SetLastError(*error);
    return nullptr;
  }
  if (lpName == nullptr || *lpName == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (NameTooLong(lpName)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);  // as CreateEventW answers the same name
    return nullptr;
  }
  wce::Device& device = wce::Device::Get();
  if (HANDLE handle = device.threads().events().Open(lpName)) return handle;
  if (device.run_folder().RemoteEventExists(lpName)) {
    return device.handles().Add(std::make_shared<wce::RemoteEvent>(lpName));
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

BOOL WINAPI EventModify(HANDLE hEvent, DWORD func) {
  wce::ThreadGate();
  if (func != EVENT_SET && func != EVENT_RESET && func != EVENT_PULSE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::shared_ptr<wce::KernelObject> object = wce::Device::Get().handles().Get(hEvent);
  if (auto* event = dynamic_cast<wce::Event*>(object.get())) return ModifyLocal(*event, func);
  if (auto* remote = dynamic_cast<wce::RemoteEvent*>(object.get())) {
    return ModifyRemote(*remote, func);
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return FALSE;
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
  wce::ThreadGate();
  if (const auto error = wce::api::EnterCall("SetEvent")) {
    SetLastError(*error);
    return FALSE;
  }
  return EventModify(hEvent, EVENT_SET);
}

BOOL WINAPI ResetEvent(HANDLE hEvent) { return EventModify(hEvent, EVENT_RESET); }
