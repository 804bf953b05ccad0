#include "user/message_box.h"

namespace wce {
namespace {

constexpr int kBoxMargin = 8;
constexpr int kBoxHeight = 120;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 24;

}  // namespace

MessageBoxes::MessageBoxes(WindowTable& table, WindowLifecycle& lifecycle, WindowState& state,
                           Dialogs& dialogs, const UpperFloors& floors)
    : table_(table),
      mu_(table.mutex()),
      lifecycle_(lifecycle),
      state_(state),
      dialogs_(dialogs),
      floors_(floors) {}

Result<int> MessageBoxes::Show(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  MessageBoxInfo info;
  info.text = text ? text : u"";
  info.caption = caption ? caption : u"Error";
  info.style = type;
  WindowLifecycle::NewWindow plan;
  plan.title = info.caption;
  plan.style = WS_POPUP;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    if (owner != nullptr && table_.FindLocked(owner) == nullptr) {
      return {0, ERROR_INVALID_WINDOW_HANDLE};
    }
    plan.parent = owner ? table_.RootLocked(owner) : nullptr;
    if (const Window* o = table_.FindLocked(plan.parent)) info.owner_title = o->text;
    const RECT work = table_.ScreenLocked().work_area;
    plan.x = work.left + kBoxMargin;
    plan.width = (work.right - work.left) - 2 * kBoxMargin;
    plan.height = kBoxHeight;
    plan.y = work.top + ((work.bottom - work.top) - kBoxHeight) / 2;
  }
  plan.setup = [&info](Window& w) {
    w.box_text = info.text;
    w.box_style = info.style;
  };
  const Result<HWND> made = lifecycle_.Create(table_.FindClass(u"MessageBox"), u"MessageBox", plan);
  if (made.value == nullptr) return {0, made.error};
  const HWND box = made.value;

  WindowLifecycle::NewWindow label;
  label.title = info.text;
  label.style = WS_CHILD | WS_VISIBLE;
  label.x = kBoxMargin;
  label.y = kBoxMargin;
  label.width = plan.width - 2 * kBoxMargin;
  label.height = kBoxHeight - 3 * kBoxMargin - kButtonHeight;
  label.parent = box;
  label.id = -1;
  WindowLifecycle::NewWindow button;
  button.title = u"OK";
  button.style = WS_CHILD | WS_VISIBLE;
  button.x = (plan.width - kButtonWidth) / 2;
  button.y = kBoxHeight - kBoxMargin - kButtonHeight;
  button.width = kButtonWidth;
  button.height = kButtonHeight;
  button.parent = box;
  button.id = IDOK;
  Result<HWND> part = lifecycle_.Create(table_.FindClass(u"Static"), u"Static", label);
  if (part.value != nullptr) {
    part = lifecycle_.Create(table_.FindClass(u"Button"), u"Button", button);
  }
  if (part.value == nullptr) {
    lifecycle_.Destroy(box);
    return {0, part.error};
  }
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    table_.AddMessageBoxLocked(box);
    table_.BumpGenerationLocked();
  }
  const bool owner_disabled = dialogs_.DisableOwner(plan.parent);
  state_.Show(box, SW_SHOW);
  if (floors_.events != nullptr) {
    info.hwnd = box;
    info.owner = plan.parent;
    floors_.events->OnMessageBoxOpened(info);
  }
  return {static_cast<int>(
      dialogs_.RunModal(box, plan.parent, owner_disabled, /*show_when_idle=*/false))};
}

LRESULT MessageBoxes::ClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) dialogs_.End(hwnd, IDOK);
      return 0;
    case WM_CLOSE:  // a box with only OK answers OK however it is closed
      dialogs_.End(hwnd, IDOK);
      return 0;
    default:
      return lifecycle_.DefaultProc(hwnd, message, wparam, lparam);
  }
}

}  // namespace wce
