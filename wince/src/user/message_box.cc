// Message boxes: a small modal window with the text and one OK button.
#include "user/window_manager.h"

namespace wce {
namespace {

constexpr int kBoxMargin = 8;
constexpr int kBoxHeight = 120;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 24;

}  // namespace

int WindowManager::MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  if (owner != nullptr && !IsLocalWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  MessageBoxInfo snapshot;
  snapshot.text = text ? text : u"";
  snapshot.caption = caption ? caption : u"Error";
  snapshot.style = type;
  CreateSpec spec;
  spec.title = snapshot.caption;
  spec.style = WS_POPUP;
  {
    MutexLock lock(mu_);
    spec.parent = owner ? RootLocked(owner) : nullptr;
    if (const Window* o = FindLocked(spec.parent)) snapshot.owner_title = o->text;
    const RECT work = screen_.work_area;
    spec.x = work.left + kBoxMargin;
    spec.width = (work.right - work.left) - 2 * kBoxMargin;
    spec.height = kBoxHeight;
    spec.y = work.top + ((work.bottom - work.top) - kBoxHeight) / 2;
  }
  spec.setup = [&snapshot](Window& w) {
    w.box_text = snapshot.text;
    w.box_style = snapshot.style;
  };
  HWND box = CreateWindowInternal(FindClass(u"MessageBox"), u"MessageBox", spec);
  if (box == nullptr) return 0;

  CreateSpec label;
  label.title = snapshot.text;
  label.style = WS_CHILD | WS_VISIBLE;
  label.x = kBoxMargin;
  label.y = kBoxMargin;
  label.width = spec.width - 2 * kBoxMargin;
  label.height = kBoxHeight - 3 * kBoxMargin - kButtonHeight;
  label.parent = box;
  label.id = -1;
  CreateSpec button;
  button.title = u"OK";
  button.style = WS_CHILD | WS_VISIBLE;
  button.x = (spec.width - kButtonWidth) / 2;
  button.y = kBoxHeight - kBoxMargin - kButtonHeight;
  button.width = kButtonWidth;
  button.height = kButtonHeight;
  button.parent = box;
  button.id = IDOK;
  if (!CreateWindowInternal(FindClass(u"Static"), u"Static", label) ||
      !CreateWindowInternal(FindClass(u"Button"), u"Button", button)) {
    DestroyWindow(box);
    return 0;
  }
  {
    MutexLock lock(mu_);
    message_boxes_.push_back(box);
    BumpGenerationLocked();
  }
  const bool owner_disabled = DisableOwner(spec.parent);
  ShowWindow(box, SW_SHOW);
  if (events_ != nullptr) {
    snapshot.hwnd = box;
    snapshot.owner = spec.parent;
    events_->OnMessageBoxOpened(snapshot);
  }
  return static_cast<int>(RunModal(box, spec.parent, owner_disabled, /*show_when_idle=*/false));
}

LRESULT WindowManager::MessageBoxClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowManager& wm = *this;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) wm.EndDialog(hwnd, IDOK);
      return 0;
    case WM_CLOSE:  // a box with only OK answers OK however it is closed
      wm.EndDialog(hwnd, IDOK);
      return 0;
    default:
      return wm.DefWindowProc(hwnd, message, wparam, lparam);
  }
}

}  // namespace wce
