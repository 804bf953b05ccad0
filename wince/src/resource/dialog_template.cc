#include "resource/dialog_template.h"

#include "resource/byte_reader.h"

namespace wce {
namespace {

// An extended template starts with WORD dlgVer 1 and WORD signature 0xFFFF, which read as the
// style DWORD of a classic one.
constexpr DWORD kExtendedSignature = 0xFFFF0001;

std::optional<DialogItem> ParseItem(ByteReader& reader) {
  if (!reader.Align(4)) return std::nullopt;
  DialogItem item;
  auto style = reader.U32();
  auto ex_style = reader.U32();
  auto x = reader.I16();
  auto y = reader.I16();
  auto cx = reader.I16();
  auto cy = reader.I16();
  auto id = reader.U16();
  if (!id) return std::nullopt;  // the last fixed field: the earlier ones were read too
  item.style = *style;
  item.ex_style = *ex_style;
  item.x = *x;
  item.y = *y;
  item.cx = *cx;
  item.cy = *cy;
  item.id = *id;

  auto window_class = reader.Id();
  if (!window_class) return std::nullopt;
  if (window_class->is_name) {
    item.class_name = std::move(window_class->name);
  } else {
    item.class_name = PredefinedClassName(window_class->ordinal);
    if (item.class_name.empty()) item.class_name = IdToText(*window_class);
  }

  auto title = reader.Id();
  if (!title) return std::nullopt;
  if (title->is_name) {
    item.title = std::move(title->name);
  } else {
    item.title_ordinal = title->ordinal;
  }

  // The size counts the bytes that follow it.
  auto data_size = reader.U16();
  if (!data_size) return std::nullopt;
  auto data = reader.Bytes(*data_size);
  if (!data) return std::nullopt;
  item.creation_data.assign(data->begin(), data->end());
  return item;
}

}  // namespace

std::u16string PredefinedClassName(WORD ordinal) {
  switch (ordinal) {
    case 0x80:
      return u"Button";
    case 0x81:
      return u"Edit";
    case 0x82:
      return u"Static";
    case 0x83:
      return u"ListBox";
    case 0x84:
      return u"ScrollBar";
    case 0x85:
      return u"ComboBox";
    default:
      return {};
  }
}

std::optional<DialogTemplate> ParseDialogTemplate(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  DialogTemplate dialog;
  auto style = reader.U32();
  if (!style || *style == kExtendedSignature) return std::nullopt;
  auto ex_style = reader.U32();
  auto count = reader.U16();
  auto x = reader.I16();
  auto y = reader.I16();
  auto cx = reader.I16();
  auto cy = reader.I16();
  if (!cy) return std::nullopt;  // the last fixed field: the earlier ones were read too
  dialog.style = *style;
  dialog.ex_style = *ex_style;
  dialog.x = *x;
  dialog.y = *y;
  dialog.cx = *cx;
  dialog.cy = *cy;

  auto menu = reader.Id();
  auto window_class = menu ? reader.Id() : std::nullopt;
  auto title = window_class ? reader.String() : std::nullopt;
  if (!title) return std::nullopt;
  dialog.menu = IdToText(*menu);
  dialog.window_class = IdToText(*window_class);
  dialog.title = std::move(*title);

  if (dialog.style & DS_SETFONT) {
    auto point_size = reader.U16();
    auto face = point_size ? reader.String() : std::nullopt;
    if (!face) return std::nullopt;
    dialog.point_size = *point_size;
    dialog.face = std::move(*face);
  }

  for (WORD i = 0; i < *count; ++i) {
    auto item = ParseItem(reader);
    if (!item) return std::nullopt;
    dialog.items.push_back(std::move(*item));
  }
  return dialog;
}

}  // namespace wce
