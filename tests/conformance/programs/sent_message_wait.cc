// A message sent by another thread to a thread waiting in MsgWaitForMultipleObjectsEx with every
// input class in its mask: the wait returns for it, and the message runs in the PeekMessageW
// drain that follows, not inside the wait.
#include <windows.h>

#include "conformance.h"

namespace {

enum Phase { kBeforeWait, kInWait, kAfterWait, kInDrain, kAfterDrain };

volatile LONG g_phase = kBeforeWait;
DWORD g_ui_thread = 0;
HWND g_window = NULL;
LRESULT g_reply = 0;

const char* PhaseName(LONG phase) {
  switch (phase) {
    case kBeforeWait:
      return "before the wait";
    case kInWait:
      return "inside the wait";
    case kAfterWait:
      return "after the wait";
    case kInDrain:
      return "inside the PeekMessageW drain";
    default:
      return "after the drain";
  }
}

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    Line() << "WM_APP " << static_cast<unsigned>(wParam) << " runs " << PhaseName(g_phase);
    Line() << "it runs on the window's thread: " << (GetCurrentThreadId() == g_ui_thread);
    return 42;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

DWORD WINAPI Sender(LPVOID) {
  g_reply = SendMessageW(g_window, WM_APP, 7, 0);
  return 0;
}

void Drain() {
  MSG msg;
  while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  g_ui_thread = GetCurrentThreadId();
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = TEXT("SentMessageWait");
  RegisterClassW(&wc);
  g_window = CreateWindowExW(0, wc.lpszClassName, TEXT("Receiver"), WS_POPUP, 0, 0, 50, 50, NULL,
                             NULL, instance, NULL);
  Line() << "window made: " << (g_window != NULL);
  Drain();

  HANDLE never = CreateEventW(NULL, TRUE, FALSE, NULL);
  HANDLE sender = CreateThread(NULL, 0, Sender, NULL, 0, NULL);
  g_phase = kInWait;
  DWORD result = MsgWaitForMultipleObjectsEx(1, &never, 10000, 0x7F, 0);
  g_phase = kAfterWait;
  Line() << "MsgWaitForMultipleObjectsEx returned " << WaitResult(result, 1);

  g_phase = kInDrain;
  MSG msg;
  BOOL got = PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE);
  g_phase = kAfterDrain;
  Line() << "PeekMessageW returned a message: " << (got != FALSE);

  Line() << "sender ended: " << (WaitForSingleObject(sender, 10000) == WAIT_OBJECT_0);
  Line() << "SendMessageW returned " << static_cast<long>(g_reply);
  CloseHandle(sender);
  CloseHandle(never);
  DestroyWindow(g_window);
  return 0;
}
