// Modal dialogs: made from a classic template, run in a nested message loop.
//
// A modal dialog is a window of the "Dialog" class plus an end flag. DialogBoxIndirectParamW
// creates it and its controls (the dialog procedure sees none of the messages of its creation),
// disables its owner, sends WM_INITDIALOG, and retrieves and dispatches the thread's messages
// (every window's, window-less timer procedures included) until EndDialog sets the flag; the
// dialog is shown the first time the loop finds nothing to retrieve, as on Win32 (so messages
// posted in WM_INITDIALOG run before it is visible). A WM_QUIT met by the loop is posted again and
// ends the loop, so that the enclosing loop sees it too; the dialog then returns IDOK unless
// EndDialog stored a result, as Win32's default result is.
//
// The call gets only a pointer to the template. It is read within the loaded resource that holds
// it (what LoadResource gave the program), which bounds every read; a template anywhere else is
// refused with ERROR_INVALID_PARAMETER rather than read past an end nobody knows.
#include <algorithm>

#include "resource/dialog_template.h"
#include "resource/modules.h"
#include "user/window_manager.h"

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

}  // namespace

namespace {

// units * base / divisor rounded to the nearest integer, halves away from zero (MulDiv's rule).
int ScaleRounded(int units, int base, int divisor) {
  const int product = units * base;
  return product >= 0 ? (product + divisor / 2) / divisor : (product - divisor / 2) / divisor;
}

}  // namespace

int WindowManager::DialogUnitsToX(int units) { return ScaleRounded(units, kDialogBaseUnitX, 4); }
int WindowManager::DialogUnitsToY(int units) { return ScaleRounded(units, kDialogBaseUnitY, 8); }

HWND WindowManager::CreateFromTemplate(const DialogTemplate& t, HINSTANCE instance, HWND owner,
                                       DLGPROC proc, int template_id) {
  WindowManager& wm = *this;
  auto dialog_class = wm.FindClass(u"Dialog");
  WindowManager::CreateSpec spec;
  spec.ex_style = t.ex_style;
  spec.title = t.title;
  spec.style = (t.style & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
  spec.width = WindowManager::DialogUnitsToX(t.cx);
  spec.height = WindowManager::DialogUnitsToY(t.cy);
  {
    // Placed relative to the owner's client area, or centred in the work area.
    MutexLock lock(mu_);
    const RECT work = wm.ScreenLocked().work_area;
    POINT origin{work.left, work.top};
    if (const Window* o = wm.FindLocked(owner)) origin = wm.ClientOriginLocked(*o);
    if (t.style & DS_CENTER) {
      spec.x = work.left + ((work.right - work.left) - spec.width) / 2;
      spec.y = work.top + ((work.bottom - work.top) - spec.height) / 2;
    } else {
      spec.x = origin.x + WindowManager::DialogUnitsToX(t.x);
      spec.y = origin.y + WindowManager::DialogUnitsToY(t.y);
    }
  }
  spec.parent = owner;
  spec.instance = instance;
  spec.setup = [template_id](Window& w) { w.template_id = template_id; };
  HWND dialog = wm.CreateWindowInternal(dialog_class, u"Dialog", spec);
  if (dialog == nullptr) return nullptr;
  {
    // The procedure is set once the dialog window exists: it never sees WM_CREATE or the WM_SIZE
    // of the creation, and WM_INITDIALOG is the first message it gets.
    MutexLock lock(mu_);
    if (Window* w = wm.FindLocked(dialog)) w->dlg_proc = proc;
  }

  for (const DialogItem& item : t.items) {
    auto cls = item.class_name.empty() ? nullptr : wm.FindClass(item.class_name.c_str());
    const bool known = cls != nullptr;
    // A class nobody registered still makes a window, one that only keeps its text.
    if (!known) cls = wm.FindClass(u"Static");
    WindowManager::CreateSpec control;
    control.ex_style = item.ex_style;
    control.title = item.title;
    control.style = item.style | WS_CHILD;
    control.x = WindowManager::DialogUnitsToX(item.x);
    control.y = WindowManager::DialogUnitsToY(item.y);
    control.width = WindowManager::DialogUnitsToX(item.cx);
    control.height = WindowManager::DialogUnitsToY(item.cy);
    control.parent = dialog;
    control.id = item.id;
    control.instance = instance;
    if (!known) {
      control.setup = [](Window& w) { w.kind = WindowKind::kPlain; };
    }
    if (!wm.CreateWindowInternal(cls, item.class_name, control)) {
      wm.DestroyWindow(dialog);
      return nullptr;
    }
  }
  return dialog;
}

INT_PTR WindowManager::DialogBoxIndirectParam(HINSTANCE instance,
                                              const DLGTEMPLATE* dialog_template, HWND owner,
                                              DLGPROC proc, LPARAM param) {
  if (dialog_template == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (owner != nullptr && !IsLocalWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  DWORD error = ERROR_SUCCESS;
  auto parsed = ParseAt(modules_, dialog_template, &error);
  if (!parsed) {
    SetLastError(error);
    return -1;
  }
  HWND root_owner;
  {
    MutexLock lock(mu_);
    root_owner = owner ? RootLocked(owner) : nullptr;
  }
  const int template_id = TemplateIdOf(modules_, dialog_template);
  HWND dialog = CreateFromTemplate(*parsed, instance, root_owner, proc, template_id);
  if (dialog == nullptr) return -1;

  HWND first_control = nullptr;
  {
    MutexLock lock(mu_);
    if (const Window* w = FindLocked(dialog); w && !w->children.empty()) {
      first_control = w->children.front();
    }
  }
  // The owner is disabled before WM_INITDIALOG, as on Win32.
  const bool owner_disabled = DisableOwner(root_owner);
  CallProc(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first_control), param);
  const INT_PTR result = RunModal(dialog, root_owner, owner_disabled, /*show_when_idle=*/true);
  if (events_ != nullptr) events_->OnDialogEnded(template_id, result);
  return result;
}

BOOL WindowManager::MapDialogRect(HWND dialog, RECT* rect) {
  {
    MutexLock lock(mu_);
    const Window* w = FindLocked(dialog);
    if (w == nullptr || w->kind != WindowKind::kDialog) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
  }
  rect->left = DialogUnitsToX(rect->left);
  rect->right = DialogUnitsToX(rect->right);
  rect->top = DialogUnitsToY(rect->top);
  rect->bottom = DialogUnitsToY(rect->bottom);
  return TRUE;
}

BOOL WindowManager::EndDialog(HWND dialog, INT_PTR result) {
  MutexLock lock(mu_);
  Window* w = FindLocked(dialog);
  if (w == nullptr || (w->kind != WindowKind::kDialog && w->kind != WindowKind::kMessageBox)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  w->dialog_ended = true;
  w->dialog_result = result;
  scheduler_.NotifyAll();  // the modal loop may wait on another thread's behalf
  return TRUE;
}

bool WindowManager::DisableOwner(HWND owner) {
  if (owner == nullptr || !IsWindowEnabled(owner)) return false;
  EnableWindow(owner, FALSE);
  return true;
}

INT_PTR WindowManager::RunModal(HWND window, HWND owner, bool owner_disabled, bool show_when_idle) {
  const MessageFilter any;
  bool shown = !show_when_idle;
  for (;;) {
    MSG msg;
    bool ended = false;
    bool got;
    {
      UniqueLock lock(mu_);
      const std::function<bool()> is_ended = [this, window] {
        const Window* w = FindLocked(window);
        return w == nullptr || w->dialog_ended;
      };
      // Until it is shown, the loop only looks: once nothing is there, it shows the window.
      got = RetrieveLocked(lock, &msg, any, /*remove=*/true, /*wait=*/shown, is_ended);
      ended = !got && is_ended();
    }
    if (!got) {
      if (ended || shown) break;
      ShowWindow(window, SW_SHOW);
      shown = true;
      continue;
    }
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    DispatchMessage(&msg);
  }
  INT_PTR result = 0;
  bool alive;
  {
    MutexLock lock(mu_);
    const Window* w = FindLocked(window);
    alive = w != nullptr;
    if (alive) result = w->dialog_result;
  }
  if (alive) DestroyWindow(window);
  if (owner_disabled) EnableWindow(owner, TRUE);
  return result;
}

LRESULT WindowManager::DialogClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowManager& wm = *this;
  DLGPROC proc;
  {
    MutexLock lock(mu_);
    Window* w = wm.FindLocked(hwnd);
    if (w == nullptr) return 0;
    proc = w->dlg_proc;
    w->msg_result = 0;
  }
  const INT_PTR handled = proc ? proc(hwnd, message, wparam, lparam) : FALSE;
  if (handled) {
    if (message == WM_INITDIALOG) return handled;
    MutexLock lock(mu_);
    const Window* w = wm.FindLocked(hwnd);
    return w ? w->msg_result : 0;
  }
  // Default dialog handling. Closing a dialog asks it to cancel; it never destroys it.
  if (message == WM_CLOSE) {
    wm.PostMessage(hwnd, WM_COMMAND, IDCANCEL, 0);
    return 0;
  }
  return wm.DefWindowProc(hwnd, message, wparam, lparam);
}

}  // namespace wce
