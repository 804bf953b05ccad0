// The window manager's tables: classes, windows, queues, and what automation reads of them.
#include "user/window_manager.h"

#include <algorithm>

#include "host/fold_case.h"
#include "model/display.h"

namespace wce {
namespace {

const HCURSOR kArrowCursor = reinterpret_cast<HCURSOR>(static_cast<std::uintptr_t>(32512));

}  // namespace

ScreenMetrics ScreenMetricsOf(int width, int height, int rotation) {
  const RECT screen = ScreenRect(width, height, IsValidRotation(rotation) ? rotation : 0);
  ScreenMetrics metrics;
  metrics.width = screen.right - screen.left;
  metrics.height = screen.bottom - screen.top;
  metrics.work_area = WorkArea(screen);
  return metrics;
}

LRESULT CALLBACK ClassHandledProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

WindowManager::WindowManager(Scheduler& scheduler, Modules& modules, const ScreenMetrics& screen)
    : scheduler_(scheduler),
      modules_(modules),
      mu_(scheduler.mutex()),
      screen_(screen),
      cursor_(kArrowCursor) {
  MutexLock lock(mu_);
  RegisterSystemClassesLocked();
  scheduler_.on_thread_exit = [this](DeviceThread& thread) { ThreadEnded(thread); };
}

WindowManager::~WindowManager() { scheduler_.on_thread_exit = nullptr; }

void WindowManager::Connect(OtherProcesses* others, WindowEvents* events) {
  others_ = others;
  events_ = events;
}

void WindowManager::RegisterSystemClassesLocked() {
  using Member = LRESULT (WindowManager::*)(HWND, UINT, WPARAM, LPARAM);
  struct Builtin {
    const char16_t* name;
    Member proc;
    WindowKind kind;
  };
  const Builtin builtins[] = {
      {u"Dialog", &WindowManager::DialogClassProc, WindowKind::kDialog},
      {u"MessageBox", &WindowManager::MessageBoxClassProc, WindowKind::kMessageBox},
      {u"Static", &WindowManager::DefWindowProc, WindowKind::kStatic},
      {u"msctls_progress32", &WindowManager::ProgressClassProc, WindowKind::kProgress},
      {u"Button", &WindowManager::DefWindowProc, WindowKind::kPlain},
      {u"Edit", &WindowManager::DefWindowProc, WindowKind::kPlain},
  };
  for (const Builtin& b : builtins) {
    auto cls = std::make_shared<WindowClass>();
    cls->name = b.name;
    cls->atom = next_atom_++;
    cls->proc = &ClassHandledProc;
    cls->handler = [this, proc = b.proc](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
      return (this->*proc)(hwnd, message, wparam, lparam);
    };
    cls->system = true;
    cls->kind = b.kind;
    classes_.push_back(std::move(cls));
  }
}

// ---- Classes ------------------------------------------------------------------------------------

std::shared_ptr<const WindowClass> WindowManager::FindClassLocked(LPCWSTR name) const {
  if (name == nullptr) return nullptr;
  for (const auto& cls : classes_) {
    if (IS_INTRESOURCE(name)
            ? cls->atom == static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name))
            : EqualsNoCase(cls->name, name)) {
      return cls;
    }
  }
  return nullptr;
}

ATOM WindowManager::RegisterClass(const WNDCLASSW& wc) {
  if (wc.lpszClassName == nullptr || IS_INTRESOURCE(wc.lpszClassName) || wc.lpszClassName[0] == 0 ||
      wc.lpfnWndProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  MutexLock lock(mu_);
  if (FindClassLocked(wc.lpszClassName)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc.lpszClassName;
  cls->atom = next_atom_++;
  cls->proc = wc.lpfnWndProc;
  cls->style = wc.style;
  cls->instance = wc.hInstance;
  cls->cursor = wc.hCursor;
  cls->background = wc.hbrBackground;
  classes_.push_back(cls);
  return cls->atom;
}

ATOM WindowManager::RegisterInternalClass(std::u16string_view name, ClassHandler handler) {
  MutexLock lock(mu_);
  std::u16string text(name);
  if (FindClassLocked(text.c_str())) return 0;
  auto cls = std::make_shared<WindowClass>();
  cls->name = std::move(text);
  cls->atom = next_atom_++;
  cls->proc = &ClassHandledProc;
  cls->handler = std::move(handler);
  cls->internal = true;
  classes_.push_back(cls);
  return cls->atom;
}

BOOL WindowManager::UnregisterClass(LPCWSTR name) {
  MutexLock lock(mu_);
  auto cls = FindClassLocked(name);
  if (!cls || cls->system) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (const auto& [hwnd, w] : windows_) {
    if (w->window_class == cls) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  }
  std::erase(classes_, cls);
  return TRUE;
}

// ---- Windows and queues -------------------------------------------------------------------------

HWND WindowManager::NewHandleLocked() {
  std::uintptr_t value = next_handle_;
  next_handle_ += 4;
  return reinterpret_cast<HWND>(value);
}

Window* WindowManager::FindLocked(HWND hwnd) {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second.get();
}

const Window* WindowManager::FindLocked(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second.get();
}

std::shared_ptr<ThreadQueue> WindowManager::CurrentQueueLocked() {
  DeviceThread* self = DeviceThread::Current();
  if (self == nullptr) return nullptr;
  if (!self->queue || self->queue->closed()) {
    self->queue = std::make_shared<ThreadQueue>(self->id());
    queues_[self->id()] = self->queue;
  }
  return self->queue;
}

POINT WindowManager::ClientOriginLocked(const Window& w) const {
  POINT origin{w.rect.left, w.rect.top};
  for (const Window* p = FindLocked(w.parent); p != nullptr; p = FindLocked(p->parent)) {
    origin.x += p->rect.left;
    origin.y += p->rect.top;
  }
  return origin;
}

bool WindowManager::IsAncestorLocked(HWND ancestor, HWND hwnd) const {
  for (const Window* w = FindLocked(hwnd); w != nullptr; w = FindLocked(w->parent)) {
    if (w->hwnd == ancestor) return true;
  }
  return false;
}

bool WindowManager::RaiseLocked(HWND hwnd) {
  auto it = std::find(z_order_.begin(), z_order_.end(), hwnd);
  if (it == z_order_.end() || it + 1 == z_order_.end()) return false;
  z_order_.erase(it);
  z_order_.push_back(hwnd);
  return true;
}

void WindowManager::CollectDestroyOrderLocked(HWND hwnd, std::vector<HWND>* order) const {
  const Window* w = FindLocked(hwnd);
  if (w == nullptr) return;
  order->push_back(hwnd);
  for (HWND child : w->children) CollectDestroyOrderLocked(child, order);
}

void WindowManager::ForgetWindowLocked(HWND hwnd) {
  auto it = windows_.find(hwnd);
  if (it == windows_.end()) return;
  Window& w = *it->second;
  if (Window* parent = FindLocked(w.parent)) std::erase(parent->children, hwnd);
  std::erase(z_order_, hwnd);
  std::erase(message_boxes_, hwnd);
  if (auto queue = w.queue.lock()) {
    queue->KillWindowTimers(hwnd);
    queue->PurgeWindow(hwnd);
  }
  for (HWND child : std::vector<HWND>(w.children)) ForgetWindowLocked(child);
  windows_.erase(hwnd);
}

void WindowManager::ThreadEnded(DeviceThread& thread) {
  bool published_change = false;
  {
    MutexLock lock(mu_);
    std::shared_ptr<ThreadQueue> queue = std::move(thread.queue);
    if (!queue) return;
    queue->Close();
    auto registered = queues_.find(thread.id());
    if (registered != queues_.end() && registered->second.lock() == queue) {
      queues_.erase(registered);
    }
    // The thread can run no more window procedures: its windows go without WM_DESTROY.
    std::vector<HWND> gone;
    for (const auto& [hwnd, w] : windows_) {
      if (w->queue.lock() == queue) gone.push_back(hwnd);
    }
    for (HWND hwnd : gone) {
      const Window* w = FindLocked(hwnd);
      if (w == nullptr) continue;
      published_change |= w->top_level() && !w->window_class->internal;
      ForgetWindowLocked(hwnd);
    }
    if (!gone.empty()) BumpGenerationLocked();
    scheduler_.NotifyAll();
  }
  if (published_change) {
    try {
      PublishWindowsChanged();
    } catch (...) {
      // Publishing is best effort; a thread on its way out must not throw from here.
    }
  }
}

void WindowManager::PublishWindowsChanged() {
  if (others_ != nullptr) others_->PublishWindowsChanged();
}

// ---- Screen and generation ----------------------------------------------------------------------

void WindowManager::SetScreenLocked(const ScreenMetrics& screen) {
  screen_ = screen;
  BumpGenerationLocked();
}

void WindowManager::BumpGenerationLocked() {
  generation_.fetch_add(1, std::memory_order_acq_rel);
  scheduler_.NotifyAll();
}

// ---- Introspection ------------------------------------------------------------------------------

std::vector<HWND> WindowManager::TopLevelWindowsLocked() const {
  return std::vector<HWND>(z_order_.rbegin(), z_order_.rend());
}

HWND WindowManager::ForegroundWindowLocked() const {
  for (auto it = z_order_.rbegin(); it != z_order_.rend(); ++it) {
    const Window* w = FindLocked(*it);
    if (w == nullptr || w->window_class->internal || w->kind == WindowKind::kMessageBox) continue;
    if (w->style & WS_VISIBLE) return w->hwnd;
  }
  return nullptr;
}

std::optional<WindowInfo> WindowManager::InfoLocked(HWND hwnd) const {
  const Window* w = FindLocked(hwnd);
  if (w == nullptr) return std::nullopt;
  WindowInfo info;
  info.hwnd = hwnd;
  info.class_name = w->class_name;
  info.text = w->text;
  info.style = w->style;
  info.id = static_cast<int>(w->id);
  POINT origin = ClientOriginLocked(*w);
  info.rect = RECT{origin.x, origin.y, origin.x + (w->rect.right - w->rect.left),
                   origin.y + (w->rect.bottom - w->rect.top)};
  info.visible = true;
  for (const Window* v = w; v != nullptr; v = FindLocked(v->parent)) {
    info.visible = info.visible && (v->style & WS_VISIBLE) != 0;
  }
  info.enabled = (w->style & WS_DISABLED) == 0;
  info.owner = w->owner;
  info.parent = w->parent;
  info.thread_id = w->thread_id;
  info.kind = w->kind;
  info.internal = w->window_class->internal;
  info.template_id = w->template_id;
  if (w->kind == WindowKind::kProgress) info.progress = w->progress;
  info.children = w->children;
  return info;
}

std::vector<MessageBoxInfo> WindowManager::MessageBoxesLocked() const {
  std::vector<MessageBoxInfo> boxes;
  for (HWND hwnd : message_boxes_) {
    const Window* w = FindLocked(hwnd);
    if (w == nullptr) continue;
    MessageBoxInfo box;
    box.hwnd = hwnd;
    box.owner = w->owner;
    if (const Window* owner = FindLocked(w->owner)) box.owner_title = owner->text;
    box.text = w->box_text;
    box.caption = w->text;
    box.style = w->box_style;
    boxes.push_back(std::move(box));
  }
  return boxes;
}

std::vector<PublishedWindow> WindowManager::PublishedWindows() {
  MutexLock lock(mu_);
  std::vector<PublishedWindow> published;
  for (auto it = z_order_.rbegin(); it != z_order_.rend(); ++it) {
    const Window* w = FindLocked(*it);
    if (w == nullptr || w->destroying || w->window_class->internal ||
        w->kind == WindowKind::kMessageBox) {
      continue;
    }
    published.push_back(
        PublishedWindow{static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(w->hwnd)),
                        w->class_name, w->text});
  }
  return published;
}

std::uint32_t WindowManager::UiThreadIdLocked() const {
  for (auto it = z_order_.rbegin(); it != z_order_.rend(); ++it) {
    const Window* w = FindLocked(*it);
    if (w == nullptr || w->window_class->internal) continue;
    if (w->style & WS_VISIBLE) return w->thread_id;
  }
  return 0;
}

bool WindowManager::IsWaitingForInputLocked(const DeviceThread* thread) const {
  return thread != nullptr && thread->queue && thread->queue->IsWaitingForInput();
}

bool WindowManager::IsUiThreadWaitingForInputLocked() const {
  std::uint32_t id = UiThreadIdLocked();
  if (id == 0) return false;
  auto it = queues_.find(id);
  if (it == queues_.end()) return false;
  auto queue = it->second.lock();
  return queue && queue->IsWaitingForInput();
}

bool WindowManager::PostInputLocked(HWND target, UINT message, WPARAM wparam, LPARAM lparam) {
  Window* w = FindLocked(target);
  if (w == nullptr) return false;
  auto queue = w->queue.lock();
  if (!queue || queue->closed()) return false;
  MSG msg{target, message, wparam, lparam, static_cast<DWORD>(scheduler_.NowLocked()), {}};
  queue->Post(msg, QS_KEY);
  scheduler_.NotifyAll();
  return true;
}

}  // namespace wce
