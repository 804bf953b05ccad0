#include "sim/screen_port.h"

#include <mutex>

#include "system/device.h"
#include "kernel/threads.h"

namespace kepla {

wce::ScreenSnapshot DeviceScreenPort::Snapshot() { return device_.automation().Snapshot(); }

bool DeviceScreenPort::Apply(const wce::Action& action) {
  return device_.automation().Apply(action);
}

bool DeviceScreenPort::WaitAndApply(
    const wce::Action& action, std::uint64_t deadline_ms,
    const std::function<void(const wce::ScreenSnapshot&)>& on_apply) {
  return device_.automation().WaitAndApply(action, deadline_ms, on_apply);
}

wce::ScreenSnapshot DeviceScreenPort::WaitForChange(std::uint64_t seen_generation,
                                                    std::uint64_t deadline_ms) {
  return device_.automation().WaitForChange(seen_generation, deadline_ms);
}

wce::ScreenSnapshot DeviceScreenPort::WaitForWindow(std::uint64_t deadline_ms) {
  return device_.automation().WaitForWindow(deadline_ms);
}

bool DeviceScreenPort::ProgramThreadsRunning() {
  return device_.automation().ProgramThreadsRunning();
}

bool DeviceScreenPort::WaitFor(std::uint32_t ms) {
  wce::Scheduler& scheduler = device_.scheduler();
  wce::UniqueLock lock(scheduler.mutex());
  return !scheduler.Wait(
      lock, [&] { return !device_.program_running(); }, scheduler.DeadlineAfterLocked(ms));
}

bool DeviceScreenPort::WaitForEnd(std::uint64_t deadline_ms) {
  wce::Scheduler& scheduler = device_.scheduler();
  wce::UniqueLock lock(scheduler.mutex());
  return scheduler.Wait(
      lock, [&] { return !device_.program_running(); }, deadline_ms);
}

bool DeviceScreenPort::ProgramRunning() {
  wce::MutexLock lock(device_.scheduler().mutex());
  return device_.program_running();
}

std::uint64_t DeviceScreenPort::Now() { return device_.scheduler().Now(); }

std::shared_ptr<void> DeviceScreenPort::HoldClock() {
  return std::make_shared<wce::DeviceThreadScope>(device_.scheduler(),
                                                  device_.threads().NewRecord());
}

}  // namespace kepla
