// Message pumping for tests whose own (device) thread owns windows or timers.
#ifndef KEPLA_TESTS_APP_MESSAGE_PUMP_H_
#define KEPLA_TESTS_APP_MESSAGE_PUMP_H_

#include <windows.h>

#include <functional>

namespace kepla_test {

// Dispatches this thread's messages for `ms` of device time, or until `done` returns true.
// Returns whether `done` was reached (always true without a condition).
inline bool PumpMessages(DWORD ms, const std::function<bool()>& done = nullptr) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (done && done()) return true;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= ms) return !done;
    MsgWaitForMultipleObjectsEx(0, NULL, ms - elapsed, QS_ALLINPUT, 0);
  }
}

}  // namespace kepla_test

#endif  // KEPLA_TESTS_APP_MESSAGE_PUMP_H_
