// The window system's Win32 entry points: thin adapters over the WindowManager.
#include <windows.h>
#include <commctrl.h>

#include "api/call_entry.h"
#include "user/window_manager.h"

namespace {

wce::WindowManager& Windows() {
  wce::ThreadGate();
  return wce::Device::Get().windows();
}

}  // namespace

ATOM WINAPI RegisterClassW(CONST WNDCLASSW* lpWndClass) {
  if (const auto error = wce::api::EnterCall("RegisterClassW")) {
    SetLastError(*error);
    return 0;
  }

  if (lpWndClass == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Windows().RegisterClass(*lpWndClass);
}

BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE) {
  if (const auto error = wce::api::EnterCall("UnregisterClassW")) {
    SetLastError(*error);
    return FALSE;
  }

  return Windows().UnregisterClass(lpClassName);
}

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                            DWORD dwStyle, int X, int Y, int nWidth, int nHeight, HWND hWndParent,
                            HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
  if (const auto error = wce::api::EnterCall("CreateWindowExW")) {
    SetLastError(*error);
    return nullptr;
  }

  return Windows().CreateWindowEx(dwExStyle, lpClassName, lpWindowName, dwStyle, X, Y, nWidth,
                                  nHeight, hWndParent, hMenu, hInstance, lpParam);
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  if (const auto error = wce::api::EnterCall("DestroyWindow")) {
    SetLastError(*error);
    return FALSE;
  }
  return Windows().DestroyWindow(hWnd);
}
BOOL WINAPI IsWindow(HWND hWnd) {
  wce::api::EnterCall("IsWindow");
  return Windows().IsWindow(hWnd);
}
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  wce::api::EnterCall("ShowWindow");
  return Windows().ShowWindow(hWnd, nCmdShow);
}
BOOL WINAPI UpdateWindow(HWND hWnd) {
  if (const auto error = wce::api::EnterCall("UpdateWindow")) {
    SetLastError(*error);
    return FALSE;
  }
  return Windows().UpdateWindow(hWnd);
}
BOOL WINAPI IsWindowVisible(HWND hWnd) { return Windows().IsWindowVisible(hWnd); }
BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) { return Windows().EnableWindow(hWnd, bEnable); }
BOOL WINAPI IsWindowEnabled(HWND hWnd) { return Windows().IsWindowEnabled(hWnd); }

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
  if (const auto error = wce::api::EnterCall("SetWindowTextW")) {
    SetLastError(*error);
    return FALSE;
  }

  return Windows().SetWindowText(hWnd, lpString);
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
  return Windows().GetWindowText(hWnd, lpString, nMaxCount);
}

int WINAPI GetWindowTextLengthW(HWND hWnd) { return Windows().GetWindowTextLength(hWnd); }

LONG_PTR WINAPI GetWindowLongW(HWND hWnd, int nIndex) {
  if (const auto error = wce::api::EnterCall("GetWindowLongW")) {
    SetLastError(*error);
    return 0;
  }

  return Windows().GetWindowLong(hWnd, nIndex);
}

LONG_PTR WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  if (const auto error = wce::api::EnterCall("SetWindowLongW")) {
    SetLastError(*error);
    return 0;
  }

  return Windows().SetWindowLong(hWnd, nIndex, dwNewLong);
}

HWND WINAPI GetParent(HWND hWnd) { return Windows().GetParent(hWnd); }
HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  if (const auto error = wce::api::EnterCall("GetDlgItem")) {
    SetLastError(*error);
    return nullptr;
  }
  return Windows().GetDlgItem(hDlg, nIDDlgItem);
}
int WINAPI GetDlgCtrlID(HWND hWnd) { return Windows().GetDlgCtrlID(hWnd); }

BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
  HWND item = Windows().GetDlgItem(hDlg, nIDDlgItem);
  return item ? Windows().SetWindowText(item, lpString) : FALSE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  if (const auto error = wce::api::EnterCall("GetClientRect")) {
    SetLastError(*error);
    return FALSE;
  }

  return Windows().GetClientRect(hWnd, lpRect);
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  if (const auto error = wce::api::EnterCall("GetWindowRect")) {
    SetLastError(*error);
    return FALSE;
  }

  return Windows().GetWindowRect(hWnd, lpRect);
}

int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
  wce::api::EnterCall("MapWindowPoints");

  return Windows().MapWindowPoints(hWndFrom, hWndTo, lpPoints, cPoints);
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
  if (const auto error = wce::api::EnterCall("MoveWindow")) {
    SetLastError(*error);
    return FALSE;
  }

  return Windows().MoveWindow(hWnd, X, Y, nWidth, nHeight);
}

BOOL WINAPI InvalidateRect(HWND hWnd, CONST RECT*, BOOL) { return Windows().InvalidateRect(hWnd); }

HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
  wce::api::EnterCall("FindWindowW");

  return Windows().FindWindow(lpClassName, lpWindowName);
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  wce::api::EnterCall("DefWindowProcW");

  return Windows().DefWindowProc(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Windows().PostMessage(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Windows().PostThreadMessage(idThread, Msg, wParam, lParam);
}

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  wce::api::EnterCall("SendMessageW");

  return Windows().SendMessage(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (const auto error = wce::api::EnterCall("GetMessageW")) {
    SetLastError(*error);
    return -1;
  }

  return Windows().GetMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  wce::api::EnterCall("PeekMessageW");

  return Windows().PeekMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

// No keyboard layout to translate with: key messages produce no WM_CHAR.
BOOL WINAPI TranslateMessage(CONST MSG*) {
  wce::api::EnterCall("TranslateMessage");

  wce::ThreadGate();
  return FALSE;
}

LRESULT WINAPI DispatchMessageW(CONST MSG* lpMsg) {
  wce::api::EnterCall("DispatchMessageW");
  return Windows().DispatchMessage(lpMsg);
}
void WINAPI PostQuitMessage(int nExitCode) {
  wce::api::EnterCall("PostQuitMessage");
  Windows().PostQuitMessage(nExitCode);
}

DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, CONST HANDLE* pHandles, DWORD dwMilliseconds,
                                         DWORD dwWakeMask, DWORD dwFlags) {
  if (const auto error = wce::api::EnterCall("MsgWaitForMultipleObjectsEx")) {
    SetLastError(*error);
    return WAIT_FAILED;
  }

  return Windows().MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMilliseconds, dwWakeMask,
                                               dwFlags);
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, CONST HANDLE* pHandles, BOOL fWaitAll,
                                       DWORD dwMilliseconds, DWORD dwWakeMask) {
  return Windows().MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMilliseconds, dwWakeMask,
                                               fWaitAll ? MWMO_WAITALL : 0);
}

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  if (const auto error = wce::api::EnterCall("SetTimer")) {
    SetLastError(*error);
    return 0;
  }

  return Windows().SetTimer(hWnd, nIDEvent, uElapse, lpTimerFunc);
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  if (const auto error = wce::api::EnterCall("KillTimer")) {
    SetLastError(*error);
    return FALSE;
  }
  return Windows().KillTimer(hWnd, uIDEvent);
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  if (const auto error = wce::api::EnterCall("LoadCursorW")) {
    SetLastError(*error);
    return nullptr;
  }

  return Windows().LoadCursor(hInstance, lpCursorName);
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  wce::api::EnterCall("SetCursor");
  return Windows().SetCursor(hCursor);
}

// Stock brushes are tokens: nothing is drawn with them.
HGDIOBJ WINAPI GetStockObject(int fnObject) {
  if (const auto error = wce::api::EnterCall("GetStockObject")) {
    SetLastError(*error);
    return nullptr;
  }

  if (fnObject < WHITE_BRUSH || fnObject > NULL_BRUSH) return nullptr;
  return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x8000 + fnObject));
}

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  if (const auto error = wce::api::EnterCall("DialogBoxIndirectParamW")) {
    SetLastError(*error);
    return -1;
  }

  return Windows().DialogBoxIndirectParam(hInstance, hDialogTemplate, hWndParent, lpDialogFunc,
                                          dwInitParam);
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  if (const auto error = wce::api::EnterCall("EndDialog")) {
    SetLastError(*error);
    return FALSE;
  }
  return Windows().EndDialog(hDlg, nResult);
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  if (lpRect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Windows().MapDialogRect(hDlg, lpRect);
}

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  if (const auto error = wce::api::EnterCall("MessageBoxW")) {
    SetLastError(*error);
    return 0;
  }

  return Windows().MessageBox(hWnd, lpText, lpCaption, uType);
}

// The classes are built in; nothing to load.
void WINAPI InitCommonControls(void) { wce::ThreadGate(); }
