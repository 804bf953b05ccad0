// A simulated device for benchmarks: a fresh device folder, the virtual clock (waits and sleeps
// of the program cost no real time), the program's resources as its module, and the benchmark's
// thread as one of the device's threads for as long as the object lives.
#ifndef KEPLA_BENCH_BENCH_DEVICE_H_
#define KEPLA_BENCH_BENCH_DEVICE_H_

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <wince/host_device.h>
#include "support/device_thread.h"
#include "support/scratch_dir.h"

namespace kepla_bench {

class BenchDevice {
 public:
  // Files that must exist before boot are written with WriteFile first, then Boot is called.
  BenchDevice();
  // Ends this thread's device role, then shuts the device down and removes its folder.
  ~BenchDevice();
  BenchDevice(const BenchDevice&) = delete;
  BenchDevice& operator=(const BenchDevice&) = delete;

  // Boots the device and makes the calling thread a device thread, under a watchdog that
  // terminates it after `limit` of real time. Returns false and sets *error when it cannot boot.
  bool Boot(std::string* error, std::chrono::seconds limit = std::chrono::seconds(300));

  wce::HostDevice& device() { return *device_; }
  HINSTANCE instance() const { return device_->program_instance(); }

  // The host path of the device path "\`relative`" ("/" separates folders).
  std::filesystem::path HostPath(std::string_view relative) const;
  // Writes `bytes` at "\`relative`", making folders. False when the host refuses.
  bool WriteFile(std::string_view relative, std::span<const std::uint8_t> bytes) const;

 private:
  kepla_test::ScratchDir folder_;
  std::unique_ptr<wce::HostDevice> device_;
  std::optional<kepla_test::DeviceThreadGuard> guard_;
};

}  // namespace kepla_bench

#endif  // KEPLA_BENCH_BENCH_DEVICE_H_
