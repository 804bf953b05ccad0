// HostDevice: the host interface of the device, over the device's own parts.
#include <wince/host_device.h>

#include <atomic>
#include <utility>

#include "kernel/filesystem.h"
#include "model/call_log.h"
#include "kernel/threads.h"
#include "model/scheduler.h"
#include "resource/modules.h"
#include "system/automation.h"
#include "system/device.h"
#include "system/run_folder.h"

namespace wce {
namespace {

std::atomic<HostDevice*> g_host{nullptr};

// The host's view of automation: the host-facing half of its methods.
class AutomationScreen final : public DeviceScreen {
 public:
  explicit AutomationScreen(Automation& automation) : automation_(automation) {}

  ScreenSnapshot Snapshot() override { return automation_.Snapshot(); }
  bool Offered(const Action& action) override { return automation_.Offered(action); }
  bool Apply(const Action& action) override { return automation_.Apply(action); }
  bool WaitAndApply(const Action& action, std::uint64_t deadline_ms,
                    const std::function<void(const ScreenSnapshot&)>& on_apply) override {
    return automation_.WaitAndApply(action, deadline_ms, on_apply);
  }
  ScreenSnapshot WaitForChange(std::uint64_t seen_generation, std::uint64_t deadline_ms) override {
    return automation_.WaitForChange(seen_generation, deadline_ms);
  }
  ScreenSnapshot WaitForWindow(std::uint64_t deadline_ms) override {
    return automation_.WaitForWindow(deadline_ms);
  }
  bool ProgramThreadsRunning() override { return automation_.ProgramThreadsRunning(); }
  void WaitFor(std::uint32_t ms) override { automation_.WaitFor(ms); }
  void SetObserver(AutomationObserver* observer) override { automation_.SetObserver(observer); }

 private:
  Automation& automation_;
};

}  // namespace

std::unique_ptr<HostDevice> HostDevice::Boot(const DeviceOptions& options, std::string* error) {
  std::unique_ptr<Device> device = Device::Boot(options, error);
  if (!device) return nullptr;
  return std::unique_ptr<HostDevice>(new HostDevice(std::move(device)));
}

HostDevice::HostDevice(std::unique_ptr<Device> device)
    : owned_(std::move(device)),
      device_(owned_.get()),
      screen_(std::make_unique<AutomationScreen>(device_->automation())) {
  g_host.store(this);
}

HostDevice::HostDevice(Device& device)
    : device_(&device), screen_(std::make_unique<AutomationScreen>(device.automation())) {}

HostDevice::~HostDevice() {
  if (owned_) g_host.store(nullptr);
  screen_.reset();
  owned_.reset();
}

HostDevice* HostDevice::Booted() { return g_host.load(); }

int HostDevice::RunProgram(EntryPoint entry, const std::u16string& command_line) {
  return device_->RunProgram(entry, command_line);
}

void HostDevice::StopProgram() { device_->StopProgram(); }

bool HostDevice::ProgramRunning() {
  MutexLock lock(device_->scheduler().mutex());
  return device_->program_running();
}

bool HostDevice::ProgramRunningLocked() const { return device_->program_running(); }

bool HostDevice::PoweredOffLocked() const { return device_->powered_off(); }

std::optional<HostDevice::PowerLoss> HostDevice::power_lost() const {
  const std::optional<CallLog::Point> point = device_->calls().power_lost();
  if (!point) return std::nullopt;
  return PowerLoss{point->call, point->nth};
}

void HostDevice::Withdraw() { device_->run_folder().Close(); }

void HostDevice::SetCallSink(std::function<void(const std::string&)> sink) {
  device_->calls().SetSink(std::move(sink));
}

bool HostDevice::ProgramThreadsRunning() { return device_->threads().AnyRunning(); }

const std::filesystem::path& HostDevice::folder() const { return device_->folder(); }
const DeviceProfile& HostDevice::profile() const { return device_->profile(); }
HINSTANCE HostDevice::program_instance() const { return device_->program_instance(); }
const std::vector<Volume>& HostDevice::volumes() const { return device_->fs().volumes(); }

HINSTANCE HostDevice::AddModule(std::span<const std::uint8_t> image) {
  return device_->modules().Add(image);
}

bool HostDevice::published() const { return device_->run_folder().published(); }

bool HostDevice::closed_by_another_process() const {
  return device_->run_folder().closed_by_another_process();
}

DeviceScreen& HostDevice::screen() { return *screen_; }

std::uint64_t HostDevice::Now() { return device_->scheduler().Now(); }

bool HostDevice::WaitUntil(const std::function<bool()>& ready, std::uint64_t deadline) {
  Scheduler& scheduler = device_->scheduler();
  UniqueLock lock(scheduler.mutex());
  return scheduler.Wait(lock, ready, deadline);
}

bool HostDevice::WaitWithin(const std::function<bool()>& ready, std::uint32_t timeout_ms) {
  Scheduler& scheduler = device_->scheduler();
  UniqueLock lock(scheduler.mutex());
  return scheduler.Wait(lock, ready, scheduler.DeadlineAfterLocked(timeout_ms));
}

void HostDevice::Update(const std::function<void()>& change) {
  Scheduler& scheduler = device_->scheduler();
  MutexLock lock(scheduler.mutex());
  change();
  scheduler.NotifyAll();
}

}  // namespace wce
