#include "sim/screen_port.h"

#include <mutex>

#include <wince/host_device.h>

namespace kepla {

wce::ScreenSnapshot DeviceScreenPort::Snapshot() { return device_.screen().Snapshot(); }

bool DeviceScreenPort::Apply(const wce::Action& action) { return device_.screen().Apply(action); }

bool DeviceScreenPort::WaitAndApply(
    const wce::Action& action, std::uint64_t deadline_ms,
    const std::function<void(const wce::ScreenSnapshot&)>& on_apply) {
  return device_.screen().WaitAndApply(action, deadline_ms, on_apply);
}

wce::ScreenSnapshot DeviceScreenPort::WaitForChange(std::uint64_t seen_generation,
                                                    std::uint64_t deadline_ms) {
  return device_.screen().WaitForChange(seen_generation, deadline_ms);
}

wce::ScreenSnapshot DeviceScreenPort::WaitForWindow(std::uint64_t deadline_ms) {
  return device_.screen().WaitForWindow(deadline_ms);
}

bool DeviceScreenPort::ProgramThreadsRunning() { return device_.screen().ProgramThreadsRunning(); }

bool DeviceScreenPort::WaitFor(std::uint32_t ms) {
  return !device_.WaitWithin([&] { return !device_.ProgramRunningLocked(); }, ms);
}

bool DeviceScreenPort::WaitForEnd(std::uint64_t deadline_ms) {
  return device_.WaitUntil([&] { return !device_.ProgramRunningLocked(); }, deadline_ms);
}

bool DeviceScreenPort::ProgramRunning() { return device_.ProgramRunning(); }

std::uint64_t DeviceScreenPort::Now() { return device_.Now(); }

std::shared_ptr<void> DeviceScreenPort::HoldClock() { return std::make_shared<wce::HostThread>(); }

}  // namespace kepla
