// The keywords an installer passes: "install" removes a prepared image, "uninstall" closes a
// running copy, in this process or in another one on the same device.
#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "scenario/scenario_fixture.h"
#include "support/sim_process.h"

namespace kepla_test {
namespace {

class RunModesTest : public ScenarioTest {
 protected:
  void PutImage() { WriteFile(kImagePath, "an image of an earlier run"); }
};

TEST_F(RunModesTest, InstallWithAnImageDeletesItAndShowsNothing) {
  BootReady();
  PutImage();
  ScreenRecorder& recorder = Record();
  StartWizard(u"install");
  EXPECT_EQ(FinishProgram(30000), 0);
  EXPECT_FALSE(ImageExists());
  EXPECT_TRUE(recorder.boxes().empty());
  EXPECT_FALSE(automation().Snapshot().has_window);
}

TEST_F(RunModesTest, InstallWithoutAnImageRunsTheWizard) {
  BootReady();
  StartWizard(u"install");
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(30000), kWizardRan);
}

// The keywords are compared case-sensitively: "Install" is any other text, which removes the
// image quietly and runs the wizard.
TEST_F(RunModesTest, InstallInOtherCaseDeletesTheImageAndRunsTheWizard) {
  BootReady();
  PutImage();
  StartWizard(u"Install");
  WaitForTemplate(IDD_WELCOME);
  EXPECT_FALSE(ImageExists());
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(30000), kWizardRan);
}

TEST_F(RunModesTest, UninstallWithNoRunningCopyEndsAtOnce) {
  BootReady();
  PutImage();
  StartWizard(u"uninstall");
  EXPECT_EQ(FinishProgram(30000), 0);
  EXPECT_TRUE(ImageExists());
  EXPECT_FALSE(automation().Snapshot().has_window);
}

// A copy of the wizard runs here with its Welcome page open; another process on the same device
// runs the program with "uninstall". That one finds the running copy's main window and sends it
// WM_CLOSE, then ends with 0. The main window is destroyed, and with it the page it owns: the
// running copy's wizard ends with no further page.
TEST_F(RunModesTest, UninstallInAnotherProcessClosesTheRunningCopy) {
  BootReady({}, 4096, /*publish=*/true);
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  // This thread counts as running while the other process works: device time stands still.
  const ProcessResult uninstall = RunProcess(SimProgram("kepla"),
                                             {"--device", device().folder().string(), "--script",
                                              "", "--timeout", "30", "--", "uninstall"},
                                             device().folder(), {}, 60);
  EXPECT_EQ(uninstall.status, 0) << uninstall.err;
  EXPECT_EQ(FinishProgram(30000), kWizardRan);
  EXPECT_FALSE(ImageExists());
}

}  // namespace
}  // namespace kepla_test
