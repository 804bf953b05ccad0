// The window system's Win32 entry points: thin adapters over the parts of the WindowSystem. The
// parts answer their error; here it becomes the last error (left alone on success, as Win32 does).
#include <windows.h>
#include <commctrl.h>

#include "api/call_entry.h"
#include "system/device.h"
#include "user/window_system.h"

namespace {

wce::WindowSystem& Windows() {
  wce::ThreadGate();
  return wce::Device::Get().windows();
}

// The value of an internal call, its error made the last error.
template <class T>
T Answer(const wce::Result<T>& result) {
  if (result.error != ERROR_SUCCESS) SetLastError(result.error);
  return result.value;
}

// TRUE on success; FALSE with the error made the last error.
BOOL Succeeded(DWORD error) {
  if (error == ERROR_SUCCESS) return TRUE;
  SetLastError(error);
  return FALSE;
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
  return Answer(Windows().table().RegisterProgramClass(*lpWndClass));
}

BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE) {
  if (const auto error = wce::api::EnterCall("UnregisterClassW")) {
    SetLastError(*error);
    return FALSE;
  }
  return Succeeded(Windows().table().RemoveProgramClass(lpClassName));
}

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                            DWORD dwStyle, int X, int Y, int nWidth, int nHeight, HWND hWndParent,
                            HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
  if (const auto error = wce::api::EnterCall("CreateWindowExW")) {
    SetLastError(*error);
    return nullptr;
  }
  return Answer(Windows().lifecycle().CreateOfClass(dwExStyle, lpClassName, lpWindowName, dwStyle,
                                                    X, Y, nWidth, nHeight, hWndParent, hMenu,
                                                    hInstance, lpParam));
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  if (const auto error = wce::api::EnterCall("DestroyWindow")) {
    SetLastError(*error);
    return FALSE;
  }
  return Succeeded(Windows().lifecycle().Destroy(hWnd));
}
BOOL WINAPI IsWindow(HWND hWnd) {
  wce::api::EnterCall("IsWindow");
  return Windows().lifecycle().IsAlive(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  wce::api::EnterCall("ShowWindow");
  return Answer(Windows().state().Show(hWnd, nCmdShow));
}

BOOL WINAPI UpdateWindow(HWND hWnd) {
  if (const auto error = wce::api::EnterCall("UpdateWindow")) {
    SetLastError(*error);
    return FALSE;
  }
  return Succeeded(Windows().state().Update(hWnd));
}

BOOL WINAPI IsWindowVisible(HWND hWnd) { return Windows().state().IsVisible(hWnd) ? TRUE : FALSE; }

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  return Answer(Windows().state().Enable(hWnd, bEnable != FALSE));
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) { return Answer(Windows().state().IsEnabled(hWnd)); }

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
  if (const auto error = wce::api::EnterCall("SetWindowTextW")) {
    SetLastError(*error);
    return FALSE;
  }
  return Answer(Windows().state().SetText(hWnd, lpString));
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
  return Answer(Windows().state().GetText(hWnd, lpString, nMaxCount));
}

int WINAPI GetWindowTextLengthW(HWND hWnd) { return Answer(Windows().state().TextLength(hWnd)); }

LONG_PTR WINAPI GetWindowLongW(HWND hWnd, int nIndex) {
  if (const auto error = wce::api::EnterCall("GetWindowLongW")) {
    SetLastError(*error);
    return 0;
  }
  return Answer(Windows().state().GetLong(hWnd, nIndex));
}

LONG_PTR WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  if (const auto error = wce::api::EnterCall("SetWindowLongW")) {
    SetLastError(*error);
    return 0;
  }
  return Answer(Windows().state().SetLong(hWnd, nIndex, dwNewLong));
}

HWND WINAPI GetParent(HWND hWnd) { return Answer(Windows().state().Parent(hWnd)); }

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  if (const auto error = wce::api::EnterCall("GetDlgItem")) {
    SetLastError(*error);
    return nullptr;
  }
  return Answer(Windows().state().Child(hDlg, nIDDlgItem));
}

int WINAPI GetDlgCtrlID(HWND hWnd) { return Answer(Windows().state().ControlId(hWnd)); }

BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SetWindowTextW(item, lpString) : FALSE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  if (const auto error = wce::api::EnterCall("GetClientRect")) {
    SetLastError(*error);
    return FALSE;
  }
  return Succeeded(Windows().state().ClientRect(hWnd, lpRect));
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  if (const auto error = wce::api::EnterCall("GetWindowRect")) {
    SetLastError(*error);
    return FALSE;
  }
  return Succeeded(Windows().state().WindowRect(hWnd, lpRect));
}

int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
  wce::api::EnterCall("MapWindowPoints");
  return Answer(Windows().state().MapPoints(hWndFrom, hWndTo, lpPoints, cPoints));
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
  if (const auto error = wce::api::EnterCall("MoveWindow")) {
    SetLastError(*error);
    return FALSE;
  }
  return Answer(Windows().state().Move(hWnd, X, Y, nWidth, nHeight));
}

BOOL WINAPI InvalidateRect(HWND hWnd, CONST RECT*, BOOL) {
  return Succeeded(Windows().state().Invalidate(hWnd));
}

HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
  wce::api::EnterCall("FindWindowW");
  return Windows().lifecycle().Find(lpClassName, lpWindowName);
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  wce::api::EnterCall("DefWindowProcW");
  return Windows().lifecycle().DefaultProc(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Succeeded(Windows().queues().Post(hWnd, Msg, wParam, lParam));
}

BOOL WINAPI PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Succeeded(Windows().queues().PostToThread(idThread, Msg, wParam, lParam));
}

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  wce::api::EnterCall("SendMessageW");
  return Answer(Windows().queues().Send(hWnd, Msg, wParam, lParam));
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (const auto error = wce::api::EnterCall("GetMessageW")) {
    SetLastError(*error);
    return -1;
  }
  return Answer(Windows().queues().Get(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax));
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  wce::api::EnterCall("PeekMessageW");
  return Answer(Windows().queues().Peek(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg));
}

// No keyboard layout to translate with: key messages produce no WM_CHAR.
BOOL WINAPI TranslateMessage(CONST MSG*) {
  wce::api::EnterCall("TranslateMessage");
  wce::ThreadGate();
  return FALSE;
}

LRESULT WINAPI DispatchMessageW(CONST MSG* lpMsg) {
  wce::api::EnterCall("DispatchMessageW");
  return Windows().queues().Dispatch(lpMsg);
}
void WINAPI PostQuitMessage(int nExitCode) {
  wce::api::EnterCall("PostQuitMessage");
  Windows().queues().PostQuit(nExitCode);
}

DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, CONST HANDLE* pHandles, DWORD dwMilliseconds,
                                         DWORD dwWakeMask, DWORD dwFlags) {
  if (const auto error = wce::api::EnterCall("MsgWaitForMultipleObjectsEx")) {
    SetLastError(*error);
    return WAIT_FAILED;
  }
  return Answer(Windows().queues().WaitForObjectsOrInput(nCount, pHandles, dwMilliseconds,
                                                         dwWakeMask, dwFlags));
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, CONST HANDLE* pHandles, BOOL fWaitAll,
                                       DWORD dwMilliseconds, DWORD dwWakeMask) {
  return MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMilliseconds, dwWakeMask,
                                     fWaitAll ? MWMO_WAITALL : 0);
}

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  if (const auto error = wce::api::EnterCall("SetTimer")) {
    SetLastError(*error);
    return 0;
  }
  return Answer(Windows().timers().Set(hWnd, nIDEvent, uElapse, lpTimerFunc));
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  if (const auto error = wce::api::EnterCall("KillTimer")) {
    SetLastError(*error);
    return FALSE;
  }
  return Succeeded(Windows().timers().Kill(hWnd, uIDEvent));
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  if (const auto error = wce::api::EnterCall("LoadCursorW")) {
    SetLastError(*error);
    return nullptr;
  }
  wce::ThreadGate();
  return Answer(wce::WindowState::StockCursor(hInstance, lpCursorName));
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  wce::api::EnterCall("SetCursor");
  return Windows().state().ReplaceCursor(hCursor);
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
  return Answer(
      Windows().dialogs().Run(hInstance, hDialogTemplate, hWndParent, lpDialogFunc, dwInitParam));
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
  if (const auto error = wce::api::EnterCall("EndDialog")) {
    SetLastError(*error);
    return FALSE;
  }
  return Succeeded(Windows().dialogs().End(hDlg, nResult));
}

BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT lpRect) {
  if (lpRect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Succeeded(Windows().dialogs().MapRect(hDlg, lpRect));
}

int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
  if (const auto error = wce::api::EnterCall("MessageBoxW")) {
    SetLastError(*error);
    return 0;
  }
  return Answer(Windows().message_boxes().Show(hWnd, lpText, lpCaption, uType));
}

// The classes are built in; nothing to load.
void WINAPI InitCommonControls(void) { wce::ThreadGate(); }
