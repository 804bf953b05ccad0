// WM_QUIT reaching the loop of a message box: the box ends at once, returning IDOK, and the quit
// message is there once for the caller's loop with its exit code.
#include <windows.h>

#include "conformance.h"

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = TEXT("QuitInBoxOwner");
  RegisterClassW(&wc);
  HWND owner = CreateWindowExW(0, wc.lpszClassName, TEXT("Owner"), WS_POPUP | WS_VISIBLE, 0, 0, 200,
                               200, NULL, NULL, instance, NULL);

  PostQuitMessage(9);
  int result = MessageBoxW(owner, TEXT("Never answered"), TEXT("Quit box"), MB_OK);
  Line() << "MessageBoxW returned " << result;
  Line() << "the box is gone: " << (FindWindowW(NULL, TEXT("Quit box")) == NULL);

  // Other messages (the owner's painting) may come first; WM_QUIT comes once.
  MSG msg;
  int quits = 0;
  while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) {
      DispatchMessageW(&msg);
      continue;
    }
    if (quits++ == 0)
      Line() << "the caller finds WM_QUIT with wParam " << static_cast<unsigned>(msg.wParam);
  }
  Line() << "WM_QUIT messages found: " << quits;
  DestroyWindow(owner);
  return 0;
}
