// Classic dialog templates (DLGTEMPLATE followed by DLGITEMTEMPLATEs), parsed from bytes.
//
// The parser is a pure function over a byte span: it never reads outside the span and never
// throws on bad input. Creating the dialog and its controls happens in the window system.
#ifndef WINCE_RESOURCE_DIALOG_TEMPLATE_H_
#define WINCE_RESOURCE_DIALOG_TEMPLATE_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <windows.h>

namespace wce {

// One control of a dialog template.
struct DialogItem {
  DWORD style = 0;
  DWORD ex_style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  WORD id = 0;
  // The window class: the predefined ordinals become their names ("Button", "Edit", "Static",
  // "ListBox", "ScrollBar", "ComboBox"); any other ordinal becomes "#<n>".
  std::u16string class_name;
  // The window text; a title given as an ordinal (an icon or bitmap id) is kept in title_ordinal
  // and leaves title empty.
  std::u16string title;
  std::optional<WORD> title_ordinal;
  // Creation data passed to the control's WM_CREATE (usually empty).
  std::vector<std::uint8_t> creation_data;
};

struct DialogTemplate {
  DWORD style = 0;
  DWORD ex_style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  // Menu and window class: empty when absent; an ordinal is written "#<n>". The title is a string.
  std::u16string menu;
  std::u16string window_class;
  std::u16string title;
  // Present only with DS_SETFONT; point_size 0 and an empty face otherwise.
  WORD point_size = 0;
  std::u16string face;
  std::vector<DialogItem> items;  // in template order (the order controls are created in)
};

// Parses a classic template that starts at bytes[0] (which the caller keeps DWORD-aligned, as
// resource data always is: item alignment is counted from the start of the span). Returns
// nullopt when the bytes are truncated or malformed (an unterminated string, a declared item
// count the bytes do not hold, an extended DLGTEMPLATEEX, which this platform does not use).
// Bytes after the last item are ignored.
std::optional<DialogTemplate> ParseDialogTemplate(std::span<const std::uint8_t> bytes);

// The class name of a predefined control ordinal (0x80 "Button" ... 0x85 "ComboBox"), or empty.
std::u16string PredefinedClassName(WORD ordinal);

}  // namespace wce

#endif  // WINCE_RESOURCE_DIALOG_TEMPLATE_H_
