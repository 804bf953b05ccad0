// The device's OEM kernel layer: the I/O controls that KernelIoControl hands to it.
#ifndef WINCE_MODEL_OEM_H_
#define WINCE_MODEL_OEM_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <windows.h>

namespace wce {

struct DeviceProfile;

// The identity control: CTL_CODE(FILE_DEVICE_HAL, 2050, METHOD_BUFFERED, FILE_ANY_ACCESS).
inline constexpr DWORD kIoctlOemIdentity = 0x01012008;

// Layout of the identity answer: three zero-terminated UTF-16LE texts in fixed rooms.
struct IdentityAnswerLayout {
  static constexpr std::size_t kSize = 468;
  static constexpr std::size_t kModelOffset = 12;
  static constexpr std::size_t kModelRoom = 128;  // bytes
  static constexpr std::size_t kRomOffset = 140;
  static constexpr std::size_t kRomRoom = 264;
  static constexpr std::size_t kExtRomOffset = 404;
  static constexpr std::size_t kExtRomRoom = 64;
};

// Writes the identity answer over out[0, kSize): zero bytes everywhere except the three texts,
// each cut to its room less the terminator (never in the middle of a surrogate pair). Bytes past
// kSize are left alone. `out` must hold at least kSize bytes. Pure.
void WriteIdentityAnswer(std::u16string_view model, std::u16string_view rom_version,
                         std::u16string_view ext_rom_version, std::span<std::uint8_t> out);

// Answers one I/O control from the profile. Returns true and sets *returned (bytes written) on
// success; returns false with *error set otherwise: ERROR_NOT_SUPPORTED for an unknown code or
// when the profile says the device does not answer, ERROR_INVALID_PARAMETER for a missing or
// short output buffer. Pure apart from writing `out`.
bool OemIoControl(const DeviceProfile& profile, DWORD code, void* out, DWORD out_size,
                  DWORD* returned, DWORD* error);

}  // namespace wce

#endif  // WINCE_MODEL_OEM_H_
