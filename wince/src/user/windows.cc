// Creating, destroying, showing, sizing and naming windows.
#include <algorithm>

#include "host/fold_case.h"
#include "user/window_manager.h"

namespace wce {
namespace {

constexpr DWORD kErrorInvalidIndex = 1413;
constexpr DWORD kErrorControlIdNotFound = 1421;
constexpr DWORD kErrorTopLevelWithChildStyle = 1406;

void FailInvalidWindow() { SetLastError(ERROR_INVALID_WINDOW_HANDLE); }

std::u16string TextOf(LPCWSTR text) {
  return text == nullptr || IS_INTRESOURCE(text) ? std::u16string() : std::u16string(text);
}

}  // namespace

std::shared_ptr<const WindowClass> WindowManager::FindClass(LPCWSTR name) {
  MutexLock lock(mu_);
  return FindClassLocked(name);
}

HWND WindowManager::RootLocked(HWND hwnd) const {
  const Window* w = FindLocked(hwnd);
  while (w != nullptr && !w->top_level()) w = FindLocked(w->parent);
  return w ? w->hwnd : nullptr;
}

bool WindowManager::SameThreadLocked(const Window& w) {
  auto mine = CurrentQueueLocked();
  return mine && w.queue.lock() == mine;
}

HWND WindowManager::CreateWindowEx(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style,
                                   int x, int y, int width, int height, HWND parent, HMENU menu,
                                   HINSTANCE instance, LPVOID param) {
  auto cls = FindClass(class_name);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  CreateSpec spec;
  spec.ex_style = ex_style;
  spec.title = TextOf(title);
  spec.style = style;
  spec.x = x;
  spec.y = y;
  spec.width = width;
  spec.height = height;
  spec.parent = parent;
  spec.id = (style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(menu) : 0;
  spec.instance = instance;
  spec.param = param;
  std::u16string name = cls->name;
  return CreateWindowInternal(std::move(cls), std::move(name), spec);
}

HWND WindowManager::CreateWindowInternal(std::shared_ptr<const WindowClass> cls,
                                         std::u16string class_name, const CreateSpec& spec) {
  const bool child = (spec.style & WS_CHILD) != 0;
  HWND hwnd;
  {
    MutexLock lock(mu_);
    auto queue = CurrentQueueLocked();
    if (!queue) {
      SetLastError(ERROR_ACCESS_DENIED);  // a host thread has no message queue
      return nullptr;
    }
    if (child && spec.parent == nullptr) {
      SetLastError(kErrorTopLevelWithChildStyle);
      return nullptr;
    }
    if (spec.parent != nullptr && FindLocked(spec.parent) == nullptr) {
      FailInvalidWindow();
      return nullptr;
    }
    auto w = std::make_unique<Window>();
    hwnd = NewHandleLocked();
    w->hwnd = hwnd;
    w->window_class = cls;
    w->class_name = std::move(class_name);
    w->kind = cls->kind;
    w->proc = cls->proc;
    w->text = spec.title;
    w->style = spec.style;
    w->ex_style = spec.ex_style;
    w->id = spec.id;
    w->queue = queue;
    w->thread_id = queue->thread_id();
    int x = spec.x, y = spec.y, width = spec.width, height = spec.height;
    if (child) {
      w->parent = spec.parent;
      if (x == CW_USEDEFAULT) x = y = 0;
      if (width == CW_USEDEFAULT) width = height = 0;
    } else {
      w->owner = spec.parent ? RootLocked(spec.parent) : nullptr;
      const RECT& work = screen_.work_area;
      if (x == CW_USEDEFAULT) x = work.left, y = work.top;
      if (width == CW_USEDEFAULT) width = work.right - work.left, height = work.bottom - work.top;
    }
    w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    if (spec.setup) spec.setup(*w);
    if (child) {
      FindLocked(spec.parent)->children.push_back(hwnd);
    } else {
      z_order_.push_back(hwnd);
    }
    windows_.emplace(hwnd, std::move(w));
  }

  CREATESTRUCTW cs{};
  cs.lpCreateParams = spec.param;
  cs.hInstance = spec.instance;
  cs.hMenu = reinterpret_cast<HMENU>(spec.id);
  cs.hwndParent = spec.parent;
  cs.cx = spec.width;
  cs.cy = spec.height;
  cs.x = spec.x;
  cs.y = spec.y;
  cs.style = static_cast<LONG>(spec.style);
  cs.lpszName = spec.title.c_str();
  cs.lpszClass = cls->name.c_str();
  cs.dwExStyle = spec.ex_style;
  const LPARAM create_param = reinterpret_cast<LPARAM>(&cs);

  if (CallProc(hwnd, WM_NCCREATE, 0, create_param) == 0) {
    MutexLock lock(mu_);
    ForgetWindowLocked(hwnd);
    return nullptr;
  }
  if (CallProc(hwnd, WM_CREATE, 0, create_param) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  RECT client{};
  if (!GetClientRect(hwnd, &client)) return nullptr;  // destroyed during WM_CREATE
  CallProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));

  bool publish;
  {
    MutexLock lock(mu_);
    const Window* w = FindLocked(hwnd);
    if (w == nullptr) return nullptr;
    publish = !child && !cls->internal;
    BumpGenerationLocked();
  }
  if (publish) PublishWindowsChanged();
  return hwnd;
}

BOOL WindowManager::DestroyWindow(HWND hwnd) {
  std::vector<HWND> owned;
  {
    MutexLock lock(mu_);
    Window* w = FindLocked(hwnd);
    if (w == nullptr) {
      FailInvalidWindow();
      return FALSE;
    }
    if (!SameThreadLocked(*w)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
    // Windows it owns go first (those of this thread: another thread's cannot be destroyed here).
    for (HWND top : z_order_) {
      const Window* o = FindLocked(top);
      if (o != nullptr && o->owner == hwnd && !o->destroying &&
          o->queue.lock() == w->queue.lock()) {
        owned.push_back(top);
      }
    }
  }
  for (HWND o : owned) DestroyWindow(o);

  std::vector<HWND> order;  // the window, then its descendants, parents before children
  bool publish;
  {
    MutexLock lock(mu_);
    Window* w = FindLocked(hwnd);
    if (w == nullptr || w->destroying) return TRUE;
    publish = w->top_level() && !w->window_class->internal && w->kind != WindowKind::kMessageBox;
    CollectDestroyOrderLocked(hwnd, &order);
    for (HWND h : order) FindLocked(h)->destroying = true;
  }
  for (HWND h : order) CallProc(h, WM_DESTROY, 0, 0);
  for (auto it = order.rbegin(); it != order.rend(); ++it) CallProc(*it, WM_NCDESTROY, 0, 0);
  {
    MutexLock lock(mu_);
    ForgetWindowLocked(hwnd);
    for (HWND h : order) ForgetWindowLocked(h);  // children a procedure re-parented, if any
    BumpGenerationLocked();
  }
  if (publish) PublishWindowsChanged();
  return TRUE;
}

BOOL WindowManager::IsWindow(HWND hwnd) {
  UniqueLock lock(mu_);
  if (FindLocked(hwnd) != nullptr) return TRUE;
  const RemoteWindow* remote = ProxyLocked(hwnd);
  if (remote == nullptr) return FALSE;
  RemoteWindow copy = *remote;
  lock.unlock();
  return others_ != nullptr && others_->IsRemoteWindowAlive(copy) ? TRUE : FALSE;
}

bool WindowManager::IsLocalWindow(HWND hwnd) {
  MutexLock lock(mu_);
  return FindLocked(hwnd) != nullptr;
}

BOOL WindowManager::ShowWindow(HWND hwnd, int cmd) {
  MutexLock lock(mu_);
  Window* w = FindLocked(hwnd);
  if (w == nullptr) {
    FailInvalidWindow();
    return FALSE;
  }
  const bool was_visible = (w->style & WS_VISIBLE) != 0;
  bool changed = was_visible != (cmd != SW_HIDE);
  if (cmd == SW_HIDE) {
    w->style &= ~static_cast<DWORD>(WS_VISIBLE);
  } else {
    w->style |= WS_VISIBLE;
    if (cmd != SW_SHOWNA && w->top_level()) changed |= RaiseLocked(hwnd);
  }
  if (changed) BumpGenerationLocked();
  return was_visible ? TRUE : FALSE;
}

BOOL WindowManager::UpdateWindow(HWND hwnd) {
  MutexLock lock(mu_);
  if (FindLocked(hwnd) == nullptr) {
    FailInvalidWindow();
    return FALSE;
  }
  return TRUE;  // nothing is painted: the screen is read through automation
}

BOOL WindowManager::InvalidateRect(HWND hwnd) {
  MutexLock lock(mu_);
  if (hwnd != nullptr && FindLocked(hwnd) == nullptr) {
    FailInvalidWindow();
    return FALSE;
  }
  return TRUE;
}

BOOL WindowManager::IsWindowVisible(HWND hwnd) {
  MutexLock lock(mu_);
  auto info = InfoLocked(hwnd);
  return info && info->visible ? TRUE : FALSE;
}

BOOL WindowManager::EnableWindow(HWND hwnd, BOOL enable) {
  BOOL was_disabled;
  {
    MutexLock lock(mu_);
    Window* w = FindLocked(hwnd);
    if (w == nullptr) {
      FailInvalidWindow();
      return FALSE;
    }
    was_disabled = (w->style & WS_DISABLED) != 0 ? TRUE : FALSE;
    if (was_disabled == (enable ? FALSE : TRUE)) return was_disabled;
    if (enable) {
      w->style &= ~static_cast<DWORD>(WS_DISABLED);
    } else {
      w->style |= WS_DISABLED;
    }
    BumpGenerationLocked();
  }
  SendMessage(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return was_disabled;
}

BOOL WindowManager::IsWindowEnabled(HWND hwnd) {
  MutexLock lock(mu_);
  const Window* w = FindLocked(hwnd);
  if (w == nullptr) {
    FailInvalidWindow();
    return FALSE;
  }
  return (w->style & WS_DISABLED) == 0 ? TRUE : FALSE;
}

LONG_PTR WindowManager::GetWindowLong(HWND hwnd, int index) {
  MutexLock lock(mu_);
  const Window* w = FindLocked(hwnd);
  if (w == nullptr) {
    FailInvalidWindow();
    return 0;
  }
  switch (index) {
    case GWL_STYLE:
      return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
      return static_cast<LONG_PTR>(w->ex_style);
    case GWL_USERDATA:
      return w->user_data;
    case GWL_ID:
      return w->id;
    case GWL_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
  }
  if (w->kind == WindowKind::kDialog) {
    switch (index) {
      case DWL_MSGRESULT:
        return w->msg_result;
      case DWL_DLGPROC:
        return reinterpret_cast<LONG_PTR>(w->dlg_proc);
      case DWL_USER:
        return w->dlg_user;
    }
  }
  SetLastError(kErrorInvalidIndex);
  return 0;
}

LONG_PTR WindowManager::SetWindowLong(HWND hwnd, int index, LONG_PTR value) {
  MutexLock lock(mu_);
  Window* w = FindLocked(hwnd);
  if (w == nullptr) {
    FailInvalidWindow();
    return 0;
  }
  LONG_PTR old;
  switch (index) {
    case GWL_STYLE:
      old = static_cast<LONG_PTR>(w->style);
      w->style = static_cast<DWORD>(value);
      BumpGenerationLocked();
      return old;
    case GWL_EXSTYLE:
      old = static_cast<LONG_PTR>(w->ex_style);
      w->ex_style = static_cast<DWORD>(value);
      return old;
    case GWL_USERDATA:
      old = w->user_data;
      w->user_data = value;
      return old;
    case GWL_ID:
      old = w->id;
      w->id = value;
      return old;
    case GWL_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
  }
  if (w->kind == WindowKind::kDialog) {
    switch (index) {
      case DWL_MSGRESULT:
        old = w->msg_result;
        w->msg_result = value;
        return old;
      case DWL_DLGPROC:
        old = reinterpret_cast<LONG_PTR>(w->dlg_proc);
        w->dlg_proc = reinterpret_cast<DLGPROC>(value);
        return old;
      case DWL_USER:
        old = w->dlg_user;
        w->dlg_user = value;
        return old;
    }
  }
  SetLastError(kErrorInvalidIndex);
  return 0;
}

HWND WindowManager::GetParent(HWND hwnd) {
  MutexLock lock(mu_);
  const Window* w = FindLocked(hwnd);
  if (w == nullptr) {
    FailInvalidWindow();
    return nullptr;
  }
  if (!w->top_level()) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND WindowManager::GetDlgItem(HWND dialog, int id) {
  MutexLock lock(mu_);
  const Window* w = FindLocked(dialog);
  if (w == nullptr) {
    FailInvalidWindow();
    return nullptr;
  }
  for (HWND child : w->children) {
    const Window* c = FindLocked(child);
    if (c != nullptr && static_cast<int>(c->id) == id) return child;
  }
  SetLastError(kErrorControlIdNotFound);
  return nullptr;
}

int WindowManager::GetDlgCtrlID(HWND hwnd) {
  MutexLock lock(mu_);
  const Window* w = FindLocked(hwnd);
  if (w == nullptr) {
    FailInvalidWindow();
    return 0;
  }
  return static_cast<int>(w->id);
}

BOOL WindowManager::GetClientRect(HWND hwnd, RECT* rect) {
  MutexLock lock(mu_);
  const Window* w = FindLocked(hwnd);
  if (w == nullptr) {
    FailInvalidWindow();
    return FALSE;
  }
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Windows have no frame on this device: the client area is the whole window.
  *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  return TRUE;
}

BOOL WindowManager::GetWindowRect(HWND hwnd, RECT* rect) {
  MutexLock lock(mu_);
  auto info = InfoLocked(hwnd);
  if (!info) {
    FailInvalidWindow();
    return FALSE;
  }
  if (rect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *rect = info->rect;
  return TRUE;
}

int WindowManager::MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  MutexLock lock(mu_);
  auto origin_of = [this](HWND hwnd, POINT* origin) {
    if (hwnd == nullptr) {
      *origin = POINT{0, 0};  // the screen
      return true;
    }
    const Window* w = FindLocked(hwnd);
    if (w == nullptr) return false;
    *origin = ClientOriginLocked(*w);
    return true;
  };
  POINT a, b;
  if (!origin_of(from, &a) || !origin_of(to, &b)) {
    FailInvalidWindow();
    return 0;
  }
  const LONG dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points != nullptr && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

BOOL WindowManager::MoveWindow(HWND hwnd, int x, int y, int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  bool resized;
  {
    MutexLock lock(mu_);
    Window* w = FindLocked(hwnd);
    if (w == nullptr) {
      FailInvalidWindow();
      return FALSE;
    }
    RECT moved{x, y, x + width, y + height};
    resized = (w->rect.right - w->rect.left) != width || (w->rect.bottom - w->rect.top) != height;
    if (moved.left == w->rect.left && moved.top == w->rect.top && !resized) return TRUE;
    w->rect = moved;
    BumpGenerationLocked();
  }
  if (resized) SendMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
  return TRUE;
}

// The text calls pass a pointer of this process: a window of another program is no window to
// them (its text could only be reached through an address that means nothing there).
BOOL WindowManager::SetWindowText(HWND hwnd, LPCWSTR text) {
  if (!IsLocalWindow(hwnd)) {
    FailInvalidWindow();
    return FALSE;
  }
  return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int WindowManager::GetWindowText(HWND hwnd, LPWSTR buffer, int max_count) {
  if (!IsLocalWindow(hwnd)) {
    FailInvalidWindow();
    return 0;
  }
  if (buffer == nullptr || max_count <= 0) return 0;
  return static_cast<int>(SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(max_count),
                                      reinterpret_cast<LPARAM>(buffer)));
}

int WindowManager::GetWindowTextLength(HWND hwnd) {
  if (!IsLocalWindow(hwnd)) {
    FailInvalidWindow();
    return 0;
  }
  return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

HWND WindowManager::FindWindow(LPCWSTR class_name, LPCWSTR title) {
  {
    MutexLock lock(mu_);
    std::shared_ptr<const WindowClass> cls;
    if (class_name != nullptr) {
      cls = FindClassLocked(class_name);
      // An unknown class may still be one of another program.
    }
    for (auto it = z_order_.rbegin(); it != z_order_.rend(); ++it) {
      const Window* w = FindLocked(*it);
      // Message boxes are found too (by their caption), as on Win32.
      if (w == nullptr || w->destroying || w->window_class->internal) continue;
      if (class_name != nullptr && w->window_class != cls) continue;
      if (title != nullptr && !EqualsNoCase(w->text, title)) continue;
      return w->hwnd;
    }
  }
  if (class_name != nullptr && IS_INTRESOURCE(class_name)) return nullptr;  // atoms stay local
  if (others_ == nullptr) return nullptr;
  std::u16string cls_text = TextOf(class_name), title_text = TextOf(title);
  auto remote =
      others_->FindRemoteWindow(class_name ? &cls_text : nullptr, title ? &title_text : nullptr);
  return remote ? ProxyFor(*remote) : nullptr;
}

HWND WindowManager::ProxyFor(const RemoteWindow& remote) {
  MutexLock lock(mu_);
  for (const auto& [hwnd, r] : proxies_) {
    if (*r == remote) return hwnd;
  }
  HWND hwnd = NewHandleLocked();
  proxies_.emplace(hwnd, std::make_unique<RemoteWindow>(remote));
  return hwnd;
}

const RemoteWindow* WindowManager::ProxyLocked(HWND hwnd) const {
  auto it = proxies_.find(hwnd);
  return it == proxies_.end() ? nullptr : it->second.get();
}

LRESULT WindowManager::DefWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SETTEXT: {
      bool publish;
      {
        MutexLock lock(mu_);
        Window* w = FindLocked(hwnd);
        if (w == nullptr) return FALSE;
        w->text = TextOf(reinterpret_cast<LPCWSTR>(lparam));
        publish =
            w->top_level() && !w->window_class->internal && w->kind != WindowKind::kMessageBox;
        BumpGenerationLocked();
      }
      if (publish) PublishWindowsChanged();
      return TRUE;
    }
    case WM_GETTEXT: {
      MutexLock lock(mu_);
      const Window* w = FindLocked(hwnd);
      auto* buffer = reinterpret_cast<WCHAR*>(lparam);
      if (w == nullptr || buffer == nullptr || wparam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(w->text.size(), wparam - 1);
      std::copy_n(w->text.begin(), n, buffer);
      buffer[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      MutexLock lock(mu_);
      const Window* w = FindLocked(hwnd);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    default:
      return 0;
  }
}

HCURSOR WindowManager::LoadCursor(HINSTANCE instance, LPCWSTR name) {
  if (instance == nullptr && IS_INTRESOURCE(name)) {
    const auto id = reinterpret_cast<std::uintptr_t>(name);
    if (id >= 32512 && id <= 32516) return reinterpret_cast<HCURSOR>(id);
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HCURSOR WindowManager::SetCursor(HCURSOR cursor) {
  MutexLock lock(mu_);
  HCURSOR previous = cursor_;
  cursor_ = cursor;
  return previous;
}

}  // namespace wce
