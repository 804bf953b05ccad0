// Message boxes: a small modal window with the text and one OK button, run in the modal loop,
// and the "MessageBox" class's procedure.
//
// Call with the device lock not held, on the thread that owns `owner`.
#ifndef WINCE_USER_MESSAGE_BOX_H_
#define WINCE_USER_MESSAGE_BOX_H_

#include <windows.h>

#include "user/dialogs.h"
#include "user/result.h"
#include "user/upper_floors.h"
#include "user/window_lifecycle.h"
#include "user/window_state.h"
#include "user/window_table.h"

namespace wce {

class MessageBoxes {
 public:
  MessageBoxes(WindowTable& table, WindowLifecycle& lifecycle, WindowState& state, Dialogs& dialogs,
               const UpperFloors& floors);

  // Shows a box owned by `owner`'s top-level window (disabled meanwhile) and waits until it is
  // dismissed: IDOK. 0 with ERROR_INVALID_WINDOW_HANDLE (no such owner) or the error that
  // creating it met (nothing of it is left then).
  Result<int> Show(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

  // Ends the box's loop with IDOK on WM_COMMAND IDOK/IDCANCEL or WM_CLOSE.
  LRESULT ClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  WindowTable& table_;
  Mutex& mu_;
  WindowLifecycle& lifecycle_;
  WindowState& state_;
  Dialogs& dialogs_;
  const UpperFloors& floors_;
};

}  // namespace wce

#endif  // WINCE_USER_MESSAGE_BOX_H_
