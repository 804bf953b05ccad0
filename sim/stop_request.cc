#include "sim/stop_request.h"

#include <csignal>

#include <wince/host_device.h>

namespace kepla {

void StopRequest::Request(int signo) {
  std::lock_guard<std::mutex> lock(mu_);
  if (signal_ != 0) return;
  signal_ = signo;
  StopLocked();
}

void StopRequest::Attach(wce::HostDevice* device) {
  std::lock_guard<std::mutex> lock(mu_);
  device_ = device;
  StopLocked();
}

void StopRequest::StopLocked() {
  if (device_ == nullptr || signal_ == 0 || stopped_) return;
  stopped_ = true;
  busy_ = device_->ProgramThreadsRunning();
  device_->StopProgram();
}

int StopRequest::signal() const {
  std::lock_guard<std::mutex> lock(mu_);
  return signal_;
}

bool StopRequest::stopped() const {
  std::lock_guard<std::mutex> lock(mu_);
  return stopped_;
}

bool StopRequest::busy() const {
  std::lock_guard<std::mutex> lock(mu_);
  return busy_;
}

const char* SignalName(int signo) {
  switch (signo) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "a signal";
  }
}

}  // namespace kepla
