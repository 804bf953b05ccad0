// The .res reader on any bytes, and the template, menu and string-block parsers on every entry it
// finds, as the module loader hands them out.
#include <span>

#include "fuzz_check.h"
#include "resource/dialog_template.h"
#include "resource/menu_template.h"
#include "resource/res_file.h"
#include "resource/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  auto entries = wce::ParseResFile(image);
  if (!entries) return 0;
  for (const wce::ResEntry& entry : *entries) {
    // Each entry's data lies inside the image.
    FUZZ_CHECK(entry.data.empty() ||
               (entry.data.data() >= data && entry.data.data() + entry.data.size() <= data + size));
    if (entry.type.is_name) continue;
    switch (entry.type.ordinal) {
      case wce::kTypeDialog:
        wce::ParseDialogTemplate(entry.data);
        break;
      case wce::kTypeMenu:
        wce::ParseMenu(entry.data);
        break;
      case wce::kTypeString:
        wce::ParseStringBlock(entry.data);
        break;
      default:
        break;
    }
  }
  return 0;
}
