// device.json on any text: the parser never throws or crashes, and a profile it accepts is written
// by FormatProfile in a form it reads back as the same profile (kepla-device writes what devices
// read).
#include <string>
#include <string_view>

#include <wince/profile.h>
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path folder = "/fuzz/device";
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto profile = wce::ParseProfile(text, folder, &error);
  if (!profile) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  const std::string written = wce::FormatProfile(folder, *profile);
  auto back = wce::ParseProfile(written, folder, &error);
  if (!back) std::fprintf(stderr, "%s\n%s\n", written.c_str(), error.c_str());
  FUZZ_CHECK(back);
  FUZZ_CHECK(wce::FormatProfile(folder, *back) == written);
  return 0;
}
