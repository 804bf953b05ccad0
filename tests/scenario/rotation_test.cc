// The display's rotation: a page opened on a rotated display is made from its landscape template;
// a page open while the display turns keeps its template and moves its controls with the new
// size.
#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "scenario/scenario_fixture.h"

namespace kepla_test {
namespace {

class RotationTest : public ScenarioTest, public ::testing::WithParamInterface<int> {};

// Every rotation but 0 opens the landscape templates, 180 included.
TEST_P(RotationTest, PagesOpenedRotatedUseTheLandscapeTemplates) {
  wce::DeviceProfile profile;
  profile.display_rotation = GetParam();
  BootReady(profile);
  StartWizard();
  wce::ScreenSnapshot welcome = WaitForTemplate(IDD_WELCOME_WIDE);
  EXPECT_EQ(welcome.rotation, GetParam());
  ASSERT_TRUE(Press(0));
  WaitForTemplate(IDD_PREPARE_WIDE);
  ASSERT_TRUE(Press(0));
  wce::ScreenSnapshot finish = WaitForTemplate(IDD_FINISH_WIDE);
  EXPECT_EQ(ControlText(finish, IDC_FINISH_TEXT).size(), 300u);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_TRUE(ImageBytes() == ExtractedImage());
}

INSTANTIATE_TEST_SUITE_P(Scenario, RotationTest, ::testing::Values(90, 180, 270));

class TurnWhileOpenTest : public ScenarioTest {
 protected:
  static int Width(const RECT& r) { return r.right - r.left; }
  static int Height(const RECT& r) { return r.bottom - r.top; }
  wce::ScreenSnapshot Turn(int degrees) {
    EXPECT_TRUE(automation().Apply(wce::Rotate{degrees}));
    return automation().Snapshot();
  }
};

// The Finish text is anchored to both edges on both axes: it keeps its place and grows and
// shrinks with the page; turning back restores it exactly.
TEST_F(TurnWhileOpenTest, FinishTextFollowsThePageSize) {
  BootReady();
  StartWizard();
  ASSERT_TRUE(StartPreparation().has_value());
  const wce::ScreenSnapshot portrait = WaitForTemplate(IDD_FINISH);
  const wce::ControlSnapshot* before = Control(portrait, IDC_FINISH_TEXT);
  ASSERT_NE(before, nullptr);

  const wce::ScreenSnapshot landscape = Turn(90);
  EXPECT_EQ(landscape.template_id, IDD_FINISH);
  EXPECT_EQ(landscape.width, 320);
  EXPECT_EQ(landscape.height, 240);
  const wce::ControlSnapshot* after = Control(landscape, IDC_FINISH_TEXT);
  ASSERT_NE(after, nullptr);
  const int grow_x = Width(landscape.window_rect) - Width(portrait.window_rect);
  const int grow_y = Height(landscape.window_rect) - Height(portrait.window_rect);
  EXPECT_EQ(grow_x, 80);
  EXPECT_EQ(grow_y, -80);
  EXPECT_EQ(after->rect.left - landscape.window_rect.left,
            before->rect.left - portrait.window_rect.left);
  EXPECT_EQ(after->rect.top - landscape.window_rect.top,
            before->rect.top - portrait.window_rect.top);
  EXPECT_EQ(Width(after->rect), Width(before->rect) + grow_x);
  EXPECT_EQ(Height(after->rect), Height(before->rect) + grow_y);
  EXPECT_EQ(after->text, before->text);

  const wce::ScreenSnapshot back = Turn(0);
  const wce::ControlSnapshot* restored = Control(back, IDC_FINISH_TEXT);
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->rect.left, before->rect.left);
  EXPECT_EQ(restored->rect.top, before->rect.top);
  EXPECT_EQ(restored->rect.right, before->rect.right);
  EXPECT_EQ(restored->rect.bottom, before->rect.bottom);

  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
}

// The Welcome page keeps its portrait template when the display turns; its controls stay on the
// screen.
TEST_F(TurnWhileOpenTest, WelcomePageKeepsItsTemplateAndItsControlsOnScreen) {
  BootReady();
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  const wce::ScreenSnapshot turned = Turn(270);
  EXPECT_EQ(turned.template_id, IDD_WELCOME);
  for (int id : {IDC_WELCOME_TEXT, IDC_SUMMARY_TEXT}) {
    SCOPED_TRACE(id);
    const wce::ControlSnapshot* control = Control(turned, id);
    ASSERT_NE(control, nullptr);
    EXPECT_GE(control->rect.left, turned.window_rect.left);
    EXPECT_LE(control->rect.right, turned.window_rect.right);
    EXPECT_GE(control->rect.top, turned.window_rect.top);
    EXPECT_LE(control->rect.bottom, turned.window_rect.bottom);
  }
  // The next page opens for the display as it is now.
  ASSERT_TRUE(Press(0));
  WaitForTemplate(IDD_PREPARE_WIDE);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
}

}  // namespace
}  // namespace kepla_test
