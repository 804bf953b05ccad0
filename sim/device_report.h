// `kepla-device show`: what a device folder holds, for people (text) or programs (JSON).
#ifndef KEPLA_SIM_DEVICE_REPORT_H_
#define KEPLA_SIM_DEVICE_REPORT_H_

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

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
//                  "romVersion", "extRomVersion", "taken"} or {"name", "bytes", "error", "taken"}],
//    "programs": [{"pid", "program", "windows": [{"class", "title"}], "events": [...]}]}
// A card has "problem" when kepla would refuse it or its folder cannot be read; the report has
// "programFolderProblem" when the program's folder cannot be reached or read. Packages are listed
// by name; "taken" marks the one the program's search finds (the first the device lists). A package
// the program cannot use has "error": a folder or other non-regular file (never opened), a device
// path longer than the program's 259 characters, a file of 512 bytes or less.
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

// Why the program's folder cannot be listed, naming it ("\Storage Card\Upgrade\ cannot be read:
// Permission denied"): the program then finds no package in it. nullopt when it can be listed,
// cannot be reached, or the profile cannot be read. Touches no device.
std::optional<std::string> ProgramFolderUnreadable(const std::filesystem::path& dir);

// `text` with what would steer a terminal written as escapes, as kepla-pkg prints it
// (tools/terminal_text.h): control characters (\n, \r, \t, \xHH), the C1 controls in UTF-8
// (\u0080 to \u009f) and bytes that are not UTF-8 (\xHH).
std::string Printable(std::string_view text);

// The report as lines for people (texts from the device and its files made printable).
std::string FormatDeviceReport(const nlohmann::ordered_json& report);

}  // namespace kepla

#endif  // KEPLA_SIM_DEVICE_REPORT_H_
