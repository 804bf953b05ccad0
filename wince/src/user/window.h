// The window table's records of window classes and windows.
#ifndef WINCE_USER_WINDOW_H_
#define WINCE_USER_WINDOW_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

namespace wce {

class ThreadQueue;

enum class WindowKind { kPlain, kDialog, kMessageBox, kStatic, kProgress };

struct WindowClass {
  std::u16string name;
  ATOM atom = 0;
  WNDPROC proc = nullptr;
  UINT style = 0;
  HINSTANCE instance = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  bool system = false;    // built in ("Dialog", "Static", ...): never unregistered
  bool internal = false;  // the layer's own windows: not found, published or foreground
  WindowKind kind = WindowKind::kPlain;
  // Classes the window system implements itself: the procedure, bound to the component that
  // registered the class. Their windows carry &ClassHandledProc as their WNDPROC.
  std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> handler;
};

// The window procedure value of a window whose class has a handler: a call that goes through the
// window system (a message sent, posted or dispatched) reaches the handler. Called directly (a
// program that kept it from GWL_WNDPROC), it does nothing and returns 0.
LRESULT CALLBACK ClassHandledProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

struct ProgressState {
  int min = 0;
  int max = 100;
  int pos = 0;
  int step = 10;
};

// One window. Guarded by the scheduler's mutex.
struct Window {
  HWND hwnd = nullptr;
  std::shared_ptr<const WindowClass> window_class;
  std::u16string class_name;  // as created (a dialog control may name an unknown class)
  WindowKind kind = WindowKind::kPlain;
  WNDPROC proc = nullptr;
  std::u16string text;
  DWORD style = 0;
  DWORD ex_style = 0;
  LONG_PTR user_data = 0;
  LONG_PTR id = 0;        // GWL_ID: the control id of a child
  HWND parent = nullptr;  // children only
  HWND owner = nullptr;   // top-level windows only
  RECT rect{};  // relative to the parent's client area (children) or the screen (top-level)
  std::weak_ptr<ThreadQueue> queue;  // the owning thread's
  std::uint32_t thread_id = 0;
  std::vector<HWND> children;  // in creation order
  bool destroying = false;     // WM_DESTROY is being delivered: still a window

  // Dialogs.
  DLGPROC dlg_proc = nullptr;
  LONG_PTR msg_result = 0;  // DWL_MSGRESULT
  LONG_PTR dlg_user = 0;    // DWL_USER
  bool dialog_ended = false;
  INT_PTR dialog_result = IDOK;  // what the modal loop returns if nothing else is stored
  int template_id = -1;

  // Message boxes.
  std::u16string box_text;
  UINT box_style = 0;

  // Progress bars.
  ProgressState progress;

  bool top_level() const { return (style & WS_CHILD) == 0; }
};

}  // namespace wce

#endif  // WINCE_USER_WINDOW_H_
