#include "sim/device_folder.h"

#include <cstdlib>
#include <system_error>

#include "sim/demo_package.h"

namespace kepla {
namespace {

constexpr std::uint64_t kDemoFreeBytes = 2ull * 1024 * 1024 * 1024;

bool MakeFolder(const std::filesystem::path& path, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec || !std::filesystem::is_directory(path)) {
    if (error)
      *error = path.string() + ": cannot make the folder" + (ec ? ": " + ec.message() : "");
    return false;
  }
  return true;
}

}  // namespace

wce::DeviceProfile DemoProfile() {
  wce::DeviceProfile profile;
  wce::CardSpec card;
  card.name = u"Storage Card";
  card.host = "fs/Storage Card";  // resolved against the device folder by InitDeviceFolder
  card.free_bytes = kDemoFreeBytes;
  profile.cards.push_back(card);
  return profile;
}

bool CheckDeviceFolder(const std::filesystem::path& dir, std::string* error) {
  std::string why;
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(dir, ec);
  if (dir.empty()) {
    why = "DIR must not be empty (use . for the current folder)";
  } else if (std::filesystem::is_directory(status)) {
    return true;
  } else if (std::filesystem::exists(status)) {
    why = dir.string() + ": not a folder";
  } else if (ec && ec != std::errc::no_such_file_or_directory) {
    why = dir.string() + ": cannot be reached: " + ec.message();
  } else {
    why = dir.string() + ": no such device folder";
  }
  if (error) *error = why;
  return false;
}

std::filesystem::path UpgradeFolder(const std::filesystem::path& dir) {
  return dir / "fs" / "Storage Card" / "Upgrade";
}

bool InitDeviceFolder(const std::filesystem::path& dir, const InitOptions& options,
                      std::string* error) {
  std::error_code ec;
  if (dir.empty()) {
    if (error) *error = "DIR must not be empty (use . for the current folder)";
    return false;
  }
  if (std::filesystem::exists(dir, ec) && !std::filesystem::is_directory(dir, ec)) {
    if (error) *error = dir.string() + ": exists and is not a folder";
    return false;
  }
  const std::filesystem::path profile_file = dir / "device.json";
  if (!options.force && std::filesystem::exists(profile_file, ec)) {
    if (error) *error = profile_file.string() + ": already exists (use --force to replace it)";
    return false;
  }
  if (!MakeFolder(UpgradeFolder(dir), error)) return false;

  wce::DeviceProfile profile = options.demo ? DemoProfile() : wce::DeviceProfile{};
  const std::filesystem::path absolute = std::filesystem::absolute(dir, ec);
  for (wce::CardSpec& card : profile.cards) {
    if (card.host.is_relative()) card.host = (absolute / card.host).lexically_normal();
  }
  if (options.demo && !WriteDemoPackage(UpgradeFolder(dir), error)) return false;
  return wce::SaveProfile(dir, profile, error);
}

std::filesystem::path DefaultDemoFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::filesystem::path(data) / "kepla" / "demo";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    return std::filesystem::path(home) / ".local" / "share" / "kepla" / "demo";
  }
  return {};
}

bool EnsureDemoDevice(const std::filesystem::path& dir, std::string* note, std::string* error) {
  if (note) note->clear();
  std::error_code ec;
  if (!std::filesystem::exists(dir / "device.json", ec)) {
    InitOptions options;
    options.demo = true;
    if (!InitDeviceFolder(dir, options, error)) return false;
    if (note) *note = "made the demo device";
    return true;
  }
  const std::filesystem::path upgrade = UpgradeFolder(dir);
  std::string why;
  if (DemoPackageIntact(upgrade, &why)) return true;
  if (!MakeFolder(upgrade, error) || !WriteDemoPackage(upgrade, error)) return false;
  if (note) *note = "wrote the demo package again (" + why + ")";
  return true;
}

}  // namespace kepla
