// FindWindowW finds a window of another process (class and title compared without regard to
// case), SendMessageW(WM_CLOSE) reaches it and runs on that process's window thread, and once
// the window is destroyed its handle names no window.
//
// Run twice on one device: first with the argument "peer" (the process owning the window), then
// without (the process looking for it).
#include <windows.h>

#include <cwchar>

#include "conformance.h"

namespace {

const WCHAR kClass[] = TEXT("ConformancePeer");
const WCHAR kTitle[] = TEXT("Conformance peer");
DWORD g_thread = 0;

LRESULT CALLBACK PeerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      Line() << "peer: WM_CLOSE arrives on the window's thread: "
             << (GetCurrentThreadId() == g_thread);
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      Line() << "peer: WM_DESTROY";
      PostQuitMessage(3);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

int Peer(HINSTANCE instance) {
  g_thread = GetCurrentThreadId();
  WNDCLASSW wc = {};
  wc.lpfnWndProc = PeerProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, kClass, kTitle, WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, NULL,
                                NULL, instance, NULL);
  Line() << "peer: window made: " << (window != NULL);
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, NULL, 0, 0)) > 0) DispatchMessageW(&msg);
  Line() << "peer: GetMessageW returned " << static_cast<int>(got) << " with wParam "
         << static_cast<unsigned>(msg.wParam);
  return static_cast<int>(msg.wParam);
}

int Seeker() {
  HWND window = NULL;
  for (int tries = 0; window == NULL && tries < 1000; ++tries) {
    window = FindWindowW(kClass, kTitle);
    if (window == NULL) Sleep(10);
  }
  Line() << "FindWindowW finds the other process's window: " << (window != NULL);
  if (window == NULL) return 1;
  Line() << "by title alone: " << (FindWindowW(NULL, kTitle) == window);
  Line() << "by class alone: " << (FindWindowW(kClass, NULL) == window);
  Line() << "by other spellings: "
         << (FindWindowW(TEXT("conformancepeer"), TEXT("CONFORMANCE PEER")) == window);
  Line() << "IsWindow: " << (IsWindow(window) != FALSE);
  LRESULT result = SendMessageW(window, WM_CLOSE, 0, 0);
  Line() << "SendMessageW(WM_CLOSE) returned " << static_cast<long>(result);
  Line() << "IsWindow afterwards: " << (IsWindow(window) != FALSE);
  Line() << "FindWindowW afterwards: " << (FindWindowW(kClass, kTitle) != NULL);
  return 0;
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR args) {
  if (wcscmp(args, TEXT("peer")) == 0) return Peer(instance);
  return Seeker();
}
