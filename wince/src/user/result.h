// What an internal call of the window system answers: its value, and the error the platform call
// reports with it. ERROR_SUCCESS leaves the caller's last error as it was (the platform calls do
// not clear it on success); only the entry points turn `error` into the last error.
#ifndef WINCE_USER_RESULT_H_
#define WINCE_USER_RESULT_H_

#include <windows.h>

namespace wce {

template <class T>
struct Result {
  T value{};
  DWORD error = ERROR_SUCCESS;
};

}  // namespace wce

#endif  // WINCE_USER_RESULT_H_
