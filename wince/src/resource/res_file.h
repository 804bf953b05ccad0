// The .res file format (what the resource compiler writes), parsed into its entries.
//
// A .res file is a sequence of DWORD-aligned entries, each a header (DataSize, HeaderSize, type,
// name, DataVersion, MemoryFlags, LanguageId, Version, Characteristics) followed by DataSize bytes
// of data and padding to a DWORD. The file starts with an empty entry (type 0, name 0, no data)
// that marks it as a 32-bit .res file. The parser is a pure function over a byte span.
#ifndef WINCE_RESOURCE_RES_FILE_H_
#define WINCE_RESOURCE_RES_FILE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "resource/byte_reader.h"

namespace wce {

// Ordinals of the resource types this platform's programs use.
inline constexpr std::uint16_t kTypeMenu = 4;      // RT_MENU
inline constexpr std::uint16_t kTypeDialog = 5;    // RT_DIALOG
inline constexpr std::uint16_t kTypeString = 6;    // RT_STRING
inline constexpr std::uint16_t kTypeVersion = 16;  // RT_VERSION

struct ResEntry {
  ResId type;
  ResId name;
  std::uint16_t language = 0;
  std::uint16_t memory_flags = 0;
  std::uint32_t data_version = 0;
  std::uint32_t version = 0;
  std::uint32_t characteristics = 0;
  // The entry's data inside the parsed bytes (padding excluded): it lives as long as they do.
  std::span<const std::uint8_t> data;
};

// Parses a whole .res image. Returns its entries in file order, without the leading empty entry;
// nullopt when the image does not start with that entry or any entry is truncated or malformed
// (a header too short for its fields, data that runs past the end). A missing final padding is
// accepted.
std::optional<std::vector<ResEntry>> ParseResFile(std::span<const std::uint8_t> image);

}  // namespace wce

#endif  // WINCE_RESOURCE_RES_FILE_H_
