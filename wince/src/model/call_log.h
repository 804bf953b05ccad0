// The call log: every platform call that the program makes, counted per function, written out
// as one JSON line each, and the two faults keyed on such a call (callFails, powerOff).
//
// The catalogue (<wince/call_catalogue.h>) lists the entry points that the program uses.
// GetLastError and SetLastError are not in it: they read and write the calling thread's own error
// slot, and the entry points use them themselves.
//
// Only calls of the program's threads count (its user-interface thread and the threads it made
// with CreateThread); the entry points do not ask for other threads' calls. `nth` counts the
// calls of one function in the run, from 1, in the order the log took them.
// Thread-safe: Enter may be called from any thread; lines are written in the order of `nth`,
// under the log's own lock, by the sink (which must not call into the layer).
#ifndef WINCE_MODEL_CALL_LOG_H_
#define WINCE_MODEL_CALL_LOG_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/mutex.h"
#include <wince/call_catalogue.h>
#include <wince/profile.h>

namespace wce {

class CallLog {
 public:
  enum class Thread { kUi, kWorker };
  // Keeps the callFails and powerOff faults of `faults`; others are ignored.
  explicit CallLog(const std::vector<FaultSpec>& faults);

  // Receives each line (JSON, without its newline). Set before the program starts; a null sink
  // writes nothing.
  using Sink = std::function<void(const std::string& line)>;
  void SetSink(Sink sink) WCE_EXCLUDES(mu_);

  struct Verdict {
    enum class Action { kProceed, kFail, kPowerOff };
    Action action = Action::kProceed;
    std::uint32_t error = 0;  // kFail: the last error to set
  };
  // Counts and writes a call of `name` (a catalogue name) by the program's `thread`; `file` is
  // the device path the call names or acts on (empty: none). Says what the entry point must do:
  // go on, fail at once with `error` and nothing else, or lose power before the call (also the
  // answer to every call once the power is gone; such calls are neither counted nor written).
  Verdict Enter(std::string_view name, Thread thread, std::u16string_view file) WCE_EXCLUDES(mu_);

  // The call before which the device lost power, once a powerOff fault has fired.
  struct Point {
    std::string call;
    int nth = 0;
  };
  std::optional<Point> power_lost() const WCE_EXCLUDES(mu_);

  // The calls recorded so far, of every function.
  std::uint64_t total() const WCE_EXCLUDES(mu_);

 private:
  struct Trigger {
    FaultSpec::Kind kind;
    std::string call;
    int nth;
    std::optional<std::uint32_t> error;
  };

  mutable Mutex mu_;
  std::vector<Trigger> triggers_ WCE_GUARDED_BY(mu_);
  std::vector<int> counts_ WCE_GUARDED_BY(mu_);  // by catalogue index
  std::uint64_t total_ WCE_GUARDED_BY(mu_) = 0;
  Sink sink_ WCE_GUARDED_BY(mu_);
  std::optional<Point> power_lost_ WCE_GUARDED_BY(mu_);
};

}  // namespace wce

#endif  // WINCE_MODEL_CALL_LOG_H_
