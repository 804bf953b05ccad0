// `kepla-device show`: what a device folder holds, for people (text) or programs (JSON).
#ifndef KEPLA_SIM_DEVICE_REPORT_H_
#define KEPLA_SIM_DEVICE_REPORT_H_

#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace kepla {

// Gathers the report of device folder `dir`:
//   {"folder": DIR, "profile": {device.json with every key},
//    "cards": [{"name", "host", "exists", "freeBytes", "freeFrom": "profile"|"host",
//               "fileSystem": "vfat"|"fuse.fusefat"|"ext4"|..., "mountPoint": bool,
//               "attributesKept": "fat"|"extendedAttribute"|"deviceFolder" (these three only
//               when the folder exists),
//               "files": [{"path": "\\Storage Card\\...", "folder": bool, "bytes", "hidden"}]}],
//    "programFolder": "\\Storage Card\\Upgrade\\",
//    "packages": [{"name", "bytes", "imageBytes", "preparable", "language", "code", "model",
//                  "romVersion", "extRomVersion"} or {"name", "bytes", "error"}],
//    "programs": [{"pid", "program", "windows": [{"class", "title"}], "events": [...]}]}
// Files and packages are those the device sees: a host link that leads out of its volume, or to
// nothing, is left out, and the program's folder is found as the device finds it.
// Texts are UTF-8. Returns nullopt and sets *error (one line) when the profile cannot be read.
// Touches no device: safe while a program runs on the folder.
std::optional<nlohmann::ordered_json> GatherDeviceReport(const std::filesystem::path& dir,
                                                         std::string* error);

// The program's folder as a device path, such as \Storage Card\Upgrade\ , when the device reaches
// it and it holds no file the program would take for a package. nullopt when there is one, when the
// folder cannot be reached (the wizard then says so itself) or when the profile cannot be read.
// Touches no device.
std::optional<std::string> ProgramFolderWithoutPackage(const std::filesystem::path& dir);

// The report as lines for people.
std::string FormatDeviceReport(const nlohmann::ordered_json& report);

}  // namespace kepla

#endif  // KEPLA_SIM_DEVICE_REPORT_H_
