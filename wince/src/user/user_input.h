// How a person's presses reach the program: input posted to the thread of the window it is meant
// for, retrieved there like any other message. The window system implements it; automation and
// the shell call it.
#ifndef WINCE_USER_USER_INPUT_H_
#define WINCE_USER_USER_INPUT_H_

#include <windows.h>

namespace wce {

class UserInput {
 public:
  virtual ~UserInput() = default;
  // Posts `message` to the thread of `target` as user input (QS_KEY). False if `target` is no
  // window or its thread has ended. Call with the device lock held.
  virtual bool PostInputLocked(HWND target, UINT message, WPARAM wparam, LPARAM lparam) = 0;
};

}  // namespace wce

#endif  // WINCE_USER_USER_INPUT_H_
