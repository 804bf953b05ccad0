// What a window is and shows: visibility, enabled state, the window longs, parent and control id,
// rectangles and text, and the cursor. The text calls pass a pointer of this process, so a window
// of another program is no window to them.
//
// Call with the device lock not held: enabling, moving and the text calls send messages.
#ifndef WINCE_USER_WINDOW_STATE_H_
#define WINCE_USER_WINDOW_STATE_H_

#include <windows.h>

#include "user/message_queues.h"
#include "user/result.h"
#include "user/screen_view.h"
#include "user/window_table.h"

namespace wce {

class WindowState {
 public:
  WindowState(WindowTable& table, MessageQueues& queues, const ScreenView& view);

  // Unless said otherwise, a failure is ERROR_INVALID_WINDOW_HANDLE (no such window).

  // Shows or hides (SW_ codes; showing raises a top-level window unless SW_SHOWNA). Whether it
  // was visible before.
  Result<BOOL> Show(HWND hwnd, int cmd);
  DWORD Update(HWND hwnd);
  // A null `hwnd` (the whole screen) is fine.
  DWORD Invalidate(HWND hwnd);
  // The window and all its parents are visible; false for no window (no error).
  bool IsVisible(HWND hwnd);
  // Enables or disables, sending WM_ENABLE on a change. Whether it was disabled before.
  Result<BOOL> Enable(HWND hwnd, bool enable);
  Result<BOOL> IsEnabled(HWND hwnd);
  // GWL_ and (dialogs) DWL_ values; an unknown index fails with ERROR_INVALID_INDEX.
  Result<LONG_PTR> GetLong(HWND hwnd, int index);
  Result<LONG_PTR> SetLong(HWND hwnd, int index, LONG_PTR value);
  // A child's parent, a popup's owner, otherwise null.
  Result<HWND> Parent(HWND hwnd);
  // The child of `dialog` with control id `id`; ERROR_CONTROL_ID_NOT_FOUND if none.
  Result<HWND> Child(HWND dialog, int id);
  Result<int> ControlId(HWND hwnd);
  // ERROR_INVALID_PARAMETER for a null `rect`.
  DWORD ClientRect(HWND hwnd, RECT* rect);
  DWORD WindowRect(HWND hwnd, RECT* rect);
  // Moves points from one window's client coordinates to another's (null: the screen); the
  // offsets packed as MapWindowPoints answers them.
  Result<int> MapPoints(HWND from, HWND to, POINT* points, UINT count);
  // Sends WM_SIZE when the size changed (TRUE even if that send met an error, which it answers).
  Result<BOOL> Move(HWND hwnd, int x, int y, int width, int height);
  Result<BOOL> SetText(HWND hwnd, LPCWSTR text);
  Result<int> GetText(HWND hwnd, LPWSTR buffer, int max_count);
  Result<int> TextLength(HWND hwnd);

  // The standard cursors only; ERROR_RESOURCE_NAME_NOT_FOUND otherwise.
  static Result<HCURSOR> StockCursor(HINSTANCE instance, LPCWSTR name);
  // Makes `cursor` the current one; the previous.
  HCURSOR ReplaceCursor(HCURSOR cursor);

 private:
  WindowTable& table_;
  Mutex& mu_;
  MessageQueues& queues_;
  const ScreenView& view_;
  HCURSOR cursor_ WCE_GUARDED_BY(mu_);
};

}  // namespace wce

#endif  // WINCE_USER_WINDOW_STATE_H_
