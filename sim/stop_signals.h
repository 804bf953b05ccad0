// SIGINT, SIGTERM and SIGHUP as requests to stop the run. No handler runs inside the signal: the
// three are blocked in every thread, and one host thread of their own takes them with sigwait and
// passes the first to a StopRequest. A second one, while the first is still being acted on (a
// shutdown that takes too long), ends the process at once with 128 + its number, after putting
// the terminal's modes back as they were; the same signal from the same process within a second
// is the first one repeated (timeout(1) sends it to the program and to its process group) and
// changes nothing.
#ifndef KEPLA_SIM_STOP_SIGNALS_H_
#define KEPLA_SIM_STOP_SIGNALS_H_

namespace kepla {

class StopRequest;

// Blocks the three signals in the calling thread, so in every thread started from it afterwards
// (call it before any other thread starts; a child process started afterwards would inherit the
// mask), and starts the signal thread, which lives until the process ends. `request` must live
// as long as the process. Call at most once.
void HandleStopSignals(StopRequest& request);

}  // namespace kepla

#endif  // KEPLA_SIM_STOP_SIGNALS_H_
