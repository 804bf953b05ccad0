// The platform calls that a run of the program records (kepla --calls) and that the callFails and
// powerOff faults of a device profile may name: the entry points the program uses, each with
// whether it can fail on the device, the value it returns when it does, and the error it sets
// unless a fault names another. GetLastError and SetLastError are not among them.
// Pure data: any thread, no device needed.
#ifndef WINCE_CALL_CATALOGUE_H_
#define WINCE_CALL_CATALOGUE_H_

#include <cstdint>
#include <span>
#include <string_view>

namespace wce {

struct CallInfo {
  std::string_view name;        // the entry point's name ("WriteFile")
  bool can_fail;                // whether a callFails fault may name it
  std::string_view failure;     // what it returns when it fails ("FALSE"); empty if it cannot
  std::uint32_t default_error;  // the last error a failure sets unless the fault names one
};

// The recorded functions, sorted by name.
std::span<const CallInfo> CallCatalogue();
// The catalogue entry of `name` (exact spelling), or null.
const CallInfo* FindCall(std::string_view name);

}  // namespace wce

#endif  // WINCE_CALL_CATALOGUE_H_
