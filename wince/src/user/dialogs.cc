#include "user/dialogs.h"

#include <algorithm>
#include <optional>

#include "resource/dialog_template.h"
#include "resource/modules.h"

namespace wce {
namespace {

// The RT_DIALOG resource id of the template at `p`, or -1.
int TemplateIdOf(Modules& modules, const void* p) {
  auto located = modules.Locate(p);
  if (!located || located->entry == nullptr || located->entry->name.is_name) return -1;
  if (located->entry->data.data() != static_cast<const std::uint8_t*>(p)) return -1;
  return located->entry->name.ordinal;
}

// The template at `p`, read only within the loaded resource that holds it: a template lying in
// no resource has no known end, so it is not read at all.
std::optional<DialogTemplate> ParseAt(Modules& modules, const DLGTEMPLATE* dialog_template,
                                      DWORD* error) {
  auto bytes = modules.SpanContaining(dialog_template);
  if (!bytes) {
    *error = ERROR_INVALID_PARAMETER;
    return std::nullopt;
  }
  auto parsed = ParseDialogTemplate(*bytes);
  if (!parsed) *error = ERROR_INVALID_DATA;
  return parsed;
}

// units * base / divisor rounded to the nearest integer, halves away from zero (MulDiv's rule).
int ScaleRounded(int units, int base, int divisor) {
  const int product = units * base;
  return product >= 0 ? (product + divisor / 2) / divisor : (product - divisor / 2) / divisor;
}

}  // namespace

int Dialogs::DialogUnitsToX(int units) { return ScaleRounded(units, kDialogBaseUnitX, 4); }
int Dialogs::DialogUnitsToY(int units) { return ScaleRounded(units, kDialogBaseUnitY, 8); }

Dialogs::Dialogs(WindowTable& table, MessageQueues& queues, WindowLifecycle& lifecycle,
                 WindowState& state, Modules& modules, const UpperFloors& floors)
    : table_(table),
      mu_(table.mutex()),
      queues_(queues),
      lifecycle_(lifecycle),
      state_(state),
      modules_(modules),
      floors_(floors) {}

Result<HWND> Dialogs::CreateFromTemplate(const DialogTemplate& t, HINSTANCE instance, HWND owner,
                                         DLGPROC proc, int template_id) {
  WindowLifecycle::NewWindow plan;
  plan.ex_style = t.ex_style;
  plan.title = t.title;
  plan.style = (t.style & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
  plan.width = DialogUnitsToX(t.cx);
  plan.height = DialogUnitsToY(t.cy);
  {
    // Placed relative to the owner's client area, or centred in the work area.
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    const RECT work = table_.ScreenLocked().work_area;
    POINT origin{work.left, work.top};
    if (const Window* o = table_.FindLocked(owner)) origin = table_.ClientOriginLocked(*o);
    if (t.style & DS_CENTER) {
      plan.x = work.left + ((work.right - work.left) - plan.width) / 2;
      plan.y = work.top + ((work.bottom - work.top) - plan.height) / 2;
    } else {
      plan.x = origin.x + DialogUnitsToX(t.x);
      plan.y = origin.y + DialogUnitsToY(t.y);
    }
  }
  plan.parent = owner;
  plan.instance = instance;
  plan.setup = [template_id](Window& w) { w.template_id = template_id; };
  const Result<HWND> dialog = lifecycle_.Create(table_.FindClass(u"Dialog"), u"Dialog", plan);
  if (dialog.value == nullptr) return dialog;
  {
    // The procedure is set once the dialog window exists: it never sees WM_CREATE or the WM_SIZE
    // of the creation, and WM_INITDIALOG is the first message it gets.
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    if (Window* w = table_.FindLocked(dialog.value)) w->dlg_proc = proc;
  }

  for (const DialogItem& item : t.items) {
    auto cls = item.class_name.empty() ? nullptr : table_.FindClass(item.class_name.c_str());
    const bool known = cls != nullptr;
    // A class nobody registered still makes a window, one that only keeps its text.
    if (!known) cls = table_.FindClass(u"Static");
    WindowLifecycle::NewWindow control;
    control.ex_style = item.ex_style;
    control.title = item.title;
    control.style = item.style | WS_CHILD;
    control.x = DialogUnitsToX(item.x);
    control.y = DialogUnitsToY(item.y);
    control.width = DialogUnitsToX(item.cx);
    control.height = DialogUnitsToY(item.cy);
    control.parent = dialog.value;
    control.id = item.id;
    control.instance = instance;
    if (!known) {
      control.setup = [](Window& w) { w.kind = WindowKind::kPlain; };
    }
    const Result<HWND> made = lifecycle_.Create(cls, item.class_name, control);
    if (made.value == nullptr) {
      lifecycle_.Destroy(dialog.value);
      return made;
    }
  }
  return dialog;
}

Result<INT_PTR> Dialogs::Run(HINSTANCE instance, const DLGTEMPLATE* dialog_template, HWND owner,
                             DLGPROC proc, LPARAM param) {
  if (dialog_template == nullptr) return {-1, ERROR_INVALID_PARAMETER};
  HWND root_owner = nullptr;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    if (owner != nullptr) {
      if (table_.FindLocked(owner) == nullptr) return {-1, ERROR_INVALID_WINDOW_HANDLE};
      root_owner = table_.RootLocked(owner);
    }
  }
  DWORD error = ERROR_SUCCESS;
  auto parsed = ParseAt(modules_, dialog_template, &error);
  if (!parsed) return {-1, error};
  const int template_id = TemplateIdOf(modules_, dialog_template);
  const Result<HWND> made = CreateFromTemplate(*parsed, instance, root_owner, proc, template_id);
  if (made.value == nullptr) return {-1, made.error};
  const HWND dialog = made.value;

  HWND first_control = nullptr;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    if (const Window* w = table_.FindLocked(dialog); w && !w->children.empty()) {
      first_control = w->children.front();
    }
  }
  // The owner is disabled before WM_INITDIALOG, as on Win32.
  const bool owner_disabled = DisableOwner(root_owner);
  queues_.Call(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first_control), param);
  const INT_PTR result = RunModal(dialog, root_owner, owner_disabled, /*show_when_idle=*/true);
  if (floors_.events != nullptr) floors_.events->OnDialogEnded(template_id, result);
  return {result};
}

DWORD Dialogs::MapRect(HWND dialog, RECT* rect) {
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    const Window* w = table_.FindLocked(dialog);
    if (w == nullptr || w->kind != WindowKind::kDialog) return ERROR_INVALID_WINDOW_HANDLE;
  }
  rect->left = DialogUnitsToX(rect->left);
  rect->right = DialogUnitsToX(rect->right);
  rect->top = DialogUnitsToY(rect->top);
  rect->bottom = DialogUnitsToY(rect->bottom);
  return ERROR_SUCCESS;
}

DWORD Dialogs::End(HWND dialog, INT_PTR result) {
  MutexLock lock(mu_);
  table_.mutex().AssertHeld();
  Window* w = table_.FindLocked(dialog);
  if (w == nullptr || (w->kind != WindowKind::kDialog && w->kind != WindowKind::kMessageBox)) {
    return ERROR_INVALID_WINDOW_HANDLE;
  }
  w->dialog_ended = true;
  w->dialog_result = result;
  table_.WakeWaitersLocked();  // the modal loop may wait on another thread's behalf
  return ERROR_SUCCESS;
}

bool Dialogs::DisableOwner(HWND owner) {
  if (owner == nullptr || !state_.IsEnabled(owner).value) return false;
  state_.Enable(owner, false);
  return true;
}

INT_PTR Dialogs::RunModal(HWND window, HWND owner, bool owner_disabled, bool show_when_idle) {
  const MessageFilter any;
  bool shown = !show_when_idle;
  for (;;) {
    MSG msg;
    bool ended = false;
    bool got;
    {
      UniqueLock lock(mu_);
      table_.mutex().AssertHeld();
      queues_.mutex().AssertHeld();
      const std::function<bool()> is_ended = [this, window] {
        table_.mutex().AssertHeld();
        const Window* w = table_.FindLocked(window);
        return w == nullptr || w->dialog_ended;
      };
      // Until it is shown, the loop only looks: once nothing is there, it shows the window.
      got = queues_.RetrieveLocked(lock, &msg, any, /*remove=*/true, /*wait=*/shown, is_ended);
      ended = !got && is_ended();
    }
    if (!got) {
      if (ended || shown) break;
      state_.Show(window, SW_SHOW);
      shown = true;
      continue;
    }
    if (msg.message == WM_QUIT) {
      queues_.PostQuit(static_cast<int>(msg.wParam));
      break;
    }
    queues_.Dispatch(&msg);
  }
  INT_PTR result = 0;
  bool alive;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    const Window* w = table_.FindLocked(window);
    alive = w != nullptr;
    if (alive) result = w->dialog_result;
  }
  if (alive) lifecycle_.Destroy(window);
  if (owner_disabled) state_.Enable(owner, true);
  return result;
}

LRESULT Dialogs::ClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  DLGPROC proc;
  {
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    Window* w = table_.FindLocked(hwnd);
    if (w == nullptr) return 0;
    proc = w->dlg_proc;
    w->msg_result = 0;
  }
  const INT_PTR handled = proc ? proc(hwnd, message, wparam, lparam) : FALSE;
  if (handled) {
    if (message == WM_INITDIALOG) return handled;
    MutexLock lock(mu_);
    table_.mutex().AssertHeld();
    const Window* w = table_.FindLocked(hwnd);
    return w ? w->msg_result : 0;
  }
  // Default dialog handling. Closing a dialog asks it to cancel; it never destroys it.
  if (message == WM_CLOSE) {
    queues_.Post(hwnd, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return lifecycle_.DefaultProc(hwnd, message, wparam, lparam);
}

}  // namespace wce
