#include "user/window_lifecycle.h"

#include <algorithm>

#include "host/fold_case.h"

namespace wce {
namespace {

constexpr DWORD kErrorTopLevelWithChildStyle = 1406;

}  // namespace

std::u16string TextOf(LPCWSTR text) {
  return text == nullptr || IS_INTRESOURCE(text) ? std::u16string() : std::u16string(text);
}

WindowLifecycle::WindowLifecycle(WindowTable& table, MessageQueues& queues,
                                 const UpperFloors& floors)
    : table_(table), mu_(table.mutex()), queues_(queues), floors_(floors) {}

void WindowLifecycle::PublishChanged() {
  if (floors_.others != nullptr) floors_.others->PublishWindowsChanged();
}

Result<HWND> WindowLifecycle::CreateOfClass(DWORD ex_style, LPCWSTR class_name, LPCWSTR title,
                                            DWORD style, int x, int y, int width, int height,
                                            HWND parent, HMENU menu, HINSTANCE instance,
                                            LPVOID param) {
  auto cls = table_.FindClass(class_name);
  if (!cls) return {nullptr, ERROR_CANNOT_FIND_WND_CLASS};
  NewWindow plan;
  plan.ex_style = ex_style;
  plan.title = TextOf(title);
  plan.style = style;
  plan.x = x;
  plan.y = y;
  plan.width = width;
  plan.height = height;
  plan.parent = parent;
  plan.id = (style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(menu) : 0;
  plan.instance = instance;
  plan.param = param;
  std::u16string name = cls->name;
  return Create(std::move(cls), std::move(name), plan);
}

Result<HWND> WindowLifecycle::Create(std::shared_ptr<const WindowClass> cls,
                                     std::u16string class_name, const NewWindow& plan) {
  const bool child = (plan.style & WS_CHILD) != 0;
  HWND hwnd;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    queues_.mutex().AssertHeld();
    auto queue = queues_.CurrentLocked();
    if (!queue) return {nullptr, ERROR_ACCESS_DENIED};  // a host thread has no message queue
    if (child && plan.parent == nullptr) return {nullptr, kErrorTopLevelWithChildStyle};
    if (plan.parent != nullptr && table_.FindLocked(plan.parent) == nullptr) {
      return {nullptr, ERROR_INVALID_WINDOW_HANDLE};
    }
    auto w = std::make_unique<Window>();
    hwnd = table_.NewHandleLocked();
    w->hwnd = hwnd;
    w->window_class = cls;
    w->class_name = std::move(class_name);
    w->kind = cls->kind;
    w->proc = cls->proc;
    w->text = plan.title;
    w->style = plan.style;
    w->ex_style = plan.ex_style;
    w->id = plan.id;
    w->queue = queue;
    w->thread_id = queue->thread_id();
    int x = plan.x, y = plan.y, width = plan.width, height = plan.height;
    if (child) {
      w->parent = plan.parent;
      if (x == CW_USEDEFAULT) x = y = 0;
      if (width == CW_USEDEFAULT) width = height = 0;
    } else {
      w->owner = plan.parent ? table_.RootLocked(plan.parent) : nullptr;
      const RECT work = table_.ScreenLocked().work_area;
      if (x == CW_USEDEFAULT) x = work.left, y = work.top;
      if (width == CW_USEDEFAULT) width = work.right - work.left, height = work.bottom - work.top;
    }
    w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    if (plan.setup) plan.setup(*w);
    table_.InsertLocked(std::move(w));
  }

  CREATESTRUCTW cs{};
  cs.lpCreateParams = plan.param;
  cs.hInstance = plan.instance;
  cs.hMenu = reinterpret_cast<HMENU>(plan.id);
  cs.hwndParent = plan.parent;
  cs.cx = plan.width;
  cs.cy = plan.height;
  cs.x = plan.x;
  cs.y = plan.y;
  cs.style = static_cast<LONG>(plan.style);
  cs.lpszName = plan.title.c_str();
  cs.lpszClass = cls->name.c_str();
  cs.dwExStyle = plan.ex_style;
  const LPARAM create_param = reinterpret_cast<LPARAM>(&cs);

  if (queues_.Call(hwnd, WM_NCCREATE, 0, create_param) == 0) {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    table_.ForgetLocked(hwnd);
    return {nullptr};
  }
  if (queues_.Call(hwnd, WM_CREATE, 0, create_param) == -1) {
    Destroy(hwnd);
    return {nullptr};
  }
  RECT client{};
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    const Window* w = table_.FindLocked(hwnd);
    if (w == nullptr) return {nullptr, ERROR_INVALID_WINDOW_HANDLE};  // destroyed in WM_CREATE
    client = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
  }
  queues_.Call(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));

  bool publish;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    if (table_.FindLocked(hwnd) == nullptr) return {nullptr};
    publish = !child && !cls->internal;
    table_.BumpGenerationLocked();
  }
  if (publish) PublishChanged();
  return {hwnd};
}

DWORD WindowLifecycle::Destroy(HWND hwnd) {
  std::vector<HWND> owned;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    queues_.mutex().AssertHeld();
    Window* w = table_.FindLocked(hwnd);
    if (w == nullptr) return ERROR_INVALID_WINDOW_HANDLE;
    if (!queues_.IsCallerThreadOfLocked(*w)) return ERROR_ACCESS_DENIED;
    if (w->destroying) return ERROR_SUCCESS;
    // Windows it owns go first (those of this thread: another thread's cannot be destroyed here).
    for (HWND top : table_.StackLocked()) {
      const Window* o = table_.FindLocked(top);
      if (o != nullptr && o->owner == hwnd && !o->destroying &&
          o->queue.lock() == w->queue.lock()) {
        owned.push_back(top);
      }
    }
  }
  for (HWND o : owned) Destroy(o);

  std::vector<HWND> order;  // the window, then its descendants, parents before children
  bool publish;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    Window* w = table_.FindLocked(hwnd);
    if (w == nullptr || w->destroying) return ERROR_SUCCESS;
    publish = w->top_level() && !w->window_class->internal && w->kind != WindowKind::kMessageBox;
    order = table_.DestroyOrderLocked(hwnd);
    for (HWND h : order) table_.FindLocked(h)->destroying = true;
  }
  for (HWND h : order) queues_.Call(h, WM_DESTROY, 0, 0);
  for (auto it = order.rbegin(); it != order.rend(); ++it) queues_.Call(*it, WM_NCDESTROY, 0, 0);
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    table_.ForgetLocked(hwnd);
    for (HWND h : order) table_.ForgetLocked(h);  // children a procedure re-parented, if any
    table_.BumpGenerationLocked();
  }
  if (publish) PublishChanged();
  return ERROR_SUCCESS;
}

bool WindowLifecycle::IsAlive(HWND hwnd) {
  UniqueLock lock(mu_);
  table_.mutex().AssertHeld();
  if (table_.FindLocked(hwnd) != nullptr) return true;
  const RemoteWindow* remote = table_.ProxyLocked(hwnd);
  if (remote == nullptr) return false;
  RemoteWindow copy = *remote;
  lock.unlock();
  return floors_.others != nullptr && floors_.others->IsRemoteWindowAlive(copy);
}

HWND WindowLifecycle::Find(LPCWSTR class_name, LPCWSTR title) {
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    std::shared_ptr<const WindowClass> cls;
    if (class_name != nullptr) {
      cls = table_.FindClassLocked(class_name);
      // An unknown class may still be one of another program.
    }
    const std::vector<HWND>& stack = table_.StackLocked();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
      const Window* w = table_.FindLocked(*it);
      // Message boxes are found too (by their caption), as on Win32.
      if (w == nullptr || w->destroying || w->window_class->internal) continue;
      if (class_name != nullptr && w->window_class != cls) continue;
      if (title != nullptr && !EqualsNoCase(w->text, title)) continue;
      return w->hwnd;
    }
  }
  if (class_name != nullptr && IS_INTRESOURCE(class_name)) return nullptr;  // atoms stay local
  if (floors_.others == nullptr) return nullptr;
  std::u16string cls_text = TextOf(class_name), title_text = TextOf(title);
  auto remote = floors_.others->FindRemoteWindow(class_name ? &cls_text : nullptr,
                                                 title ? &title_text : nullptr);
  return remote ? table_.ProxyFor(*remote) : nullptr;
}

LRESULT WindowLifecycle::DefaultProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      Destroy(hwnd);
      return 0;
    case WM_SETTEXT: {
      bool publish;
      {
        MutexLock lock(mu_);
        table_.mutex().AssertHeld();
        Window* w = table_.FindLocked(hwnd);
        if (w == nullptr) return FALSE;
        w->text = TextOf(reinterpret_cast<LPCWSTR>(lparam));
        publish =
            w->top_level() && !w->window_class->internal && w->kind != WindowKind::kMessageBox;
        table_.BumpGenerationLocked();
      }
      if (publish) PublishChanged();
      return TRUE;
    }
    case WM_GETTEXT: {
      MutexLock lock(mu_);
      table_.mutex().AssertHeld();
      const Window* w = table_.FindLocked(hwnd);
      auto* buffer = reinterpret_cast<WCHAR*>(lparam);
      if (w == nullptr || buffer == nullptr || wparam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(w->text.size(), wparam - 1);
      std::copy_n(w->text.begin(), n, buffer);
      buffer[n] = 0;
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
      MutexLock lock(mu_);
      table_.mutex().AssertHeld();
      const Window* w = table_.FindLocked(hwnd);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    default:
      return 0;
  }
}

}  // namespace wce
