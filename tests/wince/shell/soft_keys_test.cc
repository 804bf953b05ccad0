// The soft-key model and the screen geometry, as pure values.
#include "shell/soft_keys.h"

#include <gtest/gtest.h>

#include "model/display.h"

namespace {

using wce::MenuItem;
using wce::SoftKeys;

MenuItem Item(WORD id, std::u16string text, WORD flags = 0) {
  return MenuItem{flags, id, text, {}};
}

TEST(SoftKeysTest, TheFirstTwoMenuItemsBecomeTheKeys) {
  auto keys = SoftKeys::FromMenu(
      {Item(40001, u"&Next"), Item(40002, u"Can&cel", wce::kMenuGrayed), Item(40003, u"Extra")});
  ASSERT_TRUE(keys);
  ASSERT_EQ(keys->keys().size(), 2u);
  EXPECT_EQ(keys->keys()[0].command, 40001);
  EXPECT_EQ(keys->keys()[0].label, u"Next");
  EXPECT_TRUE(keys->keys()[0].enabled);
  EXPECT_EQ(keys->keys()[1].label, u"Cancel");
  EXPECT_FALSE(keys->keys()[1].enabled) << "a grayed item starts disabled";

  EXPECT_FALSE(SoftKeys::FromMenu({})) << "a menu with no item makes no bar";
  EXPECT_EQ(wce::StripMnemonic(u"R&&D &x&"), u"R&D x&");
}

TEST(SoftKeysTest, EnableByIndexOrByCommandAndRefuseUnknownKeys) {
  auto keys = SoftKeys::FromMenu({Item(7, u"L"), Item(9, u"R")});
  ASSERT_TRUE(keys);
  EXPECT_TRUE(keys->Enable(0, true, false));
  EXPECT_FALSE(keys->keys()[0].enabled);
  EXPECT_TRUE(keys->keys()[1].enabled);

  EXPECT_TRUE(keys->Enable(9, false, false)) << "by command id";
  EXPECT_FALSE(keys->keys()[1].enabled);
  EXPECT_TRUE(keys->Enable(1, true, true)) << "index 1 is the right key, not command 1";
  EXPECT_TRUE(keys->keys()[1].enabled);

  EXPECT_FALSE(keys->Enable(2, true, true));
  EXPECT_FALSE(keys->Enable(0, false, true)) << "command 0 names no key";
  EXPECT_FALSE(keys->Enable(8, false, true));
  EXPECT_FALSE(keys->SetLabel(8, u"x"));
  EXPECT_TRUE(keys->SetLabel(7, u""));
  EXPECT_EQ(keys->keys()[0].label, u"");
}

TEST(SoftKeysTest, TapsSplitTheBarInTwoHalves) {
  auto both = SoftKeys::FromMenu({Item(1, u"L"), Item(2, u"R")});
  auto left_only = SoftKeys::FromMenu({Item(1, u"L")});
  ASSERT_TRUE(both && left_only);
  EXPECT_EQ(both->IndexAt(0, 240), 0);
  EXPECT_EQ(both->IndexAt(119, 240), 0);
  EXPECT_EQ(both->IndexAt(120, 240), 1);
  EXPECT_EQ(both->IndexAt(239, 240), 1);
  EXPECT_EQ(both->IndexAt(240, 240), std::nullopt);
  EXPECT_EQ(both->IndexAt(-1, 240), std::nullopt);
  EXPECT_EQ(left_only->IndexAt(200, 240), std::nullopt) << "no right key to hit";
}

TEST(DisplayTest, RotationCodesAndGeometry) {
  EXPECT_EQ(wce::OrientationCode(0), static_cast<DWORD>(DMDO_0));
  EXPECT_EQ(wce::OrientationCode(90), 1u);
  EXPECT_EQ(wce::OrientationCode(180), 2u);
  EXPECT_EQ(wce::OrientationCode(270), 4u);
  for (int degrees : {0, 90, 180, 270}) {
    EXPECT_EQ(wce::RotationFromCode(wce::OrientationCode(degrees)), degrees);
  }
  EXPECT_EQ(wce::RotationFromCode(3), std::nullopt) << "3 is the desktop's code, not the device's";
  EXPECT_FALSE(wce::IsValidRotation(45));

  const RECT landscape = wce::ScreenRect(240, 320, 270);
  EXPECT_EQ(landscape.right, 320);
  EXPECT_EQ(landscape.bottom, 240);
  const RECT work = wce::WorkArea(wce::ScreenRect(240, 320, 180));
  EXPECT_EQ(work.top, 26);
  EXPECT_EQ(work.bottom - work.top, 268);
  const RECT bar = wce::MenuBarRect(landscape);
  EXPECT_EQ(bar.top, 214);
  EXPECT_EQ(bar.bottom, 240);
}

}  // namespace
