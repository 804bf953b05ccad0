// Cancel, on either page that offers it: the wizard ends at once with nothing prepared.
#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "scenario/scenario_fixture.h"

namespace kepla_test {
namespace {

class CancelTest : public ScenarioTest {};

// Cancel on the Welcome page runs no check: even a device that every check would refuse ends
// quietly.
TEST_F(CancelTest, OnTheWelcomePageEndsWithoutChecksOrFurtherPages) {
  wce::DeviceProfile profile;
  profile.battery_percent = 5;
  SetFreeSpace(&profile, 0);
  BootReady(profile);
  ScreenRecorder& recorder = Record();
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(1));
  // A further page would wait for a press and keep the program running.
  EXPECT_EQ(FinishProgram(30000), kWizardRan);
  EXPECT_TRUE(recorder.boxes().empty());
  EXPECT_FALSE(ImageExists());
}

TEST_F(CancelTest, OnThePreparePageSkipsThePreparationAndTheFinishPage) {
  BootReady();
  ScreenRecorder& recorder = Record();
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(0));
  wce::ScreenSnapshot prepare = WaitForTemplate(IDD_PREPARE);
  ASSERT_EQ(prepare.soft_keys.size(), 2u);
  EXPECT_EQ(prepare.soft_keys[1].label, u"Cancel");
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(30000), kWizardRan);
  EXPECT_TRUE(recorder.boxes().empty());
  EXPECT_TRUE(recorder.progress().empty());
  EXPECT_FALSE(ImageExists());
}

}  // namespace
}  // namespace kepla_test
