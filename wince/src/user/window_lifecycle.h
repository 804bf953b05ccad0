// Windows coming and going: creation (with WM_NCCREATE, WM_CREATE and WM_SIZE), destruction (the
// windows it owns first, then WM_DESTROY parents first and WM_NCDESTROY children first), finding
// a window by class and title (here or in another program), and the default procedure.
//
// A window belongs to the device thread that created it. Call with the device lock not held:
// these call window procedures.
#ifndef WINCE_USER_WINDOW_LIFECYCLE_H_
#define WINCE_USER_WINDOW_LIFECYCLE_H_

#include <functional>
#include <memory>
#include <string>

#include <windows.h>

#include "user/message_queues.h"
#include "user/result.h"
#include "user/upper_floors.h"
#include "user/window_table.h"

namespace wce {

class WindowLifecycle {
 public:
  // What a window is made with (Create fills in the rest).
  struct NewWindow {
    DWORD ex_style = 0;
    std::u16string title;
    DWORD style = 0;
    int x = 0, y = 0, width = 0, height = 0;  // CW_USEDEFAULT allowed
    HWND parent = nullptr;                    // the parent of a WS_CHILD window, else the owner
    LONG_PTR id = 0;                          // a child's control id
    HINSTANCE instance = nullptr;
    LPVOID param = nullptr;
    // Fills in kind-specific fields (dialog procedure, message box text) before WM_NCCREATE.
    std::function<void(Window&)> setup;
  };

  WindowLifecycle(WindowTable& table, MessageQueues& queues, const UpperFloors& floors);

  // A window of the class named `class_name` (a program's or a built-in one). Null with
  // ERROR_CANNOT_FIND_WND_CLASS, or as Create below.
  Result<HWND> CreateOfClass(DWORD ex_style, LPCWSTR class_name, LPCWSTR title, DWORD style, int x,
                             int y, int width, int height, HWND parent, HMENU menu,
                             HINSTANCE instance, LPVOID param);
  // Creates a window of `cls`, recorded under `class_name`. Null with ERROR_ACCESS_DENIED (a
  // host thread), the error for a child without parent, ERROR_INVALID_WINDOW_HANDLE (no such
  // parent, or destroyed while being created), or with no error when its procedure refused
  // WM_NCCREATE or WM_CREATE (the window is gone again then).
  Result<HWND> Create(std::shared_ptr<const WindowClass> cls, std::u16string class_name,
                      const NewWindow& plan);
  // ERROR_INVALID_WINDOW_HANDLE, ERROR_ACCESS_DENIED (another thread's window), or success
  // (also for a window already being destroyed).
  DWORD Destroy(HWND hwnd);
  // A live window of this process, or another program's window that is still there.
  bool IsAlive(HWND hwnd);
  // The topmost window of this process whose class and title match (null matches anything; the
  // layer's internal windows are never found), else another program's (as a proxy handle).
  HWND Find(LPCWSTR class_name, LPCWSTR title);
  LRESULT DefaultProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  // Tells the other programs that this one's published windows changed.
  void PublishChanged();

 private:
  WindowTable& table_;
  Mutex& mu_;
  MessageQueues& queues_;
  const UpperFloors& floors_;
};

// The text a Win32 string argument stands for: empty for null or an integer resource.
std::u16string TextOf(LPCWSTR text);

}  // namespace wce

#endif  // WINCE_USER_WINDOW_LIFECYCLE_H_
