#include "soft_key_bar.h"

#include <windows.h>
#include <commctrl.h>

#include <new>

#include "screen.h"

namespace kepla_shim {
namespace {

const wchar_t kBarProperty[] = L"KeplaMenuBar";

struct BarData {
  HWND owner;
  HWND keys[kSoftKeyCount];
  UINT commands[kSoftKeyCount];
};

BarData* DataOf(HWND bar) {
  wchar_t name[32];
  if (bar == NULL || GetClassNameW(bar, name, 32) == 0 || lstrcmpW(name, kMenuBarClass) != 0) {
    return NULL;
  }
  return reinterpret_cast<BarData*>(GetWindowLongPtrW(bar, GWLP_USERDATA));
}

int KeyIndexOf(const BarData* data, UINT command) {
  for (int i = 0; i < kSoftKeyCount; ++i) {
    if (data->keys[i] != NULL && data->commands[i] == command) return i;
  }
  return -1;
}

LRESULT CALLBACK BarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
  BarData* data = reinterpret_cast<BarData*>(GetWindowLongPtrW(bar, GWLP_USERDATA));
  switch (message) {
    case WM_COMMAND:
      if (data != NULL && HIWORD(wParam) == BN_CLICKED) {
        int index = KeyIndexOf(data, LOWORD(wParam));
        if (index >= 0 && IsWindowEnabled(data->keys[index]) && IsWindowEnabled(data->owner)) {
          SendMessageW(data->owner, WM_COMMAND, MAKEWPARAM(data->commands[index], 0),
                       reinterpret_cast<LPARAM>(bar));
        }
        return 0;
      }
      break;
    case TB_SETBUTTONINFOW: {
      const TBBUTTONINFOW* info = reinterpret_cast<const TBBUTTONINFOW*>(lParam);
      if (data == NULL || info == NULL || info->cbSize != sizeof(TBBUTTONINFOW)) return FALSE;
      int index = KeyIndexOf(data, static_cast<UINT>(wParam));
      if (index < 0) return FALSE;
      if (info->dwMask & TBIF_TEXT) {
        SetWindowTextW(data->keys[index], info->pszText != NULL ? info->pszText : L"");
      }
      return TRUE;
    }
    case WM_NCDESTROY:
      delete data;
      SetWindowLongPtrW(bar, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(bar, message, wParam, lParam);
}

ATOM RegisterBarClass(HINSTANCE module) {
  static ATOM atom = 0;
  if (atom != 0) return atom;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = BarProc;
  wc.hInstance = module;
  wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kMenuBarClass;
  atom = RegisterClassW(&wc);
  return atom;
}

// The first two top-level items of a MENU: their texts (less '&'), ids and grayed states.
struct MenuKey {
  wchar_t text[64];
  UINT command;
  bool grayed;
};

int ReadMenuKeys(HINSTANCE module, UINT menu_id, MenuKey keys[kSoftKeyCount]) {
  HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(menu_id));
  if (menu == NULL) return -1;
  int count = GetMenuItemCount(menu);
  if (count > kSoftKeyCount) count = kSoftKeyCount;
  for (int i = 0; i < count; ++i) {
    wchar_t raw[64] = {};
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING;
    item.dwTypeData = raw;
    item.cch = 63;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
    int out = 0;
    for (int j = 0; raw[j] != 0 && out < 63; ++j) {
      if (raw[j] != L'&' || raw[j + 1] == L'&') keys[i].text[out++] = raw[j];
      if (raw[j] == L'&' && raw[j + 1] == L'&') ++j;
    }
    keys[i].text[out] = 0;
    keys[i].command = item.wID;
    keys[i].grayed = (item.fState & MFS_GRAYED) != 0;
  }
  DestroyMenu(menu);
  return count < 0 ? 0 : count;
}

}  // namespace

HWND CreateSoftKeyBar(HWND owner, HINSTANCE module, UINT menu_id) {
  MenuKey keys[kSoftKeyCount] = {};
  int count = ReadMenuKeys(module, menu_id, keys);
  if (count < 0) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return NULL;
  }
  HINSTANCE self = GetModuleHandleW(NULL);
  if (RegisterBarClass(self) == 0) return NULL;
  BarData* data = new (std::nothrow) BarData();
  if (data == NULL) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return NULL;
  }
  data->owner = owner;
  const RECT screen = ScreenRect();
  const int width = screen.right - screen.left;
  HWND bar =
      CreateWindowExW(WS_EX_TOOLWINDOW, kMenuBarClass, L"", WS_POPUP | WS_CLIPCHILDREN, screen.left,
                      screen.bottom - kBarHeight, width, kBarHeight, owner, NULL, self, NULL);
  if (bar == NULL) {
    delete data;
    return NULL;
  }
  SetWindowLongPtrW(bar, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
  for (int i = 0; i < count; ++i) {
    DWORD style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | (keys[i].grayed ? WS_DISABLED : 0);
    data->commands[i] = keys[i].command;
    data->keys[i] = CreateWindowExW(
        0, L"BUTTON", keys[i].text, style, i * width / 2, 0, width / 2, kBarHeight, bar,
        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(keys[i].command)), self, NULL);
  }
  SetPropW(owner, kBarProperty, bar);
  ShowWindow(bar, SW_SHOWNOACTIVATE);
  return bar;
}

HWND FindSoftKeyBar(HWND owner) {
  HWND bar = static_cast<HWND>(GetPropW(owner, kBarProperty));
  return DataOf(bar) != NULL ? bar : NULL;
}

HWND SoftKeyButton(HWND bar, int index, UINT command) {
  const BarData* data = DataOf(bar);
  if (data == NULL) return NULL;
  if (index < 0) index = KeyIndexOf(data, command);
  if (index < 0 || index >= kSoftKeyCount) return NULL;
  return data->keys[index];
}

}  // namespace kepla_shim
