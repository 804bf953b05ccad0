#include "agent/screen_probe.h"

#include <windows.h>
#include <commctrl.h>
#include <aygshell.h>

#include <vector>

#include "agent/json_writer.h"
#include "device_state.h"
#include "screen.h"
#include "soft_key_bar.h"

namespace kepla_shim {
namespace {

// The static text control of a message box.
const int kMessageBoxTextId = 0xFFFF;

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[256] = {};
  GetClassNameW(hwnd, name, 256);
  return name;
}

std::wstring TextOf(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  if (length <= 0) return std::wstring();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int got = GetWindowTextW(hwnd, &text[0], length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

bool IsShimWindow(HWND hwnd) {
  std::wstring name = ClassOf(hwnd);
  return name == kMenuBarClass || name == kNavigationBarClass;
}

bool IsMessageBox(HWND hwnd) {
  if (ClassOf(hwnd) != L"#32770") return false;
  HWND text = GetDlgItem(hwnd, kMessageBoxTextId);
  return text != NULL && GetParent(text) == hwnd;
}

struct Screen {
  HWND foreground = NULL;
  HWND message_box = NULL;
};

BOOL CALLBACK CollectTopLevel(HWND hwnd, LPARAM param) {
  std::vector<HWND>* windows = reinterpret_cast<std::vector<HWND>*>(param);
  if (GetWindowThreadProcessId(hwnd, NULL) == GetCurrentThreadId() && IsWindowVisible(hwnd)) {
    windows->push_back(hwnd);
  }
  return TRUE;
}

Screen FindScreen() {
  std::vector<HWND> windows;  // topmost first
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&windows));
  Screen screen;
  for (HWND hwnd : windows) {
    if (IsShimWindow(hwnd)) continue;
    if (IsMessageBox(hwnd)) {
      if (screen.message_box == NULL) screen.message_box = hwnd;
      continue;
    }
    if (screen.foreground == NULL) screen.foreground = hwnd;
  }
  return screen;
}

void WriteRect(JsonWriter& json, HWND hwnd) {
  RECT r = {};
  GetWindowRect(hwnd, &r);
  json.BeginArray().Number(r.left).Number(r.top).Number(r.right).Number(r.bottom).EndArray();
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
  std::vector<HWND>* children = reinterpret_cast<std::vector<HWND>*>(param);
  children->push_back(hwnd);
  return TRUE;
}

void WriteControls(JsonWriter& json, HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  json.Key("controls").BeginArray();
  for (HWND child : children) {
    if (GetParent(child) != window) continue;
    const std::wstring name = ClassOf(child);
    json.BeginObject();
    json.Key("id").Number(static_cast<long long>(static_cast<short>(GetDlgCtrlID(child))));
    json.Key("class").String(name);
    json.Key("text").String(TextOf(child));
    json.Key("rect");
    WriteRect(json, child);
    json.Key("visible").Bool(IsWindowVisible(child) != FALSE);
    json.Key("enabled").Bool(IsWindowEnabled(child) != FALSE);
    if (lstrcmpiW(name.c_str(), PROGRESS_CLASSW) == 0) {
      PBRANGE range = {};
      SendMessageW(child, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
      json.Key("progress").Number(static_cast<long long>(SendMessageW(child, PBM_GETPOS, 0, 0)));
      json.Key("progressMin").Number(range.iLow);
      json.Key("progressMax").Number(range.iHigh);
    }
    json.EndObject();
  }
  json.EndArray();
}

void WriteSoftKeys(JsonWriter& json, HWND window) {
  json.Key("softKeys").BeginArray();
  HWND bar = window != NULL ? FindSoftKeyBar(window) : NULL;
  for (int i = 0; bar != NULL && i < kSoftKeyCount; ++i) {
    HWND key = SoftKeyButton(bar, i);
    if (key == NULL) continue;
    json.BeginObject();
    json.Key("label").String(TextOf(key));
    json.Key("enabled").Bool(IsWindowEnabled(key) != FALSE);
    json.Key("command").Number(GetDlgCtrlID(key));
    json.EndObject();
  }
  json.EndArray();
}

// MB_OK, MB_OKCANCEL, MB_YESNO, ... from the buttons the box shows.
long long MessageBoxStyle(HWND box) {
  const bool ok = GetDlgItem(box, IDOK) != NULL;
  const bool cancel = GetDlgItem(box, IDCANCEL) != NULL;
  const bool yes = GetDlgItem(box, IDYES) != NULL;
  const bool no = GetDlgItem(box, IDNO) != NULL;
  const bool retry = GetDlgItem(box, IDRETRY) != NULL;
  const bool abort = GetDlgItem(box, IDABORT) != NULL;
  if (abort) return MB_ABORTRETRYIGNORE;
  if (yes && no) return cancel ? MB_YESNOCANCEL : MB_YESNO;
  if (retry) return MB_RETRYCANCEL;
  if (ok && cancel) return MB_OKCANCEL;
  return MB_OK;
}

void WriteMessageBox(JsonWriter& json, HWND box) {
  json.Key("messageBox").BeginObject();
  json.Key("owner").String(TextOf(GetWindow(box, GW_OWNER)));
  json.Key("text").String(TextOf(GetDlgItem(box, kMessageBoxTextId)));
  json.Key("caption").String(TextOf(box));
  json.Key("style").Number(MessageBoxStyle(box));
  json.EndObject();
}

}  // namespace

std::string ScreenJson() {
  const Screen screen = FindScreen();
  const RECT display = ScreenRect();
  const KeepAwakeRecord keep_awake = KeepAwakeState();
  JsonWriter json;
  json.BeginObject();
  json.Key("hasWindow").Bool(screen.foreground != NULL);
  json.Key("title").String(screen.foreground != NULL ? TextOf(screen.foreground) : L"");
  json.Key("class").String(screen.foreground != NULL ? ClassOf(screen.foreground) : L"");
  json.Key("template").Number(-1);
  json.Key("rotation").Number(0);
  json.Key("width").Number(display.right - display.left);
  json.Key("height").Number(display.bottom - display.top);
  json.Key("windowRect");
  if (screen.foreground != NULL) {
    WriteRect(json, screen.foreground);
  } else {
    json.BeginArray().Number(0).Number(0).Number(0).Number(0).EndArray();
  }
  if (screen.foreground != NULL) {
    WriteControls(json, screen.foreground);
  } else {
    json.Key("controls").BeginArray().EndArray();
  }
  WriteSoftKeys(json, screen.foreground);
  if (screen.message_box != NULL) WriteMessageBox(json, screen.message_box);
  json.Key("backlightHeld").Bool(keep_awake.backlight_held);
  json.Key("idleTimerResets").Number(keep_awake.idle_timer_resets);
  json.EndObject();
  return json.text();
}

bool PressSoftKey(int index) {
  const Screen screen = FindScreen();
  if (screen.message_box != NULL || screen.foreground == NULL ||
      !IsWindowEnabled(screen.foreground)) {
    return false;
  }
  HWND key = SoftKeyButton(FindSoftKeyBar(screen.foreground), index);
  if (key == NULL || !IsWindowEnabled(key) || !IsWindowVisible(key)) return false;
  return PostMessageW(key, BM_CLICK, 0, 0) != FALSE;
}

bool DismissMessageBox() {
  const Screen screen = FindScreen();
  if (screen.message_box == NULL) return false;
  HWND ok = GetDlgItem(screen.message_box, IDOK);
  if (ok == NULL) return false;
  return PostMessageW(ok, BM_CLICK, 0, 0) != FALSE;
}

}  // namespace kepla_shim
