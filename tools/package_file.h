// Firmware packages off the device: build one from an image, read its header, extract the image
// the wizard would write, and check an image against a package. Works on host paths.
//
// A package is the image with its first 2048 bytes scrambled, followed by a 512-byte scrambled
// trailer holding five UTF-16LE texts (package/package_header.h). The wizard prepares packages
// of 2560 bytes up to 4 GiB exclusive.
//
// Every function is thread-safe (no shared state). File functions report failure as false (or
// Verdict::kError) with *error set to one line naming the file and the reason; an output file
// is written completely or not at all (AtomicFile), and is never left half-written.
#ifndef KEPLA_TOOLS_PACKAGE_FILE_H_
#define KEPLA_TOOLS_PACKAGE_FILE_H_

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kepla::pkg {

constexpr std::size_t kTrailerSize = 512;
constexpr std::size_t kFirstBlockSize = 2048;
constexpr std::uint64_t kSmallestPreparable = kFirstBlockSize + kTrailerSize;
// Exclusive: the device reads a size of 0xFFFFFFFF as its failed-size answer and refuses it.
constexpr std::uint64_t kPreparableLimit = 0xFFFFFFFFu;
// Longest texts, in UTF-16 code units: each room keeps one zero character.
constexpr std::size_t kShortFieldMax = 31;  // language, model, romVersion, extRomVersion
constexpr std::size_t kCodeFieldMax = 127;

// The five texts of a package header, as the device compares and shows them.
struct PackageFields {
  std::u16string language;
  std::u16string code;
  std::u16string model;
  std::u16string romVersion;
  std::u16string extRomVersion;

  bool operator==(const PackageFields&) const = default;
};

struct PackageInfo {
  PackageFields fields;
  std::uint64_t package_bytes = 0;
  std::uint64_t image_bytes = 0;  // the package without its trailer
  bool preparable = false;        // kSmallestPreparable <= size < kPreparableLimit
};

// Called as work proceeds with the bytes done so far and the total.
using ProgressFn = std::function<void(std::uint64_t done, std::uint64_t total)>;

// True when the wizard would prepare a package of this size.
bool IsPreparable(std::uint64_t package_bytes);

// Checks that `text` fits a room of `max` UTF-16 units and has no zero character. On failure
// sets *error to "NAME: reason", e.g. "--model: 32 UTF-16 units, at most 31 fit".
bool CheckFieldText(const std::string& name, const std::u16string& text, std::size_t max,
                    std::string* error);
// Checks that every text fits its room. On failure sets *error to "FIELD: reason", FIELD being
// the member's name (extRomVersion).
bool CheckFields(const PackageFields& fields, std::string* error);
// The scrambled trailer for `fields`, which must pass CheckFields.
std::array<std::uint8_t, kTrailerSize> EncodeTrailer(const PackageFields& fields);
// The fields of a scrambled trailer, read the way the device reads them (each within its room;
// a text that fills its room is cut to leave room for its terminator).
PackageFields DecodeTrailer(std::span<const std::uint8_t, kTrailerSize> trailer);

// In memory: the package for `image` (at least kFirstBlockSize bytes) and `fields`. Returns an
// empty vector and sets *error when either is refused.
std::vector<std::uint8_t> MakePackage(std::span<const std::uint8_t> image,
                                      const PackageFields& fields, std::string* error);
// In memory: the image the wizard writes for `package`; empty with *error set when the package
// is not preparable.
std::vector<std::uint8_t> MakeImage(std::span<const std::uint8_t> package, std::string* error);

// Builds the package for the image file `image` into `out`. Refuses (writing nothing) texts that
// do not fit their rooms, images shorter than kFirstBlockSize bytes, images whose package
// would not be preparable, and an `out` that is the image itself.
bool BuildPackage(const std::filesystem::path& image, const PackageFields& fields,
                  const std::filesystem::path& out, std::string* error, ProgressFn progress = {});

// Reads the header and sizes of `package`. Fails for a file too short to hold a trailer.
bool ReadPackageInfo(const std::filesystem::path& package, PackageInfo* info, std::string* error);

// Writes the image the wizard would write for `package` into `out`. Fails, writing nothing, for
// a package that is not preparable and for an `out` that is the package itself.
bool ExtractImage(const std::filesystem::path& package, const std::filesystem::path& out,
                  std::string* error, ProgressFn progress = {});

enum class Verdict { kSame, kDifferent, kError };
// Compares `image` with the image of `package`. kDifferent sets *first_difference to the first
// offset at which they differ (for images of different sizes that agree up to the shorter one,
// that size). kError sets *error.
Verdict VerifyImage(const std::filesystem::path& package, const std::filesystem::path& image,
                    std::uint64_t* first_difference, std::string* error);

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_PACKAGE_FILE_H_
