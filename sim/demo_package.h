// The demo firmware package: a deterministic image packed for the default device identity.
#ifndef KEPLA_SIM_DEMO_PACKAGE_H_
#define KEPLA_SIM_DEMO_PACKAGE_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/package_file.h"

namespace kepla {

// The package's file name in the program's folder.
extern const char kDemoPackageName[];
// Size of the demo image in bytes (the package adds its 512-byte trailer).
constexpr std::size_t kDemoImageBytes = 2 * 1024 * 1024 + 12345;

// Header texts that fit the default device profile (model QMR407, "1.13.407 ENG WWE"): same
// model and language, a code list that holds WWE, and newer versions.
pkg::PackageFields DemoFields();

// `bytes` pseudo-random bytes, the same for the same seed on every host.
std::vector<std::uint8_t> MakeDemoImage(std::size_t bytes, std::uint64_t seed = 0x4B45504C41);

// Writes the demo package into `folder` (which must exist) as kDemoPackageName, completely or not
// at all. Returns false and sets *error (one line) on failure.
bool WriteDemoPackage(const std::filesystem::path& folder, std::string* error);

// Whether `folder` holds the demo package intact: its header and its image as written by
// WriteDemoPackage. Sets *why (may be null) to what is wrong when not.
bool DemoPackageIntact(const std::filesystem::path& folder, std::string* why);

}  // namespace kepla

#endif  // KEPLA_SIM_DEMO_PACKAGE_H_
