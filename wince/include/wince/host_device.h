// The simulated device as a host sees it (the kepla programs, benchmarks, tests of the program):
// boot it from a device folder, run the program's entry point on it, watch and press its screen,
// stop the program, shut it down.
//
// One device per process at a time. Device time: Now() and every deadline below are device
// milliseconds since boot (the clock of the profile or of DeviceOptions::clock).
#ifndef WINCE_HOST_DEVICE_H_
#define WINCE_HOST_DEVICE_H_

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <wince/automation.h>
#include <wince/device_options.h>
#include <wince/device_path.h>
#include <wince/profile.h>

namespace wce {

class Device;  // the layer's own device (its unit tests reach it through internal())

class HostDevice {
 public:
  static constexpr std::uint64_t kNever = UINT64_MAX;  // a deadline that never comes
  using EntryPoint = int (*)(HINSTANCE, HINSTANCE, LPWSTR, int);

  // Boots this process's device. Returns null and sets *error (one line naming the file and the
  // reason) when the folder or its profile is unusable, or when a device is already booted.
  static std::unique_ptr<HostDevice> Boot(const DeviceOptions& options, std::string* error);

  // Shuts the device down: terminates and joins the threads the program started that still run,
  // and withdraws its run/ entries. Stop a running program and let RunProgram return first. Call
  // from a thread that is no device thread.
  ~HostDevice();
  HostDevice(const HostDevice&) = delete;
  HostDevice& operator=(const HostDevice&) = delete;

  // Runs entry(instance, 0, command_line, SW_SHOW) (the program's WinMain) on the calling host
  // thread, which is the program's user-interface thread for the duration. Returns the exit
  // code; 0xFFFFFFFF when the program was stopped.
  int RunProgram(EntryPoint entry, const std::u16string& command_line);
  // Ends a running program as the user would by pulling the battery: its user-interface thread
  // is terminated at its next layer call. Any thread; no-op when no program runs.
  void StopProgram();
  // Whether RunProgram runs the entry point. Takes the device lock: not from a WaitUntil
  // condition nor an Update (ProgramRunningLocked there).
  bool ProgramRunning();
  // ProgramRunning() for code that holds the device lock (a WaitUntil condition, an Update).
  bool ProgramRunningLocked() const;
  // Whether the device has lost power (a powerOff fault): the program's threads are stopped for
  // good inside it, RunProgram never returns, and the device must never be shut down (keep it,
  // released, for the rest of the process). For code that holds the device lock.
  bool PoweredOffLocked() const;
  // Where the power went: before the `nth` call of `call` of the program. Empty while it has not.
  struct PowerLoss {
    std::string call;
    int nth = 0;
  };
  std::optional<PowerLoss> power_lost() const;
  // Withdraws this run from the device folder's run/ (other processes no longer find it), as a
  // device that lost power vanishes from them. Any thread.
  void Withdraw();
  // Sends each line of the program's call record (one JSON object, no newline) to `sink`, on the
  // thread that made the call, in order; null stops it. Set it before RunProgram.
  void SetCallSink(std::function<void(const std::string&)> sink);

  // Whether a thread the program started (CreateThread) is still at work. No lock held.
  bool ProgramThreadsRunning();

  const std::filesystem::path& folder() const;
  const DeviceProfile& profile() const;
  // The program's module (its resources), as WinMain receives it.
  HINSTANCE program_instance() const;
  // The device's volumes: [0] is the root "\" (fs/), [i] the profile's card i - 1.
  const std::vector<Volume>& volumes() const;
  // Registers another resource image (kept alive by the caller while booted) as a module.
  HINSTANCE AddModule(std::span<const std::uint8_t> image);

  // Whether this run is visible to other processes on the device folder (run/ is writable and
  // DeviceOptions::publish was set).
  bool published() const;
  // Whether another process closed the program's window (as "kepla -- uninstall" does).
  bool closed_by_another_process() const;

  DeviceScreen& screen();

  std::uint64_t Now();
  // Blocks until `ready()` is true or device time reaches `deadline`; true when ready.
  // `ready` runs with the device lock held, possibly on other threads deciding whether time may
  // jump: it must only read state that Update() writes (and ProgramRunningLocked()). A device
  // thread waiting here counts as waiting for the virtual clock; a terminated one unwinds.
  bool WaitUntil(const std::function<bool()>& ready, std::uint64_t deadline = kNever);
  // WaitUntil with the deadline `timeout_ms` after the device time at the call (INFINITE, the
  // value 0xFFFFFFFF: no deadline).
  bool WaitWithin(const std::function<bool()>& ready, std::uint32_t timeout_ms);
  // Runs `change` with the device lock held, then wakes every WaitUntil to look again. Keep it
  // short; make no layer call from it.
  void Update(const std::function<void()>& change);

  // The layer's own device, for the layer's unit tests (which include its internal headers).
  Device& internal() { return *device_; }
  // A view of `device`, booted by other means (the layer's own tests): it neither owns the device
  // nor shuts it down, and must not outlive it.
  explicit HostDevice(Device& device);
  // This process's device booted by Boot(), or null: for helpers of tests that are handed none.
  static HostDevice* Booted();

 private:
  explicit HostDevice(std::unique_ptr<Device> device);

  std::unique_ptr<Device> owned_;  // null for a view
  Device* device_;
  std::unique_ptr<DeviceScreen> screen_;
};

// Makes the calling host thread a device thread of this process's booted device for its
// lifetime: a virtual clock counts it as running until it waits in the layer. Make it after the
// device has booted, on the thread that uses it, and destroy it on that thread before the device
// shuts down.
class HostThread {
 public:
  HostThread();
  ~HostThread();
  HostThread(const HostThread&) = delete;
  HostThread& operator=(const HostThread&) = delete;

  // Runs `body` on this thread. Returns false when the thread was terminated while in it (the
  // exception that unwinds a terminated thread stops here), true when `body` returned; any other
  // exception passes through.
  bool Run(const std::function<void()>& body);
  // Marks the thread terminated and wakes it, as TerminateThread does: its next layer call, or
  // the layer wait it is in, throws ThreadTerminated. Any thread, while the device lives.
  void Terminate();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace wce

#endif  // WINCE_HOST_DEVICE_H_
