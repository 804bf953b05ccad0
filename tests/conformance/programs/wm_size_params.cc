// WM_SIZE: SIZE_RESTORED with the client area's width and height in lParam, sent while
// CreateWindowExW makes the window and whenever MoveWindow changes the size (not when it only
// moves the window).
#include <windows.h>

#include "conformance.h"

namespace {

const char* g_step = "";

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) Line() << g_step << ": WM_CREATE";
  if (message == WM_SIZE) {
    Line() << g_step << ": WM_SIZE wParam " << static_cast<unsigned>(wParam) << ", "
           << static_cast<unsigned>(LOWORD(lParam)) << " x "
           << static_cast<unsigned>(HIWORD(lParam));
    RECT client;
    GetClientRect(hwnd, &client);
    Line() << g_step << ": the client area is already " << client.right << " x " << client.bottom;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = Proc;
  wc.hInstance = instance;
  wc.lpszClassName = TEXT("SizeParams");
  RegisterClassW(&wc);

  g_step = "CreateWindowExW";
  HWND window = CreateWindowExW(0, wc.lpszClassName, TEXT("Sized"), WS_POPUP, 10, 20, 100, 50, NULL,
                                NULL, instance, NULL);
  g_step = "ShowWindow";
  ShowWindow(window, SW_SHOW);
  g_step = "MoveWindow to a new size";
  MoveWindow(window, 10, 20, 120, 60, TRUE);
  g_step = "MoveWindow to a new place";
  MoveWindow(window, 30, 40, 120, 60, TRUE);
  g_step = "MoveWindow to the same rectangle";
  MoveWindow(window, 30, 40, 120, 60, TRUE);
  g_step = "MoveWindow to nothing";
  MoveWindow(window, 30, 40, 0, 0, TRUE);
  g_step = "MoveWindow to a size again";
  MoveWindow(window, 0, 0, 200, 100, TRUE);

  g_step = "a child's CreateWindowExW";
  HWND child = CreateWindowExW(0, wc.lpszClassName, TEXT("Child"), WS_CHILD | WS_VISIBLE, 1, 2, 30,
                               20, window, NULL, instance, NULL);
  g_step = "the child's MoveWindow";
  MoveWindow(child, 1, 2, 31, 21, TRUE);
  g_step = "DestroyWindow";
  DestroyWindow(window);
  Line() << "done";
  return 0;
}
