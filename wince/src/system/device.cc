#include "system/device.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "system/automation.h"
#include "model/hardware.h"
#include "system/run_folder.h"
#include "model/call_log.h"
#include "model/faults.h"
#include "kernel/filesystem.h"
#include "kernel/threads.h"
#include "resource/modules.h"
#include "shell/shell.h"
#include "user/window_manager.h"

namespace wce {
namespace {
std::atomic<Device*> g_device{nullptr};
}  // namespace

std::unique_ptr<Device> Device::Boot(const DeviceOptions& options, std::string* error) {
  if (g_device.load() != nullptr) {
    if (error) *error = "a device is already running in this process";
    return nullptr;
  }
  DeviceProfile profile;
  if (options.profile) {
    profile = *options.profile;
  } else {
    std::string why;
    auto loaded = LoadProfile(options.folder, &why);
    if (!loaded) {
      if (error) *error = why;
      return nullptr;
    }
    profile = std::move(*loaded);
  }
  if (options.clock) profile.clock = *options.clock;
  if (profile.cards.empty()) {
    profile.cards.push_back(CardSpec{u"Storage Card", options.folder / "fs" / "Storage Card", {}});
  }
  // A card mapped onto a host folder that is not there (a card not in its reader) is refused
  // rather than made: the image would land on the host's own disk.
  if (!CheckCardFolders(options.folder, profile, error)) return nullptr;
  // The device's own card folders are made now, so that one that cannot be made (fs/ a link to
  // nothing, a read-only device folder) is told here rather than met by the program as no card.
  for (const CardSpec& card : profile.cards) {
    const std::filesystem::path host = card.host.empty()         ? options.folder / "fs" / card.name
                                       : card.host.is_absolute() ? card.host
                                                                 : options.folder / card.host;
    std::error_code ec;
    if (std::filesystem::is_directory(host, ec)) continue;
    std::filesystem::create_directories(host, ec);
    if (ec || !std::filesystem::is_directory(host, ec)) {
      std::string why = ec ? ec.message() : "not made";
      // What stands in the way: a file, or a link to nothing, where a folder should be.
      for (std::filesystem::path up = host; up.has_relative_path(); up = up.parent_path()) {
        std::error_code ignored;
        const std::filesystem::file_status own = std::filesystem::symlink_status(up, ignored);
        if (std::filesystem::exists(own) && !std::filesystem::is_directory(up, ignored)) {
          why = up.string() +
                (std::filesystem::is_symlink(own) && !std::filesystem::exists(up, ignored)
                     ? " is a link to nothing"
                     : " is not a folder");
          break;
        }
      }
      if (error) *error = host.string() + ": the card folder cannot be made: " + why;
      return nullptr;
    }
  }
  std::unique_ptr<Device> device(new Device(options, std::move(profile)));
  Device* expected = nullptr;
  if (!g_device.compare_exchange_strong(expected, device.get())) {
    if (error) *error = "a device is already running in this process";
    return nullptr;
  }
  if (!options.program_resources.empty()) {
    device->program_instance_ = device->modules_->Add(options.program_resources);
  }
  device->run_folder_->Open();
  return device;
}

Device* Device::Current() { return g_device.load(); }

Device& Device::Get() {
  Device* device = g_device.load();
  if (device == nullptr) {
    std::fprintf(stderr, "wince: a platform call was made with no device booted\n");
    std::abort();
  }
  return *device;
}

Device::Device(const DeviceOptions& options, DeviceProfile profile)
    : folder_(options.folder),
      profile_(std::move(profile)),
      publish_(options.publish),
      scheduler_(std::make_unique<Scheduler>(profile_.clock)) {
  faults_ = std::make_unique<FaultPlan>(profile_.faults);
  calls_ = std::make_unique<CallLog>(profile_.faults);
  fs_ = std::make_unique<FileSystem>(folder_, profile_, *scheduler_, *faults_);
  hardware_ = std::make_unique<Hardware>(profile_);
  threads_ = std::make_unique<Threads>(*scheduler_, *faults_, handles_);
  modules_ = std::make_unique<Modules>();
  windows_ = std::make_unique<WindowManager>(*this);
  shell_ = std::make_unique<Shell>(*this);
  run_folder_ = std::make_unique<RunFolder>(*this, publish_);
  automation_ = std::make_unique<Automation>(*this);
}

Device::~Device() {
  threads_->TerminateAllAndJoin();
  run_folder_->Close();
  automation_.reset();
  run_folder_.reset();
  shell_.reset();
  windows_.reset();
  modules_.reset();
  threads_.reset();
  hardware_.reset();
  fs_.reset();
  calls_.reset();
  faults_.reset();
  Device* self = this;
  g_device.compare_exchange_strong(self, nullptr);
}

int Device::RunProgram(EntryPoint entry, const std::u16string& command_line) {
  std::shared_ptr<DeviceThread> record = threads_->NewRecord();
  record->set_role(DeviceThread::Role::kUi);
  DeviceThreadScope scope(*scheduler_, record);
  auto set_running = [this, &record](bool running) {
    MutexLock lock(scheduler_->mutex());
    program_running_ = running;
    if (running) program_started_ = true;
    program_thread_ = running ? record : nullptr;
    scheduler_->NotifyAll();
  };
  set_running(true);
  std::u16string line = command_line;
  int code;
  try {
    code = entry(program_instance_, nullptr, line.data(), SW_SHOW);
  } catch (const ThreadTerminated&) {
    code = static_cast<int>(0xFFFFFFFF);
  }
  set_running(false);
  return code;
}

void Device::PowerOff() {
  UniqueLock lock(scheduler_->mutex());
  program_running_ = false;
  scheduler_->PowerOffLocked();
  scheduler_->ParkLocked(lock);
}

bool Device::powered_off() const { return scheduler_->powered_off(); }

void Device::StopProgram() {
  MutexLock lock(scheduler_->mutex());
  if (program_thread_) program_thread_->MarkTerminated();
  scheduler_->NotifyAll();
}

}  // namespace wce
