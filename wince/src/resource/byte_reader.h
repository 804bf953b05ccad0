// A bounds-checked little-endian cursor over resource bytes, shared by the resource parsers.
//
// Every read checks the remaining length first and reports failure instead of reading past the
// end; offsets are counted from the start of the span, which is also what alignment is relative
// to. Not thread-safe (one cursor per parse).
#ifndef WINCE_RESOURCE_BYTE_READER_H_
#define WINCE_RESOURCE_BYTE_READER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace wce {

// A resource identifier as stored: a WORD ordinal (after a 0xFFFF marker) or a UTF-16 name.
struct ResId {
  bool is_name = false;
  std::uint16_t ordinal = 0;  // when !is_name
  std::u16string name;        // when is_name

  static ResId Ordinal(std::uint16_t n) { return ResId{false, n, {}}; }
  static ResId Name(std::u16string s) { return ResId{true, 0, std::move(s)}; }
  friend bool operator==(const ResId&, const ResId&) = default;
};

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::size_t offset() const { return offset_; }
  std::size_t remaining() const { return bytes_.size() - offset_; }

  std::optional<std::uint16_t> U16();
  std::optional<std::uint32_t> U32();
  std::optional<std::int16_t> I16();
  // Moves to the next multiple of `alignment` (a power of two); false if that is past the end.
  bool Align(std::size_t alignment);
  // Moves by n bytes; false (and no move) if fewer remain.
  bool Skip(std::size_t n);
  // The next n bytes, consumed; nullopt if fewer remain.
  std::optional<std::span<const std::uint8_t>> Bytes(std::size_t n);
  // A zero-terminated UTF-16 string; the terminator is consumed but not returned.
  std::optional<std::u16string> String();
  // A name-or-ordinal field: 0xFFFF then a WORD ordinal, or a zero-terminated string (a lone
  // 0x0000 reads as an empty name, which templates use for "none").
  std::optional<ResId> Id();

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t offset_ = 0;
};

// Decodes little-endian UTF-16 code units (an even number of bytes; a trailing odd byte is
// ignored).
std::u16string DecodeUtf16(std::span<const std::uint8_t> bytes);

// "#<n>" for an ordinal, the name itself otherwise.
std::u16string IdToText(const ResId& id);

}  // namespace wce

#endif  // WINCE_RESOURCE_BYTE_READER_H_
