// What the window system tells the floors above it as it happens (automation forwards it to the
// host's observer). The device hands an implementation to the window system once, before any
// program runs.
//
// Every method is called on the thread that made the change, with no layer lock held.
#ifndef WINCE_USER_WINDOW_EVENTS_H_
#define WINCE_USER_WINDOW_EVENTS_H_

#include <cstdint>

#include "user/window_info.h"

namespace wce {

class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  // A message box has been opened and shown.
  virtual void OnMessageBoxOpened(const MessageBoxInfo& box) = 0;
  // The position of progress bar `control_id` changed to `pos`.
  virtual void OnProgressMoved(int control_id, int pos) = 0;
  // A modal dialog made from template `template_id` (-1 when it came from no resource) has
  // returned `result` to the program.
  virtual void OnDialogEnded(int template_id, std::intptr_t result) = 0;
};

}  // namespace wce

#endif  // WINCE_USER_WINDOW_EVENTS_H_
