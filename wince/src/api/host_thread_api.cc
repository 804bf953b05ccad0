// HostThread: a host thread joins the process's device, as the Win32 entry points reach it.
#include <wince/host_device.h>

#include "kernel/threads.h"
#include "model/scheduler.h"
#include "system/device.h"

namespace wce {

struct HostThread::State {
  explicit State(Device& device)
      : scheduler(device.scheduler()),
        record(device.threads().NewRecord()),
        scope(scheduler, record) {}
  Scheduler& scheduler;
  std::shared_ptr<DeviceThread> record;
  DeviceThreadScope scope;
};

HostThread::HostThread() : state_(std::make_unique<State>(Device::Get())) {}

HostThread::~HostThread() = default;

bool HostThread::Run(const std::function<void()>& body) {
  try {
    body();
  } catch (const ThreadTerminated&) {
    return false;
  }
  return true;
}

void HostThread::Terminate() {
  MutexLock lock(state_->scheduler.mutex());
  state_->record->MarkTerminated();
  state_->scheduler.NotifyAll();
}

}  // namespace wce
