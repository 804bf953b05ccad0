// GetWindowRect gives screen coordinates; MapWindowPoints turns them into a parent's client
// coordinates (its result packs the offset); MoveWindow with those puts the window back where
// it was; a child follows its parent.
#include <windows.h>

#include "conformance.h"

namespace {

void Print(const char* what, const RECT& r) {
  Line() << what << ": " << r.left << "," << r.top << " - " << r.right << "," << r.bottom;
}

void PrintOffset(const char* what, int packed) {
  Line() << what << " returns offset " << static_cast<short>(LOWORD(packed)) << ","
         << static_cast<short>(HIWORD(packed));
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = TEXT("RoundTrip");
  RegisterClassW(&wc);
  HWND parent = CreateWindowExW(0, wc.lpszClassName, TEXT("Parent"), WS_POPUP | WS_VISIBLE, 10, 40,
                                200, 150, NULL, NULL, instance, NULL);
  HWND child = CreateWindowExW(0, wc.lpszClassName, TEXT("Child"), WS_CHILD | WS_VISIBLE, 5, 6, 30,
                               40, parent, reinterpret_cast<HMENU>(7), instance, NULL);
  HWND grandchild = CreateWindowExW(0, wc.lpszClassName, TEXT("Grandchild"), WS_CHILD | WS_VISIBLE,
                                    2, 3, 10, 10, child, NULL, instance, NULL);
  RECT r;
  GetWindowRect(parent, &r);
  Print("parent window rect", r);
  GetWindowRect(child, &r);
  Print("child window rect", r);
  GetWindowRect(grandchild, &r);
  Print("grandchild window rect", r);
  RECT client;
  GetClientRect(child, &client);
  Print("child client rect", client);

  GetWindowRect(child, &r);
  PrintOffset("MapWindowPoints(NULL, parent)",
              MapWindowPoints(NULL, parent, reinterpret_cast<POINT*>(&r), 2));
  Print("child rect in the parent's client coordinates", r);
  MoveWindow(child, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  RECT back;
  GetWindowRect(child, &back);
  Print("child window rect after MoveWindow with those", back);

  POINT origin = {0, 0};
  PrintOffset("MapWindowPoints(grandchild, NULL)", MapWindowPoints(grandchild, NULL, &origin, 1));
  Line() << "the grandchild's origin on the screen: " << origin.x << "," << origin.y;
  POINT p = {1, 1};
  PrintOffset("MapWindowPoints(parent, grandchild)", MapWindowPoints(parent, grandchild, &p, 1));
  Line() << "the parent's 1,1 in the grandchild: " << p.x << "," << p.y;
  p.x = 8;
  p.y = 9;
  PrintOffset("MapWindowPoints(child, child)", MapWindowPoints(child, child, &p, 1));
  Line() << "a point mapped to its own window stays: " << p.x << "," << p.y;

  MoveWindow(parent, 20, 50, 180, 120, TRUE);
  GetWindowRect(child, &r);
  Print("child window rect after the parent moved", r);
  GetWindowRect(grandchild, &r);
  Print("grandchild window rect after the parent moved", r);
  Line() << "GetParent of the child is the parent: " << (GetParent(child) == parent);
  Line() << "GetDlgCtrlID of the child: " << GetDlgCtrlID(child);
  DestroyWindow(parent);
  Line() << "the child went with its parent: " << (IsWindow(child) == FALSE);
  return 0;
}
