#include "resource/menu_template.h"

#include "resource/byte_reader.h"

namespace wce {
namespace {

constexpr int kMaxDepth = 16;

// Reads items up to and including the one marked kMenuEnd.
bool ParseLevel(ByteReader& reader, int depth, std::vector<MenuItem>* items) {
  if (depth > kMaxDepth) return false;
  for (;;) {
    MenuItem item;
    auto flags = reader.U16();
    if (!flags) return false;
    item.flags = *flags;
    if (!item.is_popup()) {
      auto id = reader.U16();
      if (!id) return false;
      item.id = *id;
    }
    auto text = reader.String();
    if (!text) return false;
    item.text = std::move(*text);
    if (item.is_popup() && !ParseLevel(reader, depth + 1, &item.children)) return false;
    items->push_back(std::move(item));
    if (*flags & kMenuEnd) return true;
  }
}

}  // namespace

std::optional<std::vector<MenuItem>> ParseMenu(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  auto version = reader.U16();
  auto header_size = reader.U16();
  // Version 1 is the extended format, which this platform's menus do not use.
  if (!header_size || *version != 0 || !reader.Skip(*header_size)) return std::nullopt;
  std::vector<MenuItem> items;
  if (!ParseLevel(reader, 1, &items)) return std::nullopt;
  return items;
}

}  // namespace wce
