#include "model/oem.h"

#include <algorithm>

#include <wince/profile.h>

namespace wce {

static_assert(kIoctlOemIdentity ==
              CTL_CODE(FILE_DEVICE_HAL, 2050, METHOD_BUFFERED, FILE_ANY_ACCESS));

namespace {

void WriteText(std::u16string_view text, std::size_t room_bytes, std::uint8_t* at) {
  std::size_t units = std::min(text.size(), room_bytes / 2 - 1);
  // A high surrogate whose partner was cut off would make the text invalid: drop it too.
  if (units > 0 && units < text.size() && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) {
    --units;
  }
  for (std::size_t i = 0; i < units; ++i) {
    at[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
    at[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
  }
}

}  // namespace

void WriteIdentityAnswer(std::u16string_view model, std::u16string_view rom_version,
                         std::u16string_view ext_rom_version, std::span<std::uint8_t> out) {
  using L = IdentityAnswerLayout;
  std::fill_n(out.begin(), L::kSize, std::uint8_t{0});
  WriteText(model, L::kModelRoom, out.data() + L::kModelOffset);
  WriteText(rom_version, L::kRomRoom, out.data() + L::kRomOffset);
  WriteText(ext_rom_version, L::kExtRomRoom, out.data() + L::kExtRomOffset);
}

bool OemIoControl(const DeviceProfile& profile, DWORD code, void* out, DWORD out_size,
                  DWORD* returned, DWORD* error) {
  if (code != kIoctlOemIdentity || !profile.identity_answers) {
    *error = ERROR_NOT_SUPPORTED;
    return false;
  }
  if (out == nullptr || out_size < IdentityAnswerLayout::kSize) {
    *error = ERROR_INVALID_PARAMETER;
    return false;
  }
  WriteIdentityAnswer(profile.model, profile.rom_version, profile.ext_rom_version,
                      std::span<std::uint8_t>(static_cast<std::uint8_t*>(out), out_size));
  *returned = IdentityAnswerLayout::kSize;
  return true;
}

}  // namespace wce
