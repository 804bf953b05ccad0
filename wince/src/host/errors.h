// The one place where host errors become Win32 codes. Internals return the code; the entry points
// in api/ store it as the thread's last error (api/error_api.cc).
#ifndef WINCE_HOST_ERRORS_H_
#define WINCE_HOST_ERRORS_H_

#include <windows.h>

namespace wce {

// The Win32 error code for a host errno value: ERROR_SUCCESS for 0, ERROR_GEN_FAILURE for a value
// the device has no better word for.
DWORD Win32ErrorFromErrno(int error_number);

}  // namespace wce

#endif  // WINCE_HOST_ERRORS_H_
