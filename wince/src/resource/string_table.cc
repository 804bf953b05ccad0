#include "resource/string_table.h"

#include "resource/byte_reader.h"

namespace wce {

bool StringSlotData::zero_terminated() const {
  const std::size_t n = units.size();
  return n >= 2 && units[n - 2] == 0 && units[n - 1] == 0;
}

std::size_t StringSlotData::length() const {
  return units.size() / 2 - (zero_terminated() ? 1 : 0);
}

std::u16string StringSlotData::Text() const { return DecodeUtf16(units.first(length() * 2)); }

std::optional<StringBlock> ParseStringBlock(std::span<const std::uint8_t> data) {
  ByteReader reader(data);
  StringBlock block;
  for (StringSlotData& slot : block.slots) {
    auto count = reader.U16();
    if (!count) return std::nullopt;
    auto units = reader.Bytes(std::size_t{*count} * 2);
    if (!units) return std::nullopt;
    slot.units = *units;
  }
  return block;
}

}  // namespace wce
