// Classic MENU resources, parsed from bytes into a tree.
//
// The parser is a pure function over a byte span: it never reads outside the span and never
// throws on bad input. Building menu bars and soft keys from the tree happens in the shell.
#ifndef WINCE_RESOURCE_MENU_TEMPLATE_H_
#define WINCE_RESOURCE_MENU_TEMPLATE_H_

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <windows.h>

namespace wce {

// Item flags as stored in a MENU resource.
inline constexpr WORD kMenuGrayed = 0x0001;     // MF_GRAYED
inline constexpr WORD kMenuDisabled = 0x0002;   // MF_DISABLED
inline constexpr WORD kMenuChecked = 0x0008;    // MF_CHECKED
inline constexpr WORD kMenuPopup = 0x0010;      // MF_POPUP
inline constexpr WORD kMenuSeparator = 0x0800;  // MF_SEPARATOR (a normal item with id 0, no text)
inline constexpr WORD kMenuEnd = 0x0080;        // MF_END: last item of its level

struct MenuItem {
  WORD flags = 0;  // as stored, including kMenuEnd on the last item of each level
  WORD id = 0;     // command id; 0 for popups
  std::u16string text;
  std::vector<MenuItem> children;  // only popups have children

  bool is_popup() const { return (flags & kMenuPopup) != 0; }
  bool grayed() const { return (flags & kMenuGrayed) != 0; }
};

// Parses a classic MENU resource (header WORD version 0, WORD offset; then the items) into its
// top-level items. Returns nullopt when the bytes are truncated or malformed (an unterminated
// text, a level without an MF_END item, a MENUEX header, nesting deeper than 16 levels).
// Bytes after the last top-level item are ignored.
std::optional<std::vector<MenuItem>> ParseMenu(std::span<const std::uint8_t> bytes);

}  // namespace wce

#endif  // WINCE_RESOURCE_MENU_TEMPLATE_H_
