#include "user/window_table.h"

#include <algorithm>

#include "host/fold_case.h"
#include "user/thread_queue.h"

namespace wce {

WindowTable::WindowTable(Scheduler& scheduler, const ScreenMetrics& screen)
    : scheduler_(scheduler), mu_(scheduler.mutex()), screen_(screen) {}

// ---- Classes ------------------------------------------------------------------------------------

std::shared_ptr<const WindowClass> WindowTable::FindClassLocked(LPCWSTR name) const {
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

std::shared_ptr<const WindowClass> WindowTable::FindClass(LPCWSTR name) {
  MutexLock lock(mu_);
  return FindClassLocked(name);
}

Result<ATOM> WindowTable::RegisterProgramClass(const WNDCLASSW& wc) {
  if (wc.lpszClassName == nullptr || IS_INTRESOURCE(wc.lpszClassName) || wc.lpszClassName[0] == 0 ||
      wc.lpfnWndProc == nullptr) {
    return {0, ERROR_INVALID_PARAMETER};
  }
  MutexLock lock(mu_);
  if (FindClassLocked(wc.lpszClassName)) return {0, ERROR_CLASS_ALREADY_EXISTS};
  auto cls = std::make_shared<WindowClass>();
  cls->name = wc.lpszClassName;
  cls->atom = next_atom_++;
  cls->proc = wc.lpfnWndProc;
  cls->style = wc.style;
  cls->instance = wc.hInstance;
  cls->cursor = wc.hCursor;
  cls->background = wc.hbrBackground;
  classes_.push_back(cls);
  return {cls->atom};
}

ATOM WindowTable::RegisterHandledClass(std::u16string_view name, WindowKind kind, bool system,
                                       bool internal, ClassHandler handler) {
  MutexLock lock(mu_);
  std::u16string text(name);
  if (FindClassLocked(text.c_str())) return 0;
  auto cls = std::make_shared<WindowClass>();
  cls->name = std::move(text);
  cls->atom = next_atom_++;
  cls->proc = &ClassHandledProc;
  cls->handler = std::move(handler);
  cls->system = system;
  cls->internal = internal;
  cls->kind = kind;
  classes_.push_back(cls);
  return cls->atom;
}

DWORD WindowTable::RemoveProgramClass(LPCWSTR name) {
  MutexLock lock(mu_);
  auto cls = FindClassLocked(name);
  if (!cls || cls->system) return ERROR_CLASS_DOES_NOT_EXIST;
  if (HasWindowsOfLocked(cls)) return ERROR_CLASS_HAS_WINDOWS;
  std::erase(classes_, cls);
  return ERROR_SUCCESS;
}

// ---- Windows ------------------------------------------------------------------------------------

Window* WindowTable::FindLocked(HWND hwnd) {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second.get();
}

const Window* WindowTable::FindLocked(HWND hwnd) const {
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second.get();
}

HWND WindowTable::NewHandleLocked() {
  std::uintptr_t value = next_handle_;
  next_handle_ += 4;
  return reinterpret_cast<HWND>(value);
}

void WindowTable::InsertLocked(std::unique_ptr<Window> w) {
  const HWND hwnd = w->hwnd;
  if (w->top_level()) {
    z_order_.push_back(hwnd);
  } else {
    FindLocked(w->parent)->children.push_back(hwnd);
  }
  windows_.emplace(hwnd, std::move(w));
}

void WindowTable::ForgetLocked(HWND hwnd) {
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
  for (HWND child : std::vector<HWND>(w.children)) ForgetLocked(child);
  windows_.erase(hwnd);
}

std::vector<HWND> WindowTable::DestroyOrderLocked(HWND hwnd) const {
  std::vector<HWND> order;
  std::vector<HWND> pending{hwnd};
  // Depth first, in creation order: the same order as a recursive walk.
  while (!pending.empty()) {
    HWND next = pending.back();
    pending.pop_back();
    const Window* w = FindLocked(next);
    if (w == nullptr) continue;
    order.push_back(next);
    pending.insert(pending.end(), w->children.rbegin(), w->children.rend());
  }
  return order;
}

std::vector<HWND> WindowTable::WindowsOfQueueLocked(const ThreadQueue* queue) const {
  std::vector<HWND> found;
  for (const auto& [hwnd, w] : windows_) {
    if (w->queue.lock().get() == queue) found.push_back(hwnd);
  }
  return found;
}

bool WindowTable::HasWindowsOfLocked(const std::shared_ptr<const WindowClass>& cls) const {
  return std::any_of(windows_.begin(), windows_.end(),
                     [&cls](const auto& entry) { return entry.second->window_class == cls; });
}

HWND WindowTable::RootLocked(HWND hwnd) const {
  const Window* w = FindLocked(hwnd);
  while (w != nullptr && !w->top_level()) w = FindLocked(w->parent);
  return w ? w->hwnd : nullptr;
}

bool WindowTable::IsAncestorLocked(HWND ancestor, HWND hwnd) const {
  for (const Window* w = FindLocked(hwnd); w != nullptr; w = FindLocked(w->parent)) {
    if (w->hwnd == ancestor) return true;
  }
  return false;
}

POINT WindowTable::ClientOriginLocked(const Window& w) const {
  POINT origin{w.rect.left, w.rect.top};
  for (const Window* p = FindLocked(w.parent); p != nullptr; p = FindLocked(p->parent)) {
    origin.x += p->rect.left;
    origin.y += p->rect.top;
  }
  return origin;
}

bool WindowTable::RaiseLocked(HWND hwnd) {
  auto it = std::find(z_order_.begin(), z_order_.end(), hwnd);
  if (it == z_order_.end() || it + 1 == z_order_.end()) return false;
  z_order_.erase(it);
  z_order_.push_back(hwnd);
  return true;
}

// ---- Proxies ------------------------------------------------------------------------------------

HWND WindowTable::ProxyFor(const RemoteWindow& remote) {
  MutexLock lock(mu_);
  for (const auto& [hwnd, r] : proxies_) {
    if (*r == remote) return hwnd;
  }
  HWND hwnd = NewHandleLocked();
  proxies_.emplace(hwnd, std::make_unique<RemoteWindow>(remote));
  return hwnd;
}

const RemoteWindow* WindowTable::ProxyLocked(HWND hwnd) const {
  auto it = proxies_.find(hwnd);
  return it == proxies_.end() ? nullptr : it->second.get();
}

// ---- Screen and generation ----------------------------------------------------------------------

void WindowTable::SetScreenLocked(const ScreenMetrics& screen) {
  screen_ = screen;
  BumpGenerationLocked();
}

void WindowTable::BumpGenerationLocked() {
  generation_.fetch_add(1, std::memory_order_acq_rel);
  scheduler_.NotifyAll();
}

}  // namespace wce
