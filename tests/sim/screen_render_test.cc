#include "sim/screen_render.h"

#include <gtest/gtest.h>

namespace kepla {
namespace {

std::string Row(const CellGrid& g, int row) { return ToUtf8(g.RowText(row)); }

bool GridContains(const CellGrid& g, const std::string& needle) {
  for (int y = 0; y < g.rows(); ++y) {
    if (Row(g, y).find(needle) != std::string::npos) return true;
  }
  return false;
}

wce::ScreenSnapshot Page(int width, int height) {
  wce::ScreenSnapshot snap;
  snap.width = width;
  snap.height = height;
  snap.has_window = true;
  snap.title = u"ZQV";
  snap.soft_keys = {{u"Next", true, 40001}, {u"Cancel", true, 40002}};
  return snap;
}

TEST(WrapText, RespectsLineFeedsAndWidth) {
  auto lines = WrapText(U"one two three\n\nfour", 7);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], U"one two");
  EXPECT_EQ(lines[1], U"three");
  EXPECT_EQ(lines[2], U"");
  EXPECT_EQ(lines[3], U"four");
}

TEST(WrapText, KeepsTheIndentationOfSummaryLines) {
  auto lines = WrapText(U"From ROM Version: 1.0\n         Ext ROM Version:1.0 ENG WWE", 40);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], U"         Ext ROM Version:1.0 ENG WWE");
  lines = WrapText(U"     Ext ROM Version:1.20.407 ENG WWE,HKG", 20);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], U"     Ext ROM");
}

TEST(WrapText, BreaksWordsLongerThanTheLine) {
  auto lines = WrapText(U"abcdefghij", 4);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], U"abcd");
  EXPECT_EQ(lines[2], U"ij");
}

TEST(RenderScreen, BothOrientationsFitAnEightyByTwentyFourTerminal) {
  for (auto [w, h] : {std::pair{240, 320}, std::pair{320, 240}}) {
    wce::ScreenSnapshot snap = Page(w, h);
    CellGrid g = RenderScreen(snap);
    EXPECT_LE(g.cols(), 80) << w << "x" << h;
    EXPECT_LE(g.rows() + 2, 24) << w << "x" << h;  // plus key line and note
  }
}

TEST(RenderScreen, DrawsTitleSoftKeysAndDimsDisabledKey) {
  wce::ScreenSnapshot snap = Page(240, 320);
  snap.soft_keys[0] = {u"", false, 40005};
  snap.soft_keys[1] = {u"Close", true, 40006};
  CellGrid g = RenderScreen(snap);
  EXPECT_NE(Row(g, 1).find("ZQV"), std::string::npos);
  const int keys = g.rows() - 2;
  EXPECT_NE(Row(g, keys).find("Close"), std::string::npos);
  EXPECT_TRUE(g.at(2, keys).attr & kAttrBar);
}

TEST(RenderScreen, WrapsStaticTextInsideItsRectangleWithEllipsis) {
  wce::ScreenSnapshot snap = Page(240, 320);
  wce::ControlSnapshot text;
  text.id = 1004;
  text.class_name = u"Static";
  text.text = u"Preparing data, please wait\u2026";
  text.rect = {4, 70, 124, 110};  // 20 columns wide
  snap.controls.push_back(text);
  CellGrid g = RenderScreen(snap);
  EXPECT_TRUE(GridContains(g, "Preparing data,"));
  EXPECT_TRUE(GridContains(g, "please wait\u2026"));
}

TEST(RenderScreen, ProgressBarFillsInProportion) {
  wce::ScreenSnapshot snap = Page(240, 320);
  wce::ControlSnapshot bar;
  bar.id = 1003;
  bar.class_name = u"msctls_progress32";
  bar.progress_pos = 50;
  bar.rect = {4, 30, 124, 51};
  snap.controls.push_back(bar);
  CellGrid g = RenderScreen(snap);
  int row = 1 + 30 / 16;
  int filled = 0, empty = 0;
  for (int x = 0; x < g.cols(); ++x) {
    filled += g.at(x, row).ch == U'\u2588';
    empty += g.at(x, row).ch == U'\u2591';
  }
  EXPECT_GT(filled, 0);
  EXPECT_NEAR(filled, empty, 1);
  EXPECT_NE(Row(g, row).find("50%"), std::string::npos);
}

TEST(RenderScreen, MessageBoxCoversThePageWithCaptionTextAndOk) {
  wce::ScreenSnapshot snap = Page(240, 320);
  snap.message_box = wce::MessageBoxSnapshot{
      u"ZQV", u"The battery power is not enough. Recharge the battery up to 60%, then try again.",
      u"Error", 0};
  CellGrid g = RenderScreen(snap);
  EXPECT_TRUE(GridContains(g, "Error"));
  EXPECT_TRUE(GridContains(g, "The battery power is"));
  EXPECT_TRUE(GridContains(g, "[ OK ]"));
}

}  // namespace
}  // namespace kepla
