#include "bench_device.h"

#include <fstream>

#include "res/embedded.h"

namespace kepla_bench {

BenchDevice::BenchDevice() { std::filesystem::create_directories(HostPath("Storage Card")); }

BenchDevice::~BenchDevice() {
  guard_.reset();
  if (device_ != nullptr) {
    kepla_test::FinishWithin(
        std::chrono::seconds(60), [this] { device_.reset(); }, "device shutdown");
  }
}

bool BenchDevice::Boot(std::string* error, std::chrono::seconds limit) {
  wce::DeviceOptions options;
  options.folder = folder_.path();
  options.clock = wce::ClockSpec{wce::ClockMode::kVirtual, 1.0};
  options.profile = wce::DeviceProfile{};
  options.program_resources = kepla::ProgramResources();
  options.publish = false;
  device_ = wce::HostDevice::Boot(options, error);
  if (device_ == nullptr) return false;
  guard_.emplace(limit);
  return true;
}

std::filesystem::path BenchDevice::HostPath(std::string_view relative) const {
  return folder_.path() / "fs" / std::filesystem::path(relative);
}

bool BenchDevice::WriteFile(std::string_view relative, std::span<const std::uint8_t> bytes) const {
  std::filesystem::path path = HostPath(relative);
  std::error_code ignored;
  std::filesystem::create_directories(path.parent_path(), ignored);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace kepla_bench
