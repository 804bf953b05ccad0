// RT_STRING blocks on any bytes: every slot lies inside the block, and its text is what its
// units say less one stored terminator.
#include <span>

#include "fuzz_check.h"
#include "resource/string_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto block = wce::ParseStringBlock(std::span<const std::uint8_t>(data, size));
  if (!block) return 0;
  std::size_t total = 0;
  for (const wce::StringSlotData& slot : block->slots) {
    FUZZ_CHECK(slot.units.empty() ||
               (slot.units.data() >= data && slot.units.data() + slot.units.size() <= data + size));
    FUZZ_CHECK(slot.units.size() % 2 == 0);
    const std::u16string text = slot.Text();
    FUZZ_CHECK(text.size() == slot.length());
    FUZZ_CHECK(slot.length() + (slot.zero_terminated() ? 1 : 0) == slot.units.size() / 2);
    total += 2 + slot.units.size();
  }
  FUZZ_CHECK(total <= size);
  return 0;
}
