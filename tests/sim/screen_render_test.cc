#include "sim/screen_render.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
  // After other words the long one starts a line: it is never glued onto the word before.
  lines = WrapText(U"The battery is low", 4);
  EXPECT_EQ(lines, (std::vector<std::u32string>{U"The", U"batt", U"ery", U"is", U"low"}));
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

// A page as small displays get it: a text and a progress bar placed for a 240x320 screen, a
// control partly off the screen, and the refusal message box over them.
wce::ScreenSnapshot SmallPageWithMessageBox(int width, int height) {
  wce::ScreenSnapshot snap = Page(width, height);
  wce::ControlSnapshot text;
  text.id = 1004;
  text.class_name = u"Static";
  text.text = u"Welcome to the [QMR407] Firmware Upgrade Utility.";
  text.rect = {4, 30, 236, 90};
  snap.controls.push_back(text);
  wce::ControlSnapshot bar;
  bar.id = 1003;
  bar.class_name = u"msctls_progress32";
  bar.progress_pos = 65;
  bar.rect = {-40, 20, 124, 41};
  snap.controls.push_back(bar);
  snap.message_box = wce::MessageBoxSnapshot{
      u"ZQV", u"The battery power is not enough. Recharge the battery up to 60%, then try again.",
      u"Error", 0};
  return snap;
}

// The one-cell frame around the device screen, untouched by anything drawn inside it.
void ExpectIntactFrame(const CellGrid& g, const std::string& what) {
  const int w = g.cols(), h = g.rows();
  auto expect = [&](int x, int y, char32_t ch) {
    EXPECT_EQ(g.at(x, y).ch, ch) << what << " at " << x << "," << y;
    EXPECT_EQ(g.at(x, y).attr, kAttrBorder) << what << " at " << x << "," << y;
  };
  for (int x = 1; x < w - 1; ++x) {
    expect(x, 0, U'\u2500');
    expect(x, h - 1, U'\u2500');
  }
  for (int y = 1; y < h - 1; ++y) {
    expect(0, y, U'\u2502');
    expect(w - 1, y, U'\u2502');
  }
  expect(0, 0, U'\u250c');
  expect(w - 1, 0, U'\u2510');
  expect(0, h - 1, U'\u2514');
  expect(w - 1, h - 1, U'\u2518');
}

TEST(RenderScreen, SmallAndDegenerateDisplaysDrawInsideTheFrame) {
  // display.width and display.height may be anything from 1 to 4096.
  for (auto [w, h] :
       {std::pair{1, 1}, std::pair{1, 4096}, std::pair{4096, 1}, std::pair{6, 6}, std::pair{7, 13},
        std::pair{13, 40}, std::pair{30, 30}, std::pair{40, 30}, std::pair{48, 64},
        std::pair{60, 60}, std::pair{60, 100}, std::pair{100, 60}}) {
    const std::string what = std::to_string(w) + "x" + std::to_string(h);
    for (bool with_box : {false, true}) {
      wce::ScreenSnapshot snap = SmallPageWithMessageBox(w, h);
      if (!with_box) snap.message_box.reset();
      const CellGrid g = RenderScreen(snap);
      ASSERT_EQ(g.cols(), ScreenCols(snap, DefaultScale(snap))) << what;
      ASSERT_EQ(g.rows(), ScreenRows(snap, DefaultScale(snap))) << what;
      ExpectIntactFrame(g, what + (with_box ? " with a message box" : ""));
    }
  }
}

TEST(RenderScreen, MessageBoxOnASmallDisplayKeepsItsFrameCaptionAndOk) {
  // 60x60 is 10x5 cells inside the frame: too low for the full box with its blank rows.
  const wce::ScreenSnapshot snap = SmallPageWithMessageBox(60, 60);
  const CellGrid g = RenderScreen(snap);
  ASSERT_EQ(g.cols(), 12);
  ASSERT_EQ(g.rows(), 7);
  EXPECT_TRUE(GridContains(g, "[ OK ]"));
  EXPECT_TRUE(GridContains(g, "Err"));
  EXPECT_TRUE(GridContains(g, "\u2554"));  // both corners of the box's top and bottom
  EXPECT_TRUE(GridContains(g, "\u2557"));
  EXPECT_TRUE(GridContains(g, "\u255a"));
  EXPECT_TRUE(GridContains(g, "\u255d"));

  // Narrower than the box: it takes what there is and is cut at the frame.
  const CellGrid narrow = RenderScreen(SmallPageWithMessageBox(13, 320));
  ExpectIntactFrame(narrow, "13x320");
  EXPECT_TRUE(GridContains(narrow, "\u2554"));
}

}  // namespace
}  // namespace kepla
