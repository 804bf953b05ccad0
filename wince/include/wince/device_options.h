// How a host boots a simulated device (HostDevice::Boot).
#ifndef WINCE_DEVICE_OPTIONS_H_
#define WINCE_DEVICE_OPTIONS_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include <wince/clock.h>
#include <wince/profile.h>

namespace wce {

struct DeviceOptions {
  std::filesystem::path folder;                     // the device folder (device.json, fs/, run/)
  std::optional<ClockSpec> clock;                   // overrides the profile's clock
  std::optional<DeviceProfile> profile;             // use this instead of reading device.json
  std::span<const std::uint8_t> program_resources;  // the program's .res image (may be empty);
                                                    // the caller keeps it alive while booted
  bool publish = true;  // publish windows and named events in run/ for other processes
};

}  // namespace wce

#endif  // WINCE_DEVICE_OPTIONS_H_
