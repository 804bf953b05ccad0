// The window system's Win32 entry points: thin adapters over the parts of the WindowSystem. The
// parts answer their error; here it becomes the last error (left alone on success, as Win32 does).
#include <windows.h>
#include <commctrl.h>

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
  if (lpWndClass == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Answer(Windows().table().RegisterProgramClass(*lpWndClass));
}

BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE) {
  return Succeeded(Windows().table().RemoveProgramClass(lpClassName));
}

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName,
                            DWORD dwStyle, int X, int Y, int nWidth, int nHeight, HWND hWndParent,
                            HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam) {
  return Answer(Windows().lifecycle().CreateOfClass(dwExStyle, lpClassName, lpWindowName, dwStyle,
                                                    X, Y, nWidth, nHeight, hWndParent, hMenu,
                                                    hInstance, lpParam));
}

BOOL WINAPI DestroyWindow(HWND hWnd) { return Succeeded(Windows().lifecycle().Destroy(hWnd)); }
BOOL WINAPI IsWindow(HWND hWnd) { return Windows().lifecycle().IsAlive(hWnd) ? TRUE : FALSE; }

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  return Answer(Windows().state().Show(hWnd, nCmdShow));
}

BOOL WINAPI UpdateWindow(HWND hWnd) { return Succeeded(Windows().state().Update(hWnd)); }

BOOL WINAPI IsWindowVisible(HWND hWnd) { return Windows().state().IsVisible(hWnd) ? TRUE : FALSE; }

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  return Answer(Windows().state().Enable(hWnd, bEnable != FALSE));
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) { return Answer(Windows().state().IsEnabled(hWnd)); }

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString) {
  return Answer(Windows().state().SetText(hWnd, lpString));
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount) {
  return Answer(Windows().state().GetText(hWnd, lpString, nMaxCount));
}

int WINAPI GetWindowTextLengthW(HWND hWnd) { return Answer(Windows().state().TextLength(hWnd)); }

LONG_PTR WINAPI GetWindowLongW(HWND hWnd, int nIndex) {
  return Answer(Windows().state().GetLong(hWnd, nIndex));
}

LONG_PTR WINAPI SetWindowLongW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  return Answer(Windows().state().SetLong(hWnd, nIndex, dwNewLong));
}

HWND WINAPI GetParent(HWND hWnd) { return Answer(Windows().state().Parent(hWnd)); }

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
  return Answer(Windows().state().Child(hDlg, nIDDlgItem));
}

int WINAPI GetDlgCtrlID(HWND hWnd) { return Answer(Windows().state().ControlId(hWnd)); }

BOOL WINAPI SetDlgItemTextW(HWND hDlg, int nIDDlgItem, LPCWSTR lpString) {
  HWND item = GetDlgItem(hDlg, nIDDlgItem);
  return item ? SetWindowTextW(item, lpString) : FALSE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  return Succeeded(Windows().state().ClientRect(hWnd, lpRect));
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  return Succeeded(Windows().state().WindowRect(hWnd, lpRect));
}

int WINAPI MapWindowPoints(HWND hWndFrom, HWND hWndTo, LPPOINT lpPoints, UINT cPoints) {
  return Answer(Windows().state().MapPoints(hWndFrom, hWndTo, lpPoints, cPoints));
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
  return Answer(Windows().state().Move(hWnd, X, Y, nWidth, nHeight));
}

BOOL WINAPI InvalidateRect(HWND hWnd, CONST RECT*, BOOL) {
  return Succeeded(Windows().state().Invalidate(hWnd));
}

HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName) {
  return Windows().lifecycle().Find(lpClassName, lpWindowName);
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Windows().lifecycle().DefaultProc(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Succeeded(Windows().queues().Post(hWnd, Msg, wParam, lParam));
}

BOOL WINAPI PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Succeeded(Windows().queues().PostToThread(idThread, Msg, wParam, lParam));
}

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Answer(Windows().queues().Send(hWnd, Msg, wParam, lParam));
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  return Answer(Windows().queues().Get(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax));
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  return Answer(Windows().queues().Peek(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg));
}

// No keyboard layout to translate with: key messages produce no WM_CHAR.
BOOL WINAPI TranslateMessage(CONST MSG*) {
  wce::ThreadGate();
  return FALSE;
}

LRESULT WINAPI DispatchMessageW(CONST MSG* lpMsg) { return Windows().queues().Dispatch(lpMsg); }
void WINAPI PostQuitMessage(int nExitCode) { Windows().queues().PostQuit(nExitCode); }

DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, CONST HANDLE* pHandles, DWORD dwMilliseconds,
                                         DWORD dwWakeMask, DWORD dwFlags) {
  return Answer(Windows().queues().WaitForObjectsOrInput(nCount, pHandles, dwMilliseconds,
                                                         dwWakeMask, dwFlags));
}

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, CONST HANDLE* pHandles, BOOL fWaitAll,
                                       DWORD dwMilliseconds, DWORD dwWakeMask) {
  return MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMilliseconds, dwWakeMask,
                                     fWaitAll ? MWMO_WAITALL : 0);
}

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  return Answer(Windows().timers().Set(hWnd, nIDEvent, uElapse, lpTimerFunc));
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  return Succeeded(Windows().timers().Kill(hWnd, uIDEvent));
}

HCURSOR WINAPI LoadCursorW(HINSTANCE hInstance, LPCWSTR lpCursorName) {
  wce::ThreadGate();
  return Answer(wce::WindowState::StockCursor(hInstance, lpCursorName));
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) { return Windows().state().ReplaceCursor(hCursor); }

// Stock brushes are tokens: nothing is drawn with them.
HGDIOBJ WINAPI GetStockObject(int fnObject) {
  if (fnObject < WHITE_BRUSH || fnObject > NULL_BRUSH) return nullptr;
  return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(0x8000 + fnObject));
}

INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance, LPCDLGTEMPLATEW hDialogTemplate,
                                       HWND hWndParent, DLGPROC lpDialogFunc, LPARAM dwInitParam) {
  return Answer(
      Windows().dialogs().Run(hInstance, hDialogTemplate, hWndParent, lpDialogFunc, dwInitParam));
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
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
  return Answer(Windows().message_boxes().Show(hWnd, lpText, lpCaption, uType));
}

// The classes are built in; nothing to load.
void WINAPI InitCommonControls(void) { wce::ThreadGate(); }
