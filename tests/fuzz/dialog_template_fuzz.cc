// Dialog templates on any bytes. The items' texts are decoded copies: the check is that the
// parser stays inside the span (the sanitizers) and keeps its item count honest.
#include <span>

#include "fuzz_check.h"
#include "resource/dialog_template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto parsed = wce::ParseDialogTemplate(std::span<const std::uint8_t>(data, size));
  if (!parsed) return 0;
  // Every item takes at least 18 bytes of template (its fixed fields), after the 18-byte header.
  FUZZ_CHECK(18 + parsed->items.size() * 18 <= size);
  for (const wce::DialogItem& item : parsed->items) FUZZ_CHECK(item.creation_data.size() <= size);
  return 0;
}
