// The controls the program's dialogs hold: "Static", "Button" and "Edit" keep their text (the
// default procedure does that), and "msctls_progress32" answers the PBM_ messages.
//
// Call with the device lock not held (these are window procedures).
#ifndef WINCE_USER_CONTROLS_H_
#define WINCE_USER_CONTROLS_H_

#include <windows.h>

#include "user/upper_floors.h"
#include "user/window_lifecycle.h"
#include "user/window_table.h"

namespace wce {

class Controls {
 public:
  Controls(WindowTable& table, WindowLifecycle& lifecycle, const UpperFloors& floors);

  // The progress bar's procedure. A change of position is told to the window events.
  LRESULT ProgressProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

 private:
  WindowTable& table_;
  Mutex& mu_;
  WindowLifecycle& lifecycle_;
  const UpperFloors& floors_;
};

}  // namespace wce

#endif  // WINCE_USER_CONTROLS_H_
