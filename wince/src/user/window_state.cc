#include "user/window_state.h"

#include <algorithm>

namespace wce {
namespace {

constexpr DWORD kErrorInvalidIndex = 1413;
constexpr DWORD kErrorControlIdNotFound = 1421;
const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(32512));

}  // namespace

WindowState::WindowState(WindowTable& table, MessageQueues& queues, const ScreenView& view)
    : table_(table), mu_(table.mutex()), queues_(queues), view_(view), cursor_(kArrowCursor) {}

Result<BOOL> WindowState::Show(HWND hwnd, int cmd) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return {FALSE, ERROR_INVALID_WINDOW_HANDLE};
  const bool was_visible = (w->style & WS_VISIBLE) != 0;
  bool changed = was_visible != (cmd != SW_HIDE);
  if (cmd == SW_HIDE) {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  } else {
    w->style |= WS_VISIBLE;
    if (cmd != SW_SHOWNA && w->top_level()) changed |= table_.RaiseLocked(hwnd);
  }
  if (changed) table_.BumpGenerationLocked();
  return {was_visible ? TRUE : FALSE};
}

DWORD WindowState::Update(HWND hwnd) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  // Nothing is painted: the screen is read through automation.
  return table_.FindLocked(hwnd) == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_SUCCESS;
}

DWORD WindowState::Invalidate(HWND hwnd) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  return hwnd != nullptr && table_.FindLocked(hwnd) == nullptr ? ERROR_INVALID_WINDOW_HANDLE
                                                               : ERROR_SUCCESS;
}

bool WindowState::IsVisible(HWND hwnd) {
  MutexLock lock(mu_);
  view_.mutex().AssertHeld();
  auto info = view_.InfoLocked(hwnd);
  return info && info->visible;
}

Result<BOOL> WindowState::Enable(HWND hwnd, bool enable) {
  BOOL was_disabled;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    Window* w = table_.FindLocked(hwnd);
    if (w == nullptr) return {FALSE, ERROR_INVALID_WINDOW_HANDLE};
    was_disabled = (w->style & WS_DISABLED) != 0 ? TRUE : FALSE;
    if (was_disabled == (enable ? FALSE : TRUE)) return {was_disabled};
    if (enable) {
      w->style &= ~static_cast<DWORD>(WS_DISABLED);
    } else {
      w->style |= WS_DISABLED;
    }
    table_.BumpGenerationLocked();
  }
  const DWORD error = queues_.Send(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0).error;
  return {was_disabled, error};
}

Result<BOOL> WindowState::IsEnabled(HWND hwnd) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  const Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return {FALSE, ERROR_INVALID_WINDOW_HANDLE};
  return {(w->style & WS_DISABLED) == 0 ? TRUE : FALSE};
}

Result<LONG_PTR> WindowState::GetLong(HWND hwnd, int index) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  const Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return {0, ERROR_INVALID_WINDOW_HANDLE};
  switch (index) {
    case GWL_STYLE:
      return {static_cast<LONG_PTR>(w->style)};
    case GWL_EXSTYLE:
      return {static_cast<LONG_PTR>(w->ex_style)};
    case GWL_USERDATA:
      return {w->user_data};
    case GWL_ID:
      return {w->id};
    case GWL_WNDPROC:
      return {reinterpret_cast<LONG_PTR>(w->proc)};
  }
  if (w->kind == WindowKind::kDialog) {
    switch (index) {
      case DWL_MSGRESULT:
        return {w->msg_result};
      case DWL_DLGPROC:
        return {reinterpret_cast<LONG_PTR>(w->dlg_proc)};
      case DWL_USER:
        return {w->dlg_user};
    }
  }
  return {0, kErrorInvalidIndex};
}

Result<LONG_PTR> WindowState::SetLong(HWND hwnd, int index, LONG_PTR value) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return {0, ERROR_INVALID_WINDOW_HANDLE};
  LONG_PTR old;
  switch (index) {
    case GWL_STYLE:
      old = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value);
      table_.BumpGenerationLocked();
      return {old};
    case GWL_EXSTYLE:
      old = static_cast<LONG_PTR>(w->ex_style);
      w->ex_style = static_cast<DWORD>(value);
      return {old};
    case GWL_USERDATA:
      old = w->user_data;
      w->user_data = value;
      return {old};
    case GWL_ID:
      old = w->id;
      w->id = value;
      return {old};
    case GWL_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return {old};
  }
  if (w->kind == WindowKind::kDialog) {
    switch (index) {
      case DWL_MSGRESULT:
        old = w->msg_result;
        w->msg_result = value;
        return {old};
      case DWL_DLGPROC:
        old = reinterpret_cast<LONG_PTR>(w->dlg_proc);
        w->dlg_proc = reinterpret_cast<DLGPROC>(value);
        return {old};
      case DWL_USER:
        old = w->dlg_user;
        w->dlg_user = value;
        return {old};
    }
  }
  return {0, kErrorInvalidIndex};
}

Result<HWND> WindowState::Parent(HWND hwnd) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  const Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return {nullptr, ERROR_INVALID_WINDOW_HANDLE};
  if (!w->top_level()) return {w->parent};
  return {(w->style & WS_POPUP) ? w->owner : nullptr};
}

Result<HWND> WindowState::Child(HWND dialog, int id) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  const Window* w = table_.FindLocked(dialog);
  if (w == nullptr) return {nullptr, ERROR_INVALID_WINDOW_HANDLE};
  for (HWND child : w->children) {
    const Window* c = table_.FindLocked(child);
    if (c != nullptr && static_cast<int>(c->id) == id) return {child};
  }
  return {nullptr, kErrorControlIdNotFound};
}

Result<int> WindowState::ControlId(HWND hwnd) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  const Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return {0, ERROR_INVALID_WINDOW_HANDLE};
  return {static_cast<int>(w->id)};
}

DWORD WindowState::ClientRect(HWND hwnd, RECT* rect) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  const Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return ERROR_INVALID_WINDOW_HANDLE;
  if (rect == nullptr) return ERROR_INVALID_PARAMETER;
  // Windows have no frame on this device: the client area is the whole window.
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return ERROR_SUCCESS;
}

DWORD WindowState::WindowRect(HWND hwnd, RECT* rect) {
  MutexLock lock(mu_);
  view_.mutex().AssertHeld();
  auto info = view_.InfoLocked(hwnd);
  if (!info) return ERROR_INVALID_WINDOW_HANDLE;
  if (rect == nullptr) return ERROR_INVALID_PARAMETER;
  *rect = info->rect;
  return ERROR_SUCCESS;
}

Result<int> WindowState::MapPoints(HWND from, HWND to, POINT* points, UINT count) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  auto origin_of = [this](HWND hwnd, POINT* origin) {
    mu_.AssertHeld();
    table_.mutex().AssertHeld();
    if (hwnd == nullptr) {
      *origin = POINT{0, 0};  // the screen
      return true;
    }
    const Window* w = table_.FindLocked(hwnd);
    if (w == nullptr) return false;
    *origin = table_.ClientOriginLocked(*w);
    return true;
  };
  POINT a, b;
  if (!origin_of(from, &a) || !origin_of(to, &b)) return {0, ERROR_INVALID_WINDOW_HANDLE};
  const LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return {MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy))};
}

Result<BOOL> WindowState::Move(HWND hwnd, int x, int y, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  bool resized;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    Window* w = table_.FindLocked(hwnd);
    if (w == nullptr) return {FALSE, ERROR_INVALID_WINDOW_HANDLE};
    RECT moved{x, y, x + width, y + height};
    resized = (w->rect.right - w->rect.left) != width || (w->rect.bottom - w->rect.top) != height;
    if (moved.left == w->rect.left && moved.top == w->rect.top && !resized) return {TRUE};
    w->rect = moved;
    table_.BumpGenerationLocked();
  }
  if (!resized) return {TRUE};
  return {TRUE, queues_.Send(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height)).error};
}

Result<BOOL> WindowState::SetText(HWND hwnd, LPCWSTR text) {
  if (!view_.IsLocalWindow(hwnd)) return {FALSE, ERROR_INVALID_WINDOW_HANDLE};
  auto sent = queues_.Send(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  return {sent.value ? TRUE : FALSE, sent.error};
}

Result<int> WindowState::GetText(HWND hwnd, LPWSTR buffer, int max_count) {
  if (!view_.IsLocalWindow(hwnd)) return {0, ERROR_INVALID_WINDOW_HANDLE};
  if (buffer == nullptr || max_count <= 0) return {0};
  auto sent = queues_.Send(hwnd, WM_GETTEXT, static_cast<WPARAM>(max_count),
                           reinterpret_cast<LPARAM>(buffer));
  return {static_cast<int>(sent.value), sent.error};
}

Result<int> WindowState::TextLength(HWND hwnd) {
  if (!view_.IsLocalWindow(hwnd)) return {0, ERROR_INVALID_WINDOW_HANDLE};
  auto sent = queues_.Send(hwnd, WM_GETTEXTLENGTH, 0, 0);
  return {static_cast<int>(sent.value), sent.error};
}

Result<HCURSOR> WindowState::StockCursor(HINSTANCE instance, LPCWSTR name) {
  if (instance == nullptr && IS_INTRESOURCE(name)) {
    const auto id = reinterpret_cast<std::uintptr_t>(name);
    if (id >= 32512 && id <= 32516) return {reinterpret_cast<HCURSOR>(id)};
  }
  return {nullptr, ERROR_RESOURCE_NAME_NOT_FOUND};
}

HCURSOR WindowState::ReplaceCursor(HCURSOR cursor) {
  MutexLock lock(mu_);
  HCURSOR previous = cursor_;
  cursor_ = cursor;
  return previous;
}

}  // namespace wce
