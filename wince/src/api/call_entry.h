// The entry points' door into the call log: each entry point the program uses starts with
// EnterCall, after ThreadGate.
#ifndef WINCE_API_CALL_ENTRY_H_
#define WINCE_API_CALL_ENTRY_H_

#include <optional>
#include <string>
#include <string_view>

#include <windows.h>

namespace wce::api {

// Records a call of `name` (its catalogue name, model/call_log.h) when the calling thread is one
// of the program's, with `file`, the device path it names or acts on (empty: none), and applies
// the faults keyed on it. Returns the last error that the entry point must set before returning
// its failure value, doing nothing else; nullopt to go on. When the device loses power before
// this call, it does not return. Calls of host threads are neither recorded nor failed.
std::optional<DWORD> EnterCall(std::string_view name, std::u16string_view file = {});

// The device path that `handle` was opened with when it is a file's handle; empty otherwise.
std::u16string FileOfHandle(HANDLE handle);

// A null path named as an empty one.
inline std::u16string_view PathOrEmpty(LPCWSTR path) {
  return path == nullptr ? std::u16string_view() : std::u16string_view(path);
}

}  // namespace wce::api

#endif  // WINCE_API_CALL_ENTRY_H_
