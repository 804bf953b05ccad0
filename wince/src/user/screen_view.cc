#include "user/screen_view.h"

#include "model/display.h"

namespace wce {

ScreenMetrics ScreenMetricsOf(int width, int height, int rotation) {
  const RECT screen = ScreenRect(width, height, IsValidRotation(rotation) ? rotation : 0);
  ScreenMetrics metrics;
  metrics.width = screen.right - screen.left;
  metrics.height = screen.bottom - screen.top;
  metrics.work_area = WorkArea(screen);
  return metrics;
}

ScreenView::ScreenView(const WindowTable& table, const MessageQueues& queues)
    : table_(table), queues_(queues), mu_(table.mutex()) {}

std::vector<HWND> ScreenView::TopLevelWindowsLocked() const {
  table_.mutex().AssertHeld();
  const std::vector<HWND>& stack = table_.StackLocked();
  return std::vector<HWND>(stack.rbegin(), stack.rend());
}

HWND ScreenView::ForegroundWindowLocked() const {
  table_.mutex().AssertHeld();
  const std::vector<HWND>& stack = table_.StackLocked();
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    const Window* w = table_.FindLocked(*it);
    if (w == nullptr || w->window_class->internal || w->kind == WindowKind::kMessageBox) continue;
    if (w->style & WS_VISIBLE) return w->hwnd;
  }
  return nullptr;
}

std::optional<WindowInfo> ScreenView::InfoLocked(HWND hwnd) const {
  table_.mutex().AssertHeld();
  const Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return std::nullopt;
  WindowInfo info;
  info.hwnd = hwnd;
  info.class_name = w->class_name;
  info.text = w->text;
  info.style = w->style;
  info.id = static_cast<int>(w->id);
  POINT origin = table_.ClientOriginLocked(*w);
  info.rect = RECT{origin.x, origin.y, origin.x + (w->rect.right - w->rect.left),
                   origin.y + (w->rect.bottom - w->rect.top)};
  info.visible = true;
  for (const Window* v = w; v != nullptr; v = table_.FindLocked(v->parent)) {
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

std::vector<MessageBoxInfo> ScreenView::MessageBoxesLocked() const {
  table_.mutex().AssertHeld();
  std::vector<MessageBoxInfo> boxes;
  for (HWND hwnd : table_.MessageBoxListLocked()) {
    const Window* w = table_.FindLocked(hwnd);
    if (w == nullptr) continue;
    MessageBoxInfo box;
    box.hwnd = hwnd;
    box.owner = w->owner;
    if (const Window* owner = table_.FindLocked(w->owner)) box.owner_title = owner->text;
    box.text = w->box_text;
    box.caption = w->text;
    box.style = w->box_style;
    boxes.push_back(std::move(box));
  }
  return boxes;
}

std::vector<PublishedWindow> ScreenView::PublishedWindows() const {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  std::vector<PublishedWindow> published;
  const std::vector<HWND>& stack = table_.StackLocked();
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    const Window* w = table_.FindLocked(*it);
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

bool ScreenView::IsLocalWindow(HWND hwnd) const {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  return table_.FindLocked(hwnd) != nullptr;
}

std::uint32_t ScreenView::UiThreadIdLocked() const {
  table_.mutex().AssertHeld();
  const std::vector<HWND>& stack = table_.StackLocked();
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    const Window* w = table_.FindLocked(*it);
    if (w == nullptr || w->window_class->internal) continue;
    if (w->style & WS_VISIBLE) return w->thread_id;
  }
  return 0;
}

bool ScreenView::IsWaitingForInputLocked(const DeviceThread* thread) const {
  queues_.mutex().AssertHeld();
  return queues_.IsWaitingForInputLocked(thread);
}

bool ScreenView::IsUiThreadWaitingForInputLocked() const {
  queues_.mutex().AssertHeld();
  const std::uint32_t id = UiThreadIdLocked();
  return id != 0 && queues_.IsThreadWaitingForInputLocked(id);
}

}  // namespace wce
