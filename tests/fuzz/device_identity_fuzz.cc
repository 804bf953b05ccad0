// The identity answer, on any 468 bytes (a shorter input is padded with zeros, a longer one cut):
// every field of the identity comes out terminated inside its 32 characters, and the split of the
// extended ROM version agrees with the version kept.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "fuzz_check.h"
#include "package/device_identity.h"

namespace {

bool Terminated(const WCHAR (&field)[32]) {
  return std::find(field, field + 32, WCHAR{0}) != field + 32;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::array<BYTE, kIdentityAnswerBytes> answer{};
  std::memcpy(answer.data(), data, std::min<std::size_t>(size, answer.size()));
  DeviceIdentity identity = {};
  DecodeIdentityAnswer(answer.data(), &identity);
  FUZZ_CHECK(Terminated(identity.language));
  FUZZ_CHECK(Terminated(identity.code));
  FUZZ_CHECK(Terminated(identity.model));
  FUZZ_CHECK(Terminated(identity.romVersion));
  FUZZ_CHECK(Terminated(identity.extRomVersion));
  // The language holds at most the three characters after the first blank.
  FUZZ_CHECK(std::find(identity.language, identity.language + 32, WCHAR{0}) - identity.language <=
             3);
  return 0;
}
