// Setting up device folders on the host: `kepla-device init`, and the demo device that `kepla`
// uses when no device is named.
#ifndef KEPLA_SIM_DEVICE_FOLDER_H_
#define KEPLA_SIM_DEVICE_FOLDER_H_

#include <filesystem>
#include <string>

#include <wince/profile.h>

namespace kepla {

struct InitOptions {
  bool demo = false;   // also the demo firmware package, and a card with room for its image
  bool force = false;  // replace an existing device.json (and, with demo, the package)
};

// The profile of the demo device: the default identity, and a card reporting 2 GiB free so that
// the space check passes whatever the host has.
wce::DeviceProfile DemoProfile();

// Makes `dir` a device folder: device.json (defaults, or the demo profile) and
// fs/Storage Card/Upgrade/, plus the demo package with `demo`. Refuses an existing device.json
// unless `force`. Returns false and sets *error (one line naming the path) on failure.
bool InitDeviceFolder(const std::filesystem::path& dir, const InitOptions& options,
                      std::string* error);

// Whether `dir`, as the user named it, is an existing device folder: refuses an empty name (it
// would mean the current folder without saying so), a missing path and anything but a folder.
// Sets *error to one line naming `dir`.
bool CheckDeviceFolder(const std::filesystem::path& dir, std::string* error);

// The program's folder on the default card of a device folder: <dir>/fs/Storage Card/Upgrade.
std::filesystem::path UpgradeFolder(const std::filesystem::path& dir);

// Where `kepla` keeps its demo device: $XDG_DATA_HOME/kepla/demo, else
// $HOME/.local/share/kepla/demo. Empty when neither variable is set.
std::filesystem::path DefaultDemoFolder();

// Makes the demo device in `dir` on first use, and writes its package again when it is missing or
// damaged (an earlier run, or a person, may have removed or changed it). Sets *note (may be null)
// to what it did, or empty. Returns false and sets *error on failure.
bool EnsureDemoDevice(const std::filesystem::path& dir, std::string* note, std::string* error);

}  // namespace kepla

#endif  // KEPLA_SIM_DEVICE_FOLDER_H_
