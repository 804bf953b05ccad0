// A window-less timer that comes due at the moment a MsgWaitForMultipleObjectsEx times out: what
// the wait returns, and how the WM_TIMER that follows reaches the timer's procedure.
#include <windows.h>

#include "conformance.h"

namespace {

UINT_PTR g_timer = 0;
int g_calls = 0;

void CALLBACK OnTimer(HWND hwnd, UINT message, UINT_PTR id, DWORD) {
  ++g_calls;
  Line() << "timer procedure called: window null " << (hwnd == NULL) << ", message WM_TIMER "
         << (message == WM_TIMER) << ", its own id " << (id == g_timer);
}

}  // namespace

int ConformanceMain(HINSTANCE, LPCWSTR) {
  const UINT period = 200;
  g_timer = SetTimer(NULL, 0, period, OnTimer);
  Line() << "SetTimer(NULL, 0, ...) gives an id: " << (g_timer != 0);
  DWORD result = MsgWaitForMultipleObjectsEx(0, NULL, period, QS_ALLINPUT, 0);
  Line() << "the wait with the timer's period as time-out returned " << WaitResult(result, 0);

  // Due by now either way: the next wait sees it at once.
  result = MsgWaitForMultipleObjectsEx(0, NULL, 5000, QS_ALLINPUT, 0);
  Line() << "the next wait returned " << WaitResult(result, 0);
  MSG msg;
  BOOL got = PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE);
  Line() << "PeekMessageW found a message: " << (got != FALSE);
  if (got) {
    Line() << "it is WM_TIMER: " << (msg.message == WM_TIMER);
    Line() << "for no window: " << (msg.hwnd == NULL);
    Line() << "wParam is the timer's id: " << (msg.wParam == g_timer);
    // lParam names the procedure (Wine passes a handle of its own for it, not the address).
    Line() << "lParam names a procedure: " << (msg.lParam != 0);
    DispatchMessageW(&msg);
  }
  Line() << "procedure calls: " << g_calls;

  UINT_PTR again = SetTimer(NULL, g_timer, period, OnTimer);
#ifdef UNDER_CE
  // The device ignores the id of a window-less timer: a second timer, with a new id.
  Line(Only::kDevice) << "SetTimer(NULL, its id, ...) makes a new timer: "
                      << (again != 0 && again != g_timer);
  KillTimer(NULL, again);
#else
  // Desktop Win32 resets the existing timer with that id.
  Line(Only::kDesktop) << "SetTimer(NULL, its id, ...) resets that timer: " << (again == g_timer);
#endif
  Line() << "KillTimer: " << (KillTimer(NULL, g_timer) != FALSE);
  Line() << "KillTimer again: " << (KillTimer(NULL, g_timer) != FALSE);
  return 0;
}
