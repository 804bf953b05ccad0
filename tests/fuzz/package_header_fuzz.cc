// The package trailer, on any 512 bytes (a shorter input is padded with zeros, a longer one cut):
// as the device reads it (descramble, then DecodePackageHeader), and as kepla-pkg reads it back
// after writing it (DecodeTrailer, EncodeTrailer).
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "fuzz_check.h"
#include "package/descramble.h"
#include "package/package_header.h"
#include "tools/package_file.h"

namespace {

template <std::size_t N>
bool Terminated(const WCHAR (&field)[N]) {
  return std::find(field, field + N, WCHAR{0}) != field + N;
}

bool AllTerminated(const PackageHeader& h) {
  return Terminated(h.language) && Terminated(h.code) && Terminated(h.model) &&
         Terminated(h.romVersion) && Terminated(h.extRomVersion);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<BYTE, kTrailerBytes> trailer{};
  std::memcpy(trailer.data(), data, std::min<std::size_t>(size, trailer.size()));

  // The bytes as a descrambled trailer, and as a scrambled one.
  PackageHeader plain;
  DecodePackageHeader(trailer.data(), &plain);
  FUZZ_CHECK(AllTerminated(plain));
  std::array<BYTE, kTrailerBytes> scrambled = trailer;
  FUZZ_CHECK(descramble(scrambled.data(), kTrailerBytes));
  PackageHeader header;
  DecodePackageHeader(scrambled.data(), &header);
  FUZZ_CHECK(AllTerminated(header));

  // What kepla-pkg decodes, it can write again, and reads back unchanged.
  const kepla::pkg::PackageFields fields = kepla::pkg::DecodeTrailer(trailer);
  std::string error;
  FUZZ_CHECK(kepla::pkg::CheckFields(fields, &error));
  FUZZ_CHECK(kepla::pkg::DecodeTrailer(kepla::pkg::EncodeTrailer(fields)) == fields);
  return 0;
}
