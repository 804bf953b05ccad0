#include "resource/byte_reader.h"

namespace wce {

std::optional<std::uint16_t> ByteReader::U16() {
  if (remaining() < 2) return std::nullopt;
  std::uint16_t v = static_cast<std::uint16_t>(bytes_[offset_] | (bytes_[offset_ + 1] << 8));
  offset_ += 2;
  return v;
}

std::optional<std::uint32_t> ByteReader::U32() {
  if (remaining() < 4) return std::nullopt;
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | bytes_[offset_ + static_cast<std::size_t>(i)];
  offset_ += 4;
  return v;
}

std::optional<std::int16_t> ByteReader::I16() {
  auto v = U16();
  if (!v) return std::nullopt;
  return static_cast<std::int16_t>(*v);
}

bool ByteReader::Align(std::size_t alignment) {
  std::size_t aligned = (offset_ + alignment - 1) & ~(alignment - 1);
  if (aligned > bytes_.size()) return false;
  offset_ = aligned;
  return true;
}

bool ByteReader::Skip(std::size_t n) {
  if (remaining() < n) return false;
  offset_ += n;
  return true;
}

std::optional<std::span<const std::uint8_t>> ByteReader::Bytes(std::size_t n) {
  if (remaining() < n) return std::nullopt;
  auto out = bytes_.subspan(offset_, n);
  offset_ += n;
  return out;
}

std::optional<std::u16string> ByteReader::String() {
  std::u16string out;
  for (;;) {
    auto c = U16();
    if (!c) return std::nullopt;
    if (*c == 0) return out;
    out.push_back(static_cast<char16_t>(*c));
  }
}

std::optional<ResId> ByteReader::Id() {
  std::size_t start = offset_;
  auto first = U16();
  if (!first) return std::nullopt;
  if (*first == 0xFFFF) {
    auto ordinal = U16();
    if (!ordinal) return std::nullopt;
    return ResId::Ordinal(*ordinal);
  }
  offset_ = start;
  auto name = String();
  if (!name) return std::nullopt;
  return ResId::Name(std::move(*name));
}

std::u16string DecodeUtf16(std::span<const std::uint8_t> bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  return out;
}

std::u16string IdToText(const ResId& id) {
  if (id.is_name) return id.name;
  std::u16string digits;
  unsigned n = id.ordinal;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
    n /= 10;
  } while (n != 0);
  return u"#" + digits;
}

}  // namespace wce
