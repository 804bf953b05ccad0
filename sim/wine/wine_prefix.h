// The Wine side of a device folder: a Wine prefix per device (so that runs on different devices
// never meet, and two programs on one device find each other's windows and events), made over one
// base prefix that every device shares, with the device's root folder as drive D: and the shim's
// files as drive S:. The host's own folders are not mapped: the program reaches only its device.
//
//   BASE/                   made once by wineboot (about a minute and 1 GB); drive_c is shared
//   DEVICE/wine/prefix/     the device's prefix: its own registry, drive_c a link into BASE
//   DEVICE/wine/root/       drive D:, "\": links to the entries of fs/ and to each card's folder
//   DEVICE/wine/shim/       drive S:, COREDLL.DLL and the profile files of the runs
//
// Thread rules: none (host code of one run); two runs on one device may prepare it at once.
#ifndef KEPLA_SIM_WINE_WINE_PREFIX_H_
#define KEPLA_SIM_WINE_WINE_PREFIX_H_

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <wince/profile.h>

namespace kepla::wine {

// Where the base prefix lives: $KEPLA_WINE_BASE, else $XDG_CACHE_HOME/kepla/wine-base, else
// $HOME/.cache/kepla/wine-base. Empty when none of them is set.
std::filesystem::path DefaultBasePrefix();

// Makes the base prefix unless it is ready (one maker at a time, others wait for it), telling
// `note` when it starts to. Returns false and sets *error (one line) when Wine cannot make it.
bool EnsureBasePrefix(const std::filesystem::path& base, std::ostream& note, std::string* error);

struct DeviceWine {
  std::filesystem::path prefix;
  std::filesystem::path root;  // drive D:
  std::filesystem::path shim;  // drive S:
};

// Makes or brings up to date the Wine side of `device_folder` over `base`: the prefix on first
// use (or when the base was made anew), the links of drive D: on every call (links that are
// right are left alone, so that a running program keeps its paths), and the files of `win32_dir`
// that the shim's drive holds (COREDLL.DLL, kepla-signal.exe). Returns nullopt and sets *error on
// failure.
std::optional<DeviceWine> PrepareDeviceWine(const std::filesystem::path& device_folder,
                                            const wce::DeviceProfile& profile,
                                            const std::filesystem::path& base,
                                            const std::filesystem::path& win32_dir,
                                            std::string* error);

// The Wine environment of a program run on a prepared device: prefix, no debug output, no Mono
// or Gecko prompts, the shim's drive on the search path; plus `more`.
std::vector<std::string> WineEnvironment(const DeviceWine& wine,
                                         const std::map<std::string, std::string>& more);

// Sets the named event `name` of a program running on `device_folder` under Wine, from another
// Win32 process on the device (kepla-signal.exe). Returns 0 when it was set, 1 when no program
// has that event, 2 with *error when it could not be tried.
int SignalEventUnderWine(const std::filesystem::path& device_folder, std::u16string_view name,
                         const std::filesystem::path& win32_dir, std::string* error);

// A device path ("\Storage Card\x") as the Win32 program sees it ("D:\Storage Card\x"), UTF-8.
std::string WinePath(std::u16string_view device_path);
// A file of drive S: as the Win32 program sees it ("S:\name").
std::string ShimPath(std::string_view name);

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_WINE_PREFIX_H_
