#include "resource/dialog_template.h"

#include <gtest/gtest.h>

#include "resource_test_util.h"
#include "wince/testdata/test_resource.h"

namespace {

using kepla_test::Bytes;
using wce::DialogItem;
using wce::DialogTemplate;
using wce::ParseDialogTemplate;

constexpr DWORD kPageStyle =
    0x80C80048;  // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT | DS_FIXEDSYS
constexpr DWORD kStaticStyle = 0x50020000;  // WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT
constexpr DWORD kBarStyle = 0x50800000;     // WS_CHILD | WS_VISIBLE | WS_BORDER

struct Rect {
  short x, y, cx, cy;
};

void ExpectItem(const DialogItem& item, WORD id, const std::u16string& cls, DWORD style,
                const std::u16string& title, Rect r) {
  SCOPED_TRACE(testing::Message() << "control " << id);
  EXPECT_EQ(item.id, id);
  EXPECT_EQ(item.class_name, cls);
  EXPECT_EQ(item.style, style);
  EXPECT_EQ(item.ex_style, 0u);
  EXPECT_EQ(item.title, title);
  EXPECT_FALSE(item.title_ordinal);
  EXPECT_TRUE(item.creation_data.empty());
  EXPECT_EQ(item.x, r.x);
  EXPECT_EQ(item.y, r.y);
  EXPECT_EQ(item.cx, r.cx);
  EXPECT_EQ(item.cy, r.cy);
}

DialogTemplate ProgramDialog(WORD id) {
  auto dialog =
      ParseDialogTemplate(kepla_test::DataOf(kepla_test::ProgramEntries(), wce::kTypeDialog, id));
  EXPECT_TRUE(dialog) << "dialog " << id;
  return dialog.value_or(DialogTemplate{});
}

TEST(DialogTemplate, TestPageWithEveryKindOfControl) {
  auto dialog = ParseDialogTemplate(
      kepla_test::DataOf(kepla_test::TestEntries(), wce::kTypeDialog, IDD_T_PAGE));
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->style, kPageStyle);
  EXPECT_EQ(dialog->x, 10);
  EXPECT_EQ(dialog->y, 20);
  EXPECT_EQ(dialog->cx, 120);
  EXPECT_EQ(dialog->cy, 90);
  EXPECT_EQ(dialog->menu, u"");
  EXPECT_EQ(dialog->window_class, u"");
  EXPECT_EQ(dialog->title, u"Test page");
  EXPECT_EQ(dialog->point_size, 8);
  EXPECT_EQ(dialog->face, u"Tahoma");
  ASSERT_EQ(dialog->items.size(), 3u);
  ExpectItem(dialog->items[0], IDC_T_LABEL, u"Static", kStaticStyle, u"Label", {4, 6, 100, 12});
  ExpectItem(dialog->items[1], IDC_T_BAR, u"msctls_progress32", kBarStyle, u"", {4, 22, 100, 10});
  ExpectItem(dialog->items[2], IDC_T_OK, u"Button", 0x50010000, u"OK", {4, 40, 50, 14});
}

TEST(DialogTemplate, ProgramPagesMatchTheirLayouts) {
  struct Expected {
    WORD id;
    short cx, cy;
    std::vector<std::tuple<WORD, std::u16string, Rect>> controls;  // id, text, rect
  };
  const std::u16string todo = u"TODO: Add your controls";
  const std::u16string unpacking = u"Unpacking data, please wait...";
  const Expected pages[] = {
      {201, 147, 177, {{1001, todo, {3, 3, 134, 26}}, {1002, u"Static", {3, 31, 134, 139}}}},
      {202, 177, 112, {{1001, todo, {3, 3, 164, 19}}, {1002, u"Static", {3, 23, 164, 86}}}},
      {203, 147, 177, {{1003, u"", {3, 3, 130, 14}}, {1004, unpacking, {3, 28, 134, 27}}}},
      {204, 177, 112, {{1003, u"", {3, 7, 169, 14}}, {1004, unpacking, {3, 28, 169, 22}}}},
      {205, 146, 177, {{1005, todo, {3, 3, 134, 167}}}},
      {206, 177, 112, {{1005, todo, {3, 3, 164, 106}}}},
  };
  for (const Expected& page : pages) {
    SCOPED_TRACE(testing::Message() << "dialog " << page.id);
    DialogTemplate dialog = ProgramDialog(page.id);
    EXPECT_EQ(dialog.style, kPageStyle);
    EXPECT_EQ(dialog.ex_style, 0u);
    EXPECT_EQ(dialog.x, 0);
    EXPECT_EQ(dialog.y, 0);
    EXPECT_EQ(dialog.cx, page.cx);
    EXPECT_EQ(dialog.cy, page.cy);
    EXPECT_EQ(dialog.menu, u"");
    EXPECT_EQ(dialog.window_class, u"");
    EXPECT_EQ(dialog.title, u"Dialog");
    EXPECT_EQ(dialog.point_size, 10);
    EXPECT_EQ(dialog.face, u"MS Shell Dlg");
    ASSERT_EQ(dialog.items.size(), page.controls.size());
    for (std::size_t i = 0; i < page.controls.size(); ++i) {
      const auto& [id, text, rect] = page.controls[i];
      const bool bar = id == 1003;
      ExpectItem(dialog.items[i], id, bar ? u"msctls_progress32" : u"Static",
                 bar ? kBarStyle : kStaticStyle, text, rect);
    }
  }
}

TEST(DialogTemplate, RefusesEveryTruncatedTemplate) {
  for (WORD id : {201, 204, 205}) {
    auto data = kepla_test::DataOf(kepla_test::ProgramEntries(), wce::kTypeDialog, id);
    ASSERT_TRUE(ParseDialogTemplate(data));
    for (std::size_t n = 0; n < data.size(); ++n) {
      // The last field of the last control ends the data: every shorter prefix lacks something.
      std::vector<std::uint8_t> part(data.begin(), data.begin() + n);  // exactly n bytes
      EXPECT_FALSE(ParseDialogTemplate(part)) << "dialog " << id << " prefix " << n;
    }
  }
}

// A template without a font, with ordinal class, title and menu, and creation data.
Bytes HandMadeTemplate(WORD count) {
  Bytes b;
  b.U32(0x80000000).U32(0x8).U16(count).U16(1).U16(2).U16(30).U16(40);
  b.U16(0xFFFF).U16(77);  // menu ordinal
  b.Str(u"MyClass");      // class name
  b.Str(u"T");            // title; no font: DS_SETFONT is clear
  b.Align4();
  b.U32(0x50000000).U32(0).U16(1).U16(2).U16(3).U16(4).U16(9);
  b.U16(0xFFFF).U16(0x80);           // Button
  b.U16(0xFFFF).U16(300);            // an icon id as title
  b.U16(3).Raw({0xAA, 0xBB, 0xCC});  // three bytes of creation data
  b.Align4();
  b.U32(0x50000000).U32(0).U16(5).U16(6).U16(7).U16(8).U16(10);
  b.U16(0xFFFF).U16(0x99);  // no predefined name
  b.Str(u"x");
  b.U16(0);
  return b;
}

TEST(DialogTemplate, ReadsOrdinalsCreationDataAndAlignsEachControl) {
  Bytes b = HandMadeTemplate(2);
  auto dialog = ParseDialogTemplate(b.span());
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->ex_style, 0x8u);
  EXPECT_EQ(dialog->menu, u"#77");
  EXPECT_EQ(dialog->window_class, u"MyClass");
  EXPECT_EQ(dialog->title, u"T");
  EXPECT_EQ(dialog->point_size, 0);
  EXPECT_EQ(dialog->face, u"");
  ASSERT_EQ(dialog->items.size(), 2u);
  EXPECT_EQ(dialog->items[0].class_name, u"Button");
  EXPECT_EQ(dialog->items[0].title_ordinal, 300);
  EXPECT_EQ(dialog->items[0].creation_data, (std::vector<std::uint8_t>{0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(dialog->items[1].id, 10);
  EXPECT_EQ(dialog->items[1].class_name, u"#153");
  EXPECT_EQ(dialog->items[1].cy, 8);

  // More controls declared than present.
  EXPECT_FALSE(ParseDialogTemplate(HandMadeTemplate(3).span()));
}

TEST(DialogTemplate, RefusesExtendedTemplatesAndUnterminatedTexts) {
  Bytes ex;
  ex.U16(1).U16(0xFFFF).U32(0).U32(0).U32(kPageStyle).U16(0).U16(0).U16(0).U16(10).U16(10);
  ex.U16(0).U16(0).U16(0);
  EXPECT_FALSE(ParseDialogTemplate(ex.span()));

  Bytes open_title;
  open_title.U32(0).U32(0).U16(0).U16(0).U16(0).U16(10).U16(10).U16(0).U16(0).U16(u'a');
  EXPECT_FALSE(ParseDialogTemplate(open_title.span()));
}

}  // namespace
