// MENU resources on any bytes: the parser must stay inside the span, bound its nesting and mark
// the last item of every level.
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "resource/menu_template.h"

namespace {

// Checks one level and returns its depth (1 for a level without popups).
int CheckLevel(const std::vector<wce::MenuItem>& items) {
  FUZZ_CHECK(!items.empty());
  FUZZ_CHECK((items.back().flags & wce::kMenuEnd) != 0);
  int deepest = 0;
  for (const wce::MenuItem& item : items) {
    if (item.is_popup()) {
      const int depth = CheckLevel(item.children);
      deepest = depth > deepest ? depth : deepest;
    } else {
      FUZZ_CHECK(item.children.empty());
    }
  }
  return deepest + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto items = wce::ParseMenu(std::span<const std::uint8_t>(data, size));
  if (items) FUZZ_CHECK(CheckLevel(*items) <= 16);
  return 0;
}
