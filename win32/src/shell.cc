// The Windows Mobile shell calls: full-screen dialogs and their soft-key menu bars.
#include <windows.h>
#include <aygshell.h>

#include "screen.h"
#include "soft_key_bar.h"

namespace {

// The navigation bar shows the title of the window it is made for, across the top of the
// screen, as the device's shell does. It only paints.
LRESULT CALLBACK NavigationBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(bar, &ps);
    RECT r;
    GetClientRect(bar, &r);
    HBRUSH background = CreateSolidBrush(RGB(0, 0, 96));
    FillRect(dc, &r, background);
    DeleteObject(background);
    wchar_t title[128] = {};
    GetWindowTextW(GetWindow(bar, GW_OWNER), title, 128);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    r.left += 6;
    DrawTextW(dc, title, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    EndPaint(bar, &ps);
    return 0;
  }
  return DefWindowProcW(bar, message, wParam, lParam);
}

void ShowNavigationBar(HWND owner) {
  static ATOM atom = 0;
  HINSTANCE self = GetModuleHandleW(NULL);
  if (atom == 0) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = NavigationBarProc;
    wc.hInstance = self;
    wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
    wc.lpszClassName = kepla_shim::kNavigationBarClass;
    atom = RegisterClassW(&wc);
    if (atom == 0) return;
  }
  const RECT screen = kepla_shim::ScreenRect();
  HWND bar = CreateWindowExW(WS_EX_TOOLWINDOW, kepla_shim::kNavigationBarClass, L"", WS_POPUP,
                             screen.left, screen.top, screen.right - screen.left,
                             kepla_shim::kBarHeight, owner, NULL, self, NULL);
  if (bar != NULL) ShowWindow(bar, SW_SHOWNOACTIVATE);
}

}  // namespace

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi) {
  if (pshidi == NULL || !IsWindow(pshidi->hDlg)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if ((pshidi->dwMask & SHIDIM_FLAGS) == 0 ||
      (pshidi->dwFlags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN)) == 0) {
    return TRUE;
  }
  HWND dialog = pshidi->hDlg;
  // Full-screen dialogs have no frame on the device: the shell shows their title in its
  // navigation bar.
  LONG_PTR style = GetWindowLongPtrW(dialog, GWL_STYLE);
  SetWindowLongPtrW(dialog, GWL_STYLE,
                    style & ~static_cast<LONG_PTR>(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
  LONG_PTR ex = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
  SetWindowLongPtrW(dialog, GWL_EXSTYLE,
                    ex & ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE |
                                                WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
  const RECT work = kepla_shim::WorkArea();
  SetWindowPos(dialog, NULL, work.left, work.top, work.right - work.left, work.bottom - work.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  ShowNavigationBar(dialog);
  return TRUE;
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi) {
  if (pmbi == NULL || pmbi->cbSize != sizeof(SHMENUBARINFO) || !IsWindow(pmbi->hwndParent) ||
      (pmbi->dwFlags & SHCMBF_HMENU) == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  HWND bar = kepla_shim::CreateSoftKeyBar(pmbi->hwndParent, pmbi->hInstRes, pmbi->nToolBarId);
  pmbi->hwndMB = bar;
  return bar != NULL;
}

HWND WINAPI SHFindMenuBar(HWND hwnd) { return kepla_shim::FindSoftKeyBar(hwnd); }

HRESULT WINAPI SHEnableSoftkey(HWND hwndMenuBar, UINT uid, BOOL bByIndex, BOOL bEnable) {
  HWND key = bByIndex ? kepla_shim::SoftKeyButton(hwndMenuBar, static_cast<int>(uid))
                      : kepla_shim::SoftKeyButton(hwndMenuBar, -1, uid);
  if (key == NULL || (!bByIndex && uid == 0)) return E_FAIL;
  EnableWindow(key, bEnable ? TRUE : FALSE);
  return S_OK;
}
