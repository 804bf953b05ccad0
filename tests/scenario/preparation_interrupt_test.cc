// A preparation cut short from outside the worker: the watchdog ending a worker that fell silent,
// and another process setting the abort event.
#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "scenario/scenario_fixture.h"
#include "support/sim_process.h"

namespace kepla_test {
namespace {

class PreparationInterruptTest : public ScenarioTest {};

// The worker stalls for a minute in a read inside the copy. After five seconds without a sign of
// life it is terminated while it holds the image open: the image cannot be deleted and is cut to
// zero length instead, and stays hidden.
TEST_F(PreparationInterruptTest, WatchdogEndsAStalledWorker) {
  wce::DeviceProfile profile;
  profile.faults.push_back(PackageFault(wce::FaultSpec::Kind::kReadStall, 3000, 60000));
  BootReady(profile);
  StartWizard();
  const std::optional<std::uint64_t> pressed = StartPreparation();
  ASSERT_TRUE(pressed.has_value());
  wce::ScreenSnapshot screen =
      WaitForScreen([](const wce::ScreenSnapshot& s) { return s.message_box.has_value(); });
  ASSERT_TRUE(screen.message_box.has_value());
  EXPECT_GE(screen.time_ms - *pressed, 5000u);
  EXPECT_LT(screen.time_ms - *pressed, 6000u);
  EXPECT_EQ(screen.template_id, IDD_PREPARE);
  EXPECT_EQ(screen.message_box->text, kPreparationFailedText);
  EXPECT_EQ(screen.message_box->caption, u"Error");
  ASSERT_TRUE(automation().WaitAndApply(wce::DismissMessageBox{}, Now() + 10000));
  EXPECT_EQ(FinishProgram(30000), kWizardRan);

  ASSERT_TRUE(ImageExists());
  EXPECT_EQ(ImageBytes().size(), 0u);
  const DWORD attributes = ImageAttributes();
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  // The stall would have ended by now: nothing writes the image again.
  automation().WaitFor(70000);
  EXPECT_EQ(ImageBytes().size(), 0u);
}

// A stall shorter than the watchdog's limit only delays the preparation.
TEST_F(PreparationInterruptTest, ShortStallIsWaitedFor) {
  wce::DeviceProfile profile;
  profile.faults.push_back(PackageFault(wce::FaultSpec::Kind::kReadStall, 3000, 4000));
  BootReady(profile);
  StartWizard();
  ASSERT_TRUE(StartPreparation().has_value());
  WaitForTemplate(IDD_FINISH);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_TRUE(ImageBytes() == ExtractedImage());
}

// Another process sets UNPACK_DATA_ABORT while the worker settles: the failure is told at once,
// and once it is dismissed and the worker has had time to finish, no image is left.
TEST_F(PreparationInterruptTest, AbortEventFromAnotherProcess) {
  BootReady({}, 4096, /*publish=*/true);
  StartWizard();
  const std::optional<std::uint64_t> pressed = StartPreparation();
  ASSERT_TRUE(pressed.has_value());
  WaitForScreen([](const wce::ScreenSnapshot& s) {
    const wce::ControlSnapshot* bar = Control(s, IDC_PROGRESS);
    return s.template_id == IDD_PREPARE && bar && bar->progress_pos.value_or(0) > 0;
  });
  // This thread counts as running while the other process works: device time stands still.
  const ProcessResult signal = RunProcess(
      SimProgram("kepla-device"), {"signal", device().folder().string(), "UNPACK_DATA_ABORT"},
      device().folder(), {}, 60);
  ASSERT_EQ(signal.status, 0) << signal.err;

  wce::ScreenSnapshot screen =
      WaitForScreen([](const wce::ScreenSnapshot& s) { return s.message_box.has_value(); });
  ASSERT_TRUE(screen.message_box.has_value());
  EXPECT_EQ(screen.template_id, IDD_PREPARE);
  EXPECT_EQ(screen.message_box->text, kPreparationFailedText);
  // Well before the settle of about eleven seconds would have ended.
  EXPECT_LT(screen.time_ms - *pressed, 6000u);
  ASSERT_TRUE(automation().WaitAndApply(wce::DismissMessageBox{}, Now() + 10000));
  EXPECT_EQ(FinishProgram(30000), kWizardRan);
  automation().WaitFor(20000);
  EXPECT_FALSE(ImageExists());
}

}  // namespace
}  // namespace kepla_test
