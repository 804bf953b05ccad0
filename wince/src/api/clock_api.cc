// GetTickCount and Sleep: the device clock seen by the program.
#include <windows.h>

#include <thread>

#include "api/call_entry.h"
#include "system/device.h"

// Device milliseconds since boot, cut to 32 bits: it wraps after about 49.7 days, as on the device.
DWORD WINAPI GetTickCount(void) {
  wce::ThreadGate();
  wce::api::EnterCall("GetTickCount");
  return static_cast<DWORD>(wce::Device::Get().scheduler().Now());
}

// Sleep(0) gives up the rest of the time slice; any other value waits that many device ms
// (INFINITE: for ever). A terminated thread wakes at once and unwinds.
void WINAPI Sleep(DWORD dwMilliseconds) {
  wce::ThreadGate();
  wce::api::EnterCall("Sleep");
  if (dwMilliseconds == 0) {
    std::this_thread::yield();
    return;
  }
  wce::Scheduler& scheduler = wce::Device::Get().scheduler();
  wce::UniqueLock lock(scheduler.mutex());
  static const std::function<bool()> kNeverReady = [] { return false; };
  scheduler.Wait(lock, kNeverReady, scheduler.DeadlineAfterLocked(dwMilliseconds));
}
