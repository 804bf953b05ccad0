// AnchorLayout over real windows of the device: registration modes, and the placement of each
// mode when the client area changes size.
#include "ui/anchor_layout.h"

#include <gtest/gtest.h>

#include "support/program_fixture.h"

namespace kepla_test {
namespace {

class AnchorLayoutTest : public ProgramFixture {
 protected:
  void SetUp() override {
    Boot();
    dialog_ = CreateWindowExW(0, TEXT("Static"), TEXT(""), WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                              NULL, NULL, NULL, NULL);
    ASSERT_NE(dialog_, nullptr);
    RECT client = {};
    ASSERT_TRUE(GetClientRect(dialog_, &client));
    ASSERT_EQ(client.right - client.left, 240);
    ASSERT_EQ(client.bottom - client.top, 320);
  }
  void TearDown() override {
    if (dialog_ != NULL) DestroyWindow(dialog_);
    ProgramFixture::TearDown();
  }

  void AddControl(int id, int x, int y, int width, int height) {
    HWND control =
        CreateWindowExW(0, TEXT("Static"), TEXT(""), WS_CHILD | WS_VISIBLE, x, y, width, height,
                        dialog_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), NULL, NULL);
    ASSERT_NE(control, nullptr);
  }

  // The control's rectangle in the dialog's client coordinates.
  RECT Rect(int id) {
    RECT rect = {};
    EXPECT_TRUE(GetWindowRect(GetDlgItem(dialog_, id), &rect));
    MapWindowPoints(NULL, dialog_, reinterpret_cast<LPPOINT>(&rect), 2);
    return rect;
  }

  static const AnchorItem* Item(const AnchorLayout& layout, int id) {
    for (const AnchorItem* item = layout.Head(); item != NULL; item = item->next) {
      if (item->controlId == id) return item;
    }
    return NULL;
  }

  HWND dialog_ = NULL;
};

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// 240x320 client: the centre lines are x = 120 and y = 160.
TEST_F(AnchorLayoutTest, AutomaticModeFollowsTheControlsSideOfTheCentreLine) {
  AddControl(1, 10, 10, 100, 40);   // right 110, bottom 50: before both lines
  AddControl(2, 20, 120, 100, 40);  // right edge exactly on x = 120, bottom exactly on y = 160
  AddControl(3, 121, 161, 50, 50);  // wholly after both lines
  AddControl(4, 120, 160, 50, 50);  // left and top edges on the lines
  AddControl(5, 0, 0, 240, 320);    // spans both lines
  AnchorLayout layout(dialog_);
  for (int id = 1; id <= 5; ++id) layout.AddItem(id, AnchorAutomatic, AnchorAutomatic);

  const int expected[][2] = {{AnchorNear, AnchorNear},
                             {AnchorBoth, AnchorBoth},
                             {AnchorFar, AnchorFar},
                             {AnchorBoth, AnchorBoth},
                             {AnchorBoth, AnchorBoth}};
  for (int id = 1; id <= 5; ++id) {
    const AnchorItem* item = Item(layout, id);
    ASSERT_NE(item, nullptr) << id;
    EXPECT_EQ(item->horizontal.mode, expected[id - 1][0]) << "control " << id;
    EXPECT_EQ(item->vertical.mode, expected[id - 1][1]) << "control " << id;
  }
}

TEST_F(AnchorLayoutTest, RegistrationKeepsOrderModesAndDefaults) {
  AddControl(7, 10, 200, 100, 40);
  AddControl(8, 10, 10, 50, 30);
  AnchorLayout layout(dialog_);
  EXPECT_EQ(layout.Width(), 240);
  EXPECT_EQ(layout.Height(), 320);
  layout.AddItem(7, AnchorFar, AnchorNear);  // given modes win over the automatic choice
  layout.AddItem(8, AnchorAutomatic, AnchorBoth);

  const AnchorItem* first = layout.Head();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(first->next, nullptr);
  EXPECT_EQ(first->next->next, nullptr);
  EXPECT_EQ(first->controlId, 7);
  EXPECT_EQ(first->next->controlId, 8);
  EXPECT_EQ(first->horizontal.mode, AnchorFar);
  EXPECT_EQ(first->vertical.mode, AnchorNear);
  EXPECT_EQ(first->next->horizontal.mode, AnchorNear);
  EXPECT_EQ(first->next->vertical.mode, AnchorBoth);
  EXPECT_EQ(first->horizontal.offset, 240 - 100);  // client extent less the control's
  EXPECT_EQ(first->vertical.offset, 320 - 40);

  layout.Clear();
  EXPECT_EQ(layout.Head(), nullptr);
  layout.AddItem(8, AnchorNear, AnchorNear);  // usable again after Clear
  ASSERT_NE(layout.Head(), nullptr);
  EXPECT_EQ(layout.Head()->next, nullptr);
}

TEST_F(AnchorLayoutTest, PortraitToLandscapeMovesAndResizesByTheChange) {
  AddControl(1, 10, 250, 100, 40);  // bottom half, far edge vertically
  AddControl(2, 5, 5, 200, 300);    // both edges on both axes
  AddControl(3, 10, 10, 50, 30);    // near edges
  AddControl(4, 200, 10, 30, 30);   // far edge horizontally
  AnchorLayout layout(dialog_);
  layout.AddItem(1, AnchorNear, AnchorFar);
  layout.AddItem(2, AnchorBoth, AnchorBoth);
  layout.AddItem(3, AnchorNear, AnchorNear);
  layout.AddItem(4, AnchorFar, AnchorNear);

  layout.Relayout(SIZE_RESTORED, MAKELPARAM(320, 240));

  EXPECT_TRUE(SameRect(Rect(1), RECT{10, 170, 110, 210}));  // up by 80, same size
  EXPECT_TRUE(SameRect(Rect(2), RECT{5, 5, 285, 225}));     // 80 wider, 80 shorter
  EXPECT_TRUE(SameRect(Rect(3), RECT{10, 10, 60, 40}));     // unchanged
  EXPECT_TRUE(SameRect(Rect(4), RECT{280, 10, 310, 40}));   // right by 80
  EXPECT_EQ(layout.Width(), 320);
  EXPECT_EQ(layout.Height(), 240);
}

TEST_F(AnchorLayoutTest, ResizeAndItsReverseRestoreThePlacement) {
  AddControl(1, 10, 250, 100, 40);
  AddControl(2, 5, 5, 200, 300);
  AddControl(3, 150, 100, 60, 20);
  AnchorLayout layout(dialog_);
  for (int id = 1; id <= 3; ++id) layout.AddItem(id, AnchorAutomatic, AnchorAutomatic);
  const RECT before[] = {Rect(1), Rect(2), Rect(3)};

  layout.Relayout(SIZE_MAXIMIZED, MAKELPARAM(320, 240));
  EXPECT_FALSE(SameRect(Rect(1), before[0]));
  layout.Relayout(SIZE_RESTORED, MAKELPARAM(240, 320));
  for (int id = 1; id <= 3; ++id) EXPECT_TRUE(SameRect(Rect(id), before[id - 1])) << id;
}

TEST_F(AnchorLayoutTest, OtherSizeKindsChangeNothing) {
  AddControl(1, 5, 5, 200, 300);
  AnchorLayout layout(dialog_);
  layout.AddItem(1, AnchorBoth, AnchorBoth);
  const RECT before = Rect(1);
  for (WPARAM kind : {SIZE_MINIMIZED, SIZE_MAXSHOW, SIZE_MAXHIDE}) {
    layout.Relayout(kind, MAKELPARAM(320, 240));
    EXPECT_TRUE(SameRect(Rect(1), before)) << "kind " << kind;
    EXPECT_EQ(layout.Width(), 240);
    EXPECT_EQ(layout.Height(), 320);
  }
}

TEST_F(AnchorLayoutTest, EmptyLayoutStillRecordsTheNewSize) {
  AnchorLayout layout(dialog_);
  layout.Relayout(SIZE_RESTORED, MAKELPARAM(320, 240));
  EXPECT_EQ(layout.Width(), 320);
  EXPECT_EQ(layout.Height(), 240);
}

TEST_F(AnchorLayoutTest, ControlShrunkToNothingRegrowsFromItsRegisteredExtent) {
  AddControl(1, 5, 5, 200, 300);  // offsets 40 and 20
  AnchorLayout layout(dialog_);
  layout.AddItem(1, AnchorBoth, AnchorBoth);

  layout.Relayout(SIZE_RESTORED, MAKELPARAM(30, 10));  // 200 - 210 and 300 - 310: nothing left
  RECT shrunk = Rect(1);
  EXPECT_EQ(shrunk.right - shrunk.left, 0);
  EXPECT_EQ(shrunk.bottom - shrunk.top, 0);

  layout.Relayout(SIZE_RESTORED, MAKELPARAM(320, 240));
  EXPECT_TRUE(SameRect(Rect(1), RECT{5, 5, 5 + 320 - 40, 5 + 240 - 20}));
}

}  // namespace
}  // namespace kepla_test
