// A request, from outside the run, to stop the program as pulling the battery would: a signal
// that kepla received (SIGINT, SIGTERM, SIGHUP). The session it is attached to stops the program,
// every front end then sees it end, and the session reports the run as one the user quit.
//
// Thread rules: every method may be called from any thread; Request() from a host thread that is
// no device thread (the signal thread).
#ifndef KEPLA_SIM_STOP_REQUEST_H_
#define KEPLA_SIM_STOP_REQUEST_H_

#include <mutex>

namespace wce {
class HostDevice;
}

namespace kepla {

class StopRequest {
 public:
  // Stops the program of the attached device, noting whether a thread the program started was
  // still at work (so what it wrote is not verified). Without a device attached, the request
  // waits for the next Attach(). Only the first request counts.
  void Request(int signo);

  // The session's device, from its boot until just before it shuts down (null to detach). A
  // pending request stops the program at once.
  void Attach(wce::HostDevice* device);

  // The signal of the first request, or 0.
  int signal() const;
  // Whether a request has stopped the program of an attached device.
  bool stopped() const;
  // Whether the program still had a thread at work when it was stopped.
  bool busy() const;

 private:
  void StopLocked();

  mutable std::mutex mu_;
  wce::HostDevice* device_ = nullptr;
  int signal_ = 0;
  bool stopped_ = false;
  bool busy_ = false;
};

// The usual name of SIGINT, SIGTERM or SIGHUP ("SIGINT"); "a signal" for any other.
const char* SignalName(int signo);

}  // namespace kepla

#endif  // KEPLA_SIM_STOP_REQUEST_H_
