// Window procedures of the classes the window system provides itself.
#ifndef WINCE_USER_CLASS_PROCS_H_
#define WINCE_USER_CLASS_PROCS_H_

#include <windows.h>

namespace wce {

// "Dialog": hands each message to the dialog procedure first; FALSE means default handling
// (dialogs.cc).
LRESULT CALLBACK DialogClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// "MessageBox": ends its modal loop with IDOK on WM_COMMAND IDOK/IDCANCEL or WM_CLOSE
// (message_box.cc).
LRESULT CALLBACK MessageBoxClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// "msctls_progress32": the PBM_ messages (controls.cc).
LRESULT CALLBACK ProgressClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
// "Static", "Button", "Edit" and controls of classes nobody registered: text only.
LRESULT CALLBACK PlainClassProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace wce

#endif  // WINCE_USER_CLASS_PROCS_H_
