#include "resource/string_table.h"

#include <map>

#include <gtest/gtest.h>

#include "resource_test_util.h"
#include "wince/testdata/test_resource.h"

namespace {

using kepla_test::Bytes;
using wce::ParseStringBlock;
using wce::StringBlock;
using wce::StringSlotData;

// The slot of string `id` in `entries`, through the block that holds it.
StringSlotData SlotOf(const std::vector<wce::ResEntry>& entries, unsigned id) {
  auto block =
      ParseStringBlock(kepla_test::DataOf(entries, wce::kTypeString, wce::StringBlockName(id)));
  EXPECT_TRUE(block) << "block of " << id;
  return block ? block->slots[wce::StringSlot(id)] : StringSlotData{};
}

TEST(StringTable, ProgramTextsAreExact) {
  const std::map<unsigned, std::u16string> expected = {
      {101, u"Next"},
      {102, u"Update"},
      {103, u"Cancel"},
      {104, u"Close"},
      {105, u"ZQV"},
      {106, u"Welcome to the [ZARN_WORD_TEMPLATE] Firmware Upgrade Utility."},
      {107, u"KEPLA_WINDOW_CLASS"},
      {108, u"ZQV"},
      {109, u"Error"},
      {110,
       u"There is not enough space in your storage card. Free up to 200MB of storage space in "
       u"your card then try again."},
      {111, u"The battery power is not enough. Recharge the battery up to 60%, then try again."},
      {112, u"Preparing data, please wait\u2026"},
      {113,
       u"Ensure that the language in your device is the same as that in this upgrade program."},
      {114, u"There is not enough memory, close other applications and try gain."},
      {115, u"Data preparation failed. Format your storage card then try again."},
      {116,
       u"To complete the firmware upgrade process, please continue with the following "
       u"steps:\n\n"},
      {117,
       u"1. Press and hold Volume Down key (on left side) and poke reset hole (on bottom side) "
       u"with stylus, then wait for the device to reboot.\n\n2. Continue to hold Volume Down "
       u"key until the screen shows checksum percentage."},
      {118, u"Click Next to continue or Cancel to exit."},
      {119, u"Your device will be upgraded:"},
      {120, u"From"},
      {121, u"To"},
      {122, u"ROM Version: "},
      {123,
       u"This software is only support the \"ZARN_WORD_TEMPLATE\" device. Ensure that your "
       u"device is the right type."},
      {124, u"Ext ROM Version:"},
  };
  const auto& entries = kepla_test::ProgramEntries();
  for (const auto& [id, text] : expected) {
    StringSlotData slot = SlotOf(entries, id);
    EXPECT_EQ(slot.Text(), text) << "string " << id;
    // Stored with the terminator, so the text can be used in place.
    EXPECT_TRUE(slot.zero_terminated()) << "string " << id;
    EXPECT_EQ(slot.units.size(), (text.size() + 1) * 2) << "string " << id;
  }
  // Nothing else is defined around the table.
  EXPECT_FALSE(SlotOf(entries, 100).used());
  EXPECT_FALSE(SlotOf(entries, 125).used());
}

TEST(StringTable, SlotsOfTheTestTable) {
  const auto& entries = kepla_test::TestEntries();
  EXPECT_EQ(SlotOf(entries, IDS_T_HELLO).Text(), u"Hello");
  EXPECT_EQ(SlotOf(entries, IDS_T_ACCENT).Text(), u"Caf\u00e9 \u2013 5 \u20ac");
  EXPECT_EQ(SlotOf(entries, IDS_T_NEXT_BLOCK).Text(), u"Second block");  // block 2, slot 0
  EXPECT_EQ(SlotOf(entries, IDS_T_LONG).Text(), u"A longer text that spans\nseveral words.");

  // An empty text is stored as a lone terminator: present, unlike an unused slot.
  StringSlotData empty = SlotOf(entries, IDS_T_EMPTY);
  EXPECT_TRUE(empty.used());
  EXPECT_TRUE(empty.zero_terminated());
  EXPECT_EQ(empty.length(), 0u);
  EXPECT_EQ(empty.Text(), u"");
  EXPECT_FALSE(SlotOf(entries, 3).used());
  EXPECT_FALSE(SlotOf(entries, 0).used());
}

TEST(StringTable, KeepsTextsStoredWithoutTerminator) {
  Bytes b;
  b.U16(2).U16(u'H').U16(u'i');      // slot 0: "Hi", no terminator
  b.U16(3).U16(u'a').U16(0).U16(0);  // slot 1: "a" and a zero, then the terminator
  for (int i = 2; i < 16; ++i) b.U16(0);
  auto block = ParseStringBlock(b.span());
  ASSERT_TRUE(block);
  EXPECT_EQ(block->slots[0].Text(), u"Hi");
  EXPECT_FALSE(block->slots[0].zero_terminated());
  EXPECT_EQ(block->slots[1].Text(), std::u16string(u"a\0", 2));  // only one zero is dropped
  EXPECT_FALSE(block->slots[15].used());
}

TEST(StringTable, RefusesEveryTruncatedBlock) {
  auto data = kepla_test::DataOf(kepla_test::ProgramEntries(), wce::kTypeString, 8);
  ASSERT_FALSE(data.empty());
  for (std::size_t n = 0; n < data.size(); ++n) {
    // A copy of exactly n bytes, so that a read past them is caught by the address sanitizer.
    std::vector<std::uint8_t> part(data.begin(), data.begin() + n);
    auto block = ParseStringBlock(part);
    // Trailing unused slots need their count words; only the full block parses.
    EXPECT_FALSE(block) << "prefix " << n;
  }
  auto whole = ParseStringBlock(data);
  ASSERT_TRUE(whole);

  // A count that claims more text than the block holds.
  Bytes b;
  b.U16(0xFFFF).U16(u'x');
  EXPECT_FALSE(ParseStringBlock(b.span()));
}

}  // namespace
