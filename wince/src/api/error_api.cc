// GetLastError and SetLastError: the calling thread's last error, kept per host thread as the
// device keeps it per thread. Only entry points set it; the layer's internals return their error.
#include <windows.h>

namespace {
thread_local DWORD t_last_error = ERROR_SUCCESS;
}  // namespace

DWORD WINAPI GetLastError(void) { return t_last_error; }

void WINAPI SetLastError(DWORD dwErrCode) { t_last_error = dwErrCode; }
