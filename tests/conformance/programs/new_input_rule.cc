// What counts as new input for MsgWaitForMultipleObjectsEx: a posted message wakes it until a
// GetMessageW or PeekMessageW has looked at the queue, even one that removed nothing (its filter
// passed the message by); MWMO_INPUTAVAILABLE still sees it; a later post is new again.
#include <windows.h>

#include "conformance.h"

namespace {

DWORD Poll(DWORD flags) { return MsgWaitForMultipleObjectsEx(0, NULL, 0, QS_POSTMESSAGE, flags); }

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = TEXT("NewInputRule");
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, TEXT("Queue"), WS_POPUP, 0, 0, 50, 50, NULL,
                                NULL, instance, NULL);
  MSG msg;
  while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  Line() << "empty queue: " << WaitResult(Poll(0), 0);

  PostMessageW(window, WM_APP, 1, 0);
  Line() << "after a post: " << WaitResult(Poll(0), 0);
  Line() << "asked again: " << WaitResult(Poll(0), 0);

  BOOL got = PeekMessageW(&msg, window, WM_APP + 1, WM_APP + 1, PM_REMOVE);
  Line() << "PeekMessageW with a filter that passes it by found one: " << (got != FALSE);
  Line() << "after that look: " << WaitResult(Poll(0), 0);
  Line() << "with MWMO_INPUTAVAILABLE: " << WaitResult(Poll(MWMO_INPUTAVAILABLE), 0);

  PostMessageW(window, WM_APP, 2, 0);
  Line() << "after a second post: " << WaitResult(Poll(0), 0);
  got = PeekMessageW(&msg, NULL, 0, 0, PM_NOREMOVE);
  Line() << "PeekMessageW(PM_NOREMOVE) sees wParam " << static_cast<unsigned>(got ? msg.wParam : 0);
  Line() << "after looking without removing: " << WaitResult(Poll(0), 0);

  for (int i = 0; i < 2; ++i) {
    if (GetMessageW(&msg, NULL, 0, 0) > 0) {
      Line() << "GetMessageW takes WM_APP with wParam " << static_cast<unsigned>(msg.wParam);
    }
  }
  Line() << "emptied: " << WaitResult(Poll(MWMO_INPUTAVAILABLE), 0);
  DestroyWindow(window);
  return 0;
}
