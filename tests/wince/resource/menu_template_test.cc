#include "resource/menu_template.h"

#include <gtest/gtest.h>

#include "resource_test_util.h"
#include "wince/testdata/test_resource.h"

namespace {

using kepla_test::Bytes;
using wce::kMenuEnd;
using wce::kMenuGrayed;
using wce::kMenuPopup;
using wce::MenuItem;
using wce::ParseMenu;

std::span<const std::uint8_t> MenuData(const std::vector<wce::ResEntry>& entries, WORD id) {
  return kepla_test::DataOf(entries, wce::kTypeMenu, id);
}

TEST(MenuTemplate, ProgramSoftKeyMenus) {
  const struct {
    WORD menu, left, right;
  } menus[] = {{2001, 40001, 40002}, {2002, 40003, 40004}, {2003, 40005, 40006}};
  for (const auto& m : menus) {
    SCOPED_TRACE(testing::Message() << "menu " << m.menu);
    auto items = ParseMenu(MenuData(kepla_test::ProgramEntries(), m.menu));
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 2u);
    EXPECT_EQ((*items)[0].flags, 0);
    EXPECT_EQ((*items)[0].id, m.left);
    EXPECT_EQ((*items)[0].text, u"LSK");
    EXPECT_EQ((*items)[1].flags, kMenuEnd);
    EXPECT_EQ((*items)[1].id, m.right);
    EXPECT_EQ((*items)[1].text, u"RSK");
  }
}

TEST(MenuTemplate, GrayedItemsAndNestedPopups) {
  auto keys = ParseMenu(MenuData(kepla_test::TestEntries(), IDM_T_SOFTKEYS));
  ASSERT_TRUE(keys);
  ASSERT_EQ(keys->size(), 2u);
  EXPECT_FALSE((*keys)[0].grayed());
  EXPECT_TRUE((*keys)[1].grayed());
  EXPECT_EQ((*keys)[1].flags, kMenuGrayed | kMenuEnd);

  auto nested = ParseMenu(MenuData(kepla_test::TestEntries(), IDM_T_NESTED));
  ASSERT_TRUE(nested);
  ASSERT_EQ(nested->size(), 2u);
  const MenuItem& file = (*nested)[0];
  EXPECT_TRUE(file.is_popup());
  EXPECT_EQ(file.text, u"File");
  EXPECT_EQ(file.id, 0);
  ASSERT_EQ(file.children.size(), 4u);
  EXPECT_EQ(file.children[0].id, IDM_T_OPEN);
  const MenuItem& more = file.children[1];
  EXPECT_TRUE(more.is_popup());
  ASSERT_EQ(more.children.size(), 1u);
  EXPECT_EQ(more.children[0].id, IDM_T_DEEP);
  EXPECT_EQ(more.children[0].text, u"Deep");
  // A separator is an item with id 0 and no text.
  EXPECT_EQ(file.children[2].id, 0);
  EXPECT_EQ(file.children[2].text, u"");
  EXPECT_EQ(file.children[3].id, IDM_T_SAVE);
  // The popup's own level continues after its children.
  EXPECT_EQ((*nested)[1].id, IDM_T_QUIT);
  EXPECT_TRUE((*nested)[1].children.empty());
}

TEST(MenuTemplate, RefusesEveryTruncatedMenu) {
  for (WORD id : {IDM_T_NESTED, IDM_T_SOFTKEYS}) {
    auto data = MenuData(kepla_test::TestEntries(), id);
    ASSERT_TRUE(ParseMenu(data));
    for (std::size_t n = 0; n < data.size(); ++n) {
      std::vector<std::uint8_t> part(data.begin(), data.begin() + n);  // exactly n bytes
      EXPECT_FALSE(ParseMenu(part)) << "menu " << id << " prefix " << n;
    }
  }
}

// `depth` popups nested in each other around one command.
Bytes NestedPopups(int depth) {
  Bytes b;
  b.U16(0).U16(0);
  for (int i = 0; i < depth; ++i) b.U16(kMenuPopup | kMenuEnd).Str(u"p");
  return b.U16(kMenuEnd).U16(1).Str(u"leaf");
}

TEST(MenuTemplate, HeaderVersionOffsetAndDepth) {
  // The header's second word is the number of bytes to skip before the items.
  Bytes offset;
  offset.U16(0).U16(4).U32(0xDEADBEEF).U16(kMenuEnd).U16(7).Str(u"x");
  auto items = ParseMenu(offset.span());
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 1u);
  EXPECT_EQ((*items)[0].id, 7);

  // MENUEX (version 1) is not this platform's format.
  Bytes ex;
  ex.U16(1).U16(4).U32(0).U16(kMenuEnd).U16(7).Str(u"x");
  EXPECT_FALSE(ParseMenu(ex.span()));

  // A level without its end flag runs off the data.
  Bytes no_end;
  no_end.U16(0).U16(0).U16(0).U16(1).Str(u"a").U16(0).U16(2).Str(u"b");
  EXPECT_FALSE(ParseMenu(no_end.span()));

  EXPECT_TRUE(ParseMenu(NestedPopups(15).span()));
  EXPECT_FALSE(ParseMenu(NestedPopups(16).span()));
}

}  // namespace
