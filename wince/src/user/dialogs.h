// Modal loops and dialogs: dialogs made from a classic template and run in a nested message
// loop, the loop itself (message boxes run in it too), and the "Dialog" class's procedure.
//
// A modal dialog is a window of the "Dialog" class plus an end flag. Run creates it and its
// controls (the dialog procedure sees none of the messages of its creation), disables its owner,
// sends WM_INITDIALOG, and retrieves and dispatches the thread's messages (every window's,
// window-less timer procedures included) until End sets the flag; the dialog is shown the first
// time the loop finds nothing to retrieve, as on Win32 (so messages posted in WM_INITDIALOG run
// before it is visible). A WM_QUIT met by the loop is posted again and ends the loop, so that the
// enclosing loop sees it too; the dialog then returns IDOK unless End stored a result, as Win32's
// default result is.
//
// The call gets only a pointer to the template. It is read within the loaded resource that holds
// it, which bounds every read; a template anywhere else is refused with ERROR_INVALID_PARAMETER
// rather than read past an end nobody knows.
//
// Call with the device lock not held, on the thread that owns the windows involved.
#ifndef WINCE_USER_DIALOGS_H_
#define WINCE_USER_DIALOGS_H_

#include <windows.h>

#include "user/message_queues.h"
#include "user/result.h"
#include "user/upper_floors.h"
#include "user/window_lifecycle.h"
#include "user/window_state.h"
#include "user/window_table.h"

namespace wce {

class Modules;
struct DialogTemplate;

class Dialogs {
 public:
  // Dialog base units (pixels per 4 horizontal / 8 vertical dialog units); see wince/README.md.
  static constexpr int kDialogBaseUnitX = 6;
  static constexpr int kDialogBaseUnitY = 12;
  // Dialog units to pixels, as for every dialog and its controls (and MapDialogRect).
  static int DialogUnitsToX(int units);
  static int DialogUnitsToY(int units);

  Dialogs(WindowTable& table, MessageQueues& queues, WindowLifecycle& lifecycle, WindowState& state,
          Modules& modules, const UpperFloors& floors);

  // Runs a modal dialog; its end result, or -1 with ERROR_INVALID_PARAMETER (null or unbounded
  // template), ERROR_INVALID_DATA (malformed template), ERROR_INVALID_WINDOW_HANDLE (no such
  // owner) or the error that creating it met (nothing of it is left then).
  Result<INT_PTR> Run(HINSTANCE instance, const DLGTEMPLATE* dialog_template, HWND owner,
                      DLGPROC proc, LPARAM param);
  // Sets the end flag of a dialog or message box; ERROR_INVALID_WINDOW_HANDLE for anything else.
  DWORD End(HWND dialog, INT_PTR result);
  // ERROR_INVALID_WINDOW_HANDLE when `dialog` is no dialog.
  DWORD MapRect(HWND dialog, RECT* rect);

  // Disables `owner` for a modal window if it is enabled; returns whether it did.
  bool DisableOwner(HWND owner);
  // Runs a modal loop for `window` (a dialog or message box): dispatches the thread's messages
  // until the window's end flag is set or it is destroyed, destroys it and re-enables `owner` if
  // `owner_disabled` (DisableOwner's answer). With `show_when_idle` the window is shown the
  // first time nothing is there to retrieve. Returns its end result (IDOK unless End stored
  // another; 0 if it was destroyed another way).
  INT_PTR RunModal(HWND window, HWND owner, bool owner_disabled, bool show_when_idle);

  // The "Dialog" class's procedure: the dialog procedure first; FALSE means default handling.
  LRESULT ClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  Result<HWND> CreateFromTemplate(const DialogTemplate& t, HINSTANCE instance, HWND owner,
                                  DLGPROC proc, int template_id);

  WindowTable& table_;
  Mutex& mu_;
  MessageQueues& queues_;
  WindowLifecycle& lifecycle_;
  WindowState& state_;
  Modules& modules_;
  const UpperFloors& floors_;
};

}  // namespace wce

#endif  // WINCE_USER_DIALOGS_H_
