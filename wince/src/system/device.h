// The simulated device of one process: the layer's only window onto the host.
//
// A host (the kepla program, a test) boots one Device per process from a device folder, then runs
// the program's WinMain on it. Every Win32 entry point of the layer reaches its state through
// Device::Get(). The device owns its components; they are made in the order declared below and
// destroyed in reverse.
#ifndef WINCE_SYSTEM_DEVICE_H_
#define WINCE_SYSTEM_DEVICE_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include <windows.h>

#include "model/clock.h"
#include "kernel/handles.h"
#include "model/profile.h"
#include "model/scheduler.h"

namespace wce {

class FileSystem;     // kernel/filesystem.h: device paths, files, searches, free space
class FaultPlan;      // kernel/faults.h: injected failures
class CallLog;        // model/call_log.h: the program's calls, and faults keyed on them
class Hardware;       // device/hardware.h: battery, memory, OEM identity, backlight, idle timer
class Threads;        // kernel/threads.h: CreateThread/TerminateThread bookkeeping, events
class Modules;        // resource/modules.h: HINSTANCE -> resource bytes
class WindowManager;  // user/window_manager.h: classes, windows, queues, timers, dialogs
class Shell;          // shell/shell.h: menu bars, soft keys, display rotation
class RunFolder;      // device/run_folder.h: what other processes on the device can see
class Automation;     // device/automation.h: snapshots and injected actions

struct DeviceOptions {
  std::filesystem::path folder;                     // the device folder (device.json, fs/, run/)
  std::optional<ClockSpec> clock;                   // overrides the profile's clock
  std::optional<DeviceProfile> profile;             // use this instead of reading device.json
  std::span<const std::uint8_t> program_resources;  // the program's .res image (may be empty)
  bool publish = true;  // publish windows and named events in run/ for other processes
};

class Device {
 public:
  // Boots this process's device. Returns null and sets *error (one line naming the file and the
  // reason) when the folder or its profile is unusable, or when a device is already booted.
  static std::unique_ptr<Device> Boot(const DeviceOptions& options, std::string* error);
  // The booted device, or null.
  static Device* Current();
  // The booted device; aborts with a message when there is none (a layer call before boot).
  static Device& Get();

  // Terminates and joins device threads still running, withdraws run/ entries.
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  using EntryPoint = int (*)(HINSTANCE, HINSTANCE, LPWSTR, int);
  // Runs entry(instance, 0, command_line, SW_SHOW) (the program's WinMain) on the calling host
  // thread, which becomes a device thread (the program's user-interface thread) for the
  // duration. Returns the exit code; 0xFFFFFFFF if the thread was terminated.
  int RunProgram(EntryPoint entry, const std::u16string& command_line);

  // Ends a running program as the user would by pulling the battery: its user-interface thread
  // is terminated at its next layer call (RunProgram then returns 0xFFFFFFFF). Any thread.
  void StopProgram();

  // The device loses power before a call of the program (a powerOff fault): every thread of the
  // program stops for good (Scheduler::PowerOffLocked), program_running() turns false, and the
  // calling thread, one of the program's, stops here. Never returns. The host must then leak the
  // device rather than destroy it, and end the process.
  [[noreturn]] void PowerOff();
  // True once PowerOff has been called. Any thread.
  bool powered_off() const;

  // True while RunProgram runs the entry point (read with the scheduler's mutex held, or racy).
  bool program_running() const { return program_running_; }
  // True once RunProgram has started the entry point (it stays true after the program ends).
  bool program_started() const { return program_started_; }

  const std::filesystem::path& folder() const { return folder_; }
  const DeviceProfile& profile() const { return profile_; }
  HINSTANCE program_instance() const { return program_instance_; }

  Scheduler& scheduler() { return *scheduler_; }
  HandleTable& handles() { return handles_; }
  FaultPlan& faults() { return *faults_; }
  CallLog& calls() { return *calls_; }
  FileSystem& fs() { return *fs_; }
  Hardware& hardware() { return *hardware_; }
  Threads& threads() { return *threads_; }
  Modules& modules() { return *modules_; }
  WindowManager& windows() { return *windows_; }
  Shell& shell() { return *shell_; }
  RunFolder& run_folder() { return *run_folder_; }
  Automation& automation() { return *automation_; }

 private:
  Device(const DeviceOptions& options, DeviceProfile profile);

  std::filesystem::path folder_;
  DeviceProfile profile_;
  bool publish_;
  HINSTANCE program_instance_ = nullptr;
  bool program_running_ = false;                  // guarded by the scheduler's mutex
  bool program_started_ = false;                  // guarded by the scheduler's mutex
  std::shared_ptr<DeviceThread> program_thread_;  // guarded by the scheduler's mutex
  std::unique_ptr<Scheduler> scheduler_;
  HandleTable handles_;
  std::unique_ptr<FaultPlan> faults_;
  std::unique_ptr<CallLog> calls_;
  std::unique_ptr<FileSystem> fs_;
  std::unique_ptr<Hardware> hardware_;
  std::unique_ptr<Threads> threads_;
  std::unique_ptr<Modules> modules_;
  std::unique_ptr<WindowManager> windows_;
  std::unique_ptr<Shell> shell_;
  std::unique_ptr<RunFolder> run_folder_;
  std::unique_ptr<Automation> automation_;
};

}  // namespace wce

#endif  // WINCE_SYSTEM_DEVICE_H_
