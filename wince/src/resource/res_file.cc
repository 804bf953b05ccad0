#include "resource/res_file.h"

namespace wce {
namespace {

// DataSize, HeaderSize, the two shortest ids (0xFFFF + ordinal) and the 16 bytes of fixed fields.
constexpr std::uint32_t kMinHeaderSize = 8 + 4 + 4 + 16;

// Parses the entry at *offset (DWORD-aligned) and moves *offset past its data and padding.
std::optional<ResEntry> ParseEntry(std::span<const std::uint8_t> image, std::size_t* offset) {
  const std::size_t start = *offset;
  ByteReader sizes(image.subspan(start));
  auto data_size = sizes.U32();
  auto header_size = sizes.U32();
  if (!data_size || !header_size || *header_size < kMinHeaderSize) return std::nullopt;
  if (*header_size > image.size() - start) return std::nullopt;

  // Type, name and the fixed fields must all lie inside the declared header.
  ByteReader header(image.subspan(start, *header_size));
  header.Skip(8);
  auto type = header.Id();
  auto name = header.Id();
  if (!type || !name || !header.Align(4)) return std::nullopt;
  auto data_version = header.U32();
  auto memory_flags = header.U16();
  auto language = header.U16();
  auto version = header.U32();
  auto characteristics = header.U32();
  if (!characteristics) return std::nullopt;  // the last field read: all earlier ones fit too

  const std::size_t data_start = start + *header_size;
  if (*data_size > image.size() - data_start) return std::nullopt;
  ResEntry entry;
  entry.type = std::move(*type);
  entry.name = std::move(*name);
  entry.data_version = *data_version;
  entry.memory_flags = *memory_flags;
  entry.language = *language;
  entry.version = *version;
  entry.characteristics = *characteristics;
  entry.data = image.subspan(data_start, *data_size);
  // The last entry may lack its padding.
  const std::size_t next = (data_start + *data_size + 3) & ~std::size_t{3};
  *offset = next < image.size() ? next : image.size();
  return entry;
}

bool IsLeadingEntry(const ResEntry& entry) {
  return entry.data.empty() && entry.type == ResId::Ordinal(0) && entry.name == ResId::Ordinal(0);
}

}  // namespace

std::optional<std::vector<ResEntry>> ParseResFile(std::span<const std::uint8_t> image) {
  std::size_t offset = 0;
  auto first = ParseEntry(image, &offset);
  if (!first || !IsLeadingEntry(*first)) return std::nullopt;
  std::vector<ResEntry> entries;
  while (offset < image.size()) {
    auto entry = ParseEntry(image, &offset);
    if (!entry) return std::nullopt;
    entries.push_back(std::move(*entry));
  }
  return entries;
}

}  // namespace wce
