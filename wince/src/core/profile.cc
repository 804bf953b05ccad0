// STUB: to be replaced (device.json parsing).
#include "core/profile.h"

namespace wce {

std::optional<DeviceProfile> LoadProfile(const std::filesystem::path&, std::string*) {
  return DeviceProfile{};
}

bool SaveProfile(const std::filesystem::path&, const DeviceProfile&, std::string*) { return true; }

}  // namespace wce
