// String-table resources: blocks of 16 counted UTF-16 strings.
//
// String id n lives in the RT_STRING block named (n >> 4) + 1, in slot n & 15. Each slot is a
// WORD count followed by that many UTF-16 code units; an unused slot has count 0. Our resource
// compiler is run so that each stored string keeps its terminating zero inside the count
// ("Next" is stored with count 5), which lets a caller use a pointer into the table as a string.
#ifndef WINCE_RESOURCE_STRING_TABLE_H_
#define WINCE_RESOURCE_STRING_TABLE_H_

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace wce {

inline constexpr std::uint16_t StringBlockName(unsigned id) {
  return static_cast<std::uint16_t>((id >> 4) + 1);
}
inline constexpr unsigned StringSlot(unsigned id) { return id & 15; }

// The stored code units of one slot (2 bytes each, little-endian), inside the parsed bytes.
// Empty for an unused slot.
struct StringSlotData {
  std::span<const std::uint8_t> units;

  bool used() const { return !units.empty(); }
  // The text without the stored terminating zero (one trailing zero is dropped if present).
  std::u16string Text() const;
  // Code units of Text().
  std::size_t length() const;
  // True when the stored units end in a zero, so a pointer to them is a usable string.
  bool zero_terminated() const;
};

struct StringBlock {
  std::array<StringSlotData, 16> slots;
};

// Parses one RT_STRING block. Returns nullopt when the bytes end before the 16th slot's count and
// text. Bytes after the 16th slot are ignored.
std::optional<StringBlock> ParseStringBlock(std::span<const std::uint8_t> data);

}  // namespace wce

#endif  // WINCE_RESOURCE_STRING_TABLE_H_
