// Preparations that fail: the failure message is told over the still open Prepare page, the page
// ends only once it is dismissed, the wizard ends without the Finish page and no image is left.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "res/resource.h"
#include "scenario/scenario_fixture.h"

namespace kepla_test {
namespace {

class PreparationFailureTest : public ScenarioTest {
 protected:
  // From a started wizard: runs the preparation and expects it to fail as the user sees it.
  // Returns the device time from the press of Next to the message.
  std::optional<std::uint64_t> ExpectFailedPreparation() {
    const std::optional<std::uint64_t> pressed = StartPreparation();
    if (!pressed) return std::nullopt;
    wce::ScreenSnapshot screen =
        WaitForScreen([](const wce::ScreenSnapshot& s) { return s.message_box.has_value(); });
    if (!screen.message_box) return std::nullopt;
    // The box stands over the Prepare page, which is still open.
    EXPECT_EQ(screen.template_id, IDD_PREPARE);
    EXPECT_EQ(ControlText(screen, IDC_PREPARE_TEXT), kPreparingText);
    EXPECT_EQ(screen.message_box->text, kPreparationFailedText);
    EXPECT_EQ(screen.message_box->caption, u"Error");
    // Nothing moves on while the box is open.
    automation().WaitFor(30000);
    wce::ScreenSnapshot later = automation().Snapshot();
    EXPECT_TRUE(later.program_running);
    EXPECT_EQ(later.template_id, IDD_PREPARE);
    EXPECT_TRUE(later.message_box.has_value());
    EXPECT_TRUE(automation().WaitAndApply(wce::DismissMessageBox{}, Now() + 10000));
    // A Finish page would wait for a press and keep the program running.
    EXPECT_EQ(FinishProgram(30000), kWizardRan);
    return screen.time_ms - *pressed;
  }
};

// A read error inside the copy (far from the trailer that the Welcome page read).
TEST_F(PreparationFailureTest, ReadErrorInThePackage) {
  wce::DeviceProfile profile;
  profile.faults.push_back(PackageFault(wce::FaultSpec::Kind::kReadError, 3000));
  BootReady(profile);
  StartWizard();
  const std::optional<std::uint64_t> took = ExpectFailedPreparation();
  ASSERT_TRUE(took.has_value());
  // The worker settles before it reports the failure.
  EXPECT_GE(*took, 11000u);
  EXPECT_FALSE(ImageExists());
}

// A read error in the first block is a failure before anything is written past it.
TEST_F(PreparationFailureTest, ReadErrorInTheFirstBlock) {
  wce::DeviceProfile profile;
  profile.faults.push_back(PackageFault(wce::FaultSpec::Kind::kReadError, 100));
  BootReady(profile);
  StartWizard();
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

// A short read delivers less than the whole chunk: the copy is incomplete.
TEST_F(PreparationFailureTest, ShortReadInThePackage) {
  wce::DeviceProfile profile;
  profile.faults.push_back(PackageFault(wce::FaultSpec::Kind::kShortRead, 3000));
  BootReady(profile);
  StartWizard();
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

TEST_F(PreparationFailureTest, CardFullWhileWritingTheImage) {
  wce::DeviceProfile profile;
  wce::FaultSpec full;
  full.kind = wce::FaultSpec::Kind::kDiskFull;
  full.card = u"Storage Card";
  full.bytes = 3000;  // the first block fits, the tail does not
  profile.faults.push_back(full);
  BootReady(profile);
  StartWizard();
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

TEST_F(PreparationFailureTest, WriteErrorOnTheImage) {
  wce::DeviceProfile profile;
  wce::FaultSpec fault;
  fault.kind = wce::FaultSpec::Kind::kWriteError;
  fault.file = kImageDevicePath;
  fault.offset = 2500;
  profile.faults.push_back(fault);
  BootReady(profile);
  StartWizard();
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

// A package one byte short of the smallest preparable size (2048 + 512) passes the checks on its
// trailer but cannot be copied.
TEST_F(PreparationFailureTest, PackageOneByteTooSmall) {
  BootReady({}, 2047);
  ASSERT_EQ(std::filesystem::file_size(HostPath(kPackagePath)), 2559u);
  StartWizard();
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

// The smallest preparable package gives an image of just the descrambled first block.
TEST_F(PreparationFailureTest, SmallestPackageIsPrepared) {
  BootReady({}, 2048);
  StartWizard();
  ASSERT_TRUE(StartPreparation().has_value());
  WaitForTemplate(IDD_FINISH);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_EQ(ImageBytes().size(), 2048u);
  EXPECT_TRUE(ImageBytes() == ExtractedImage());
}

// The worker cannot be started: no event ever comes, and the watchdog, finding no sign of life,
// ends the wait at its first time-out.
TEST_F(PreparationFailureTest, WorkerThatCannotStart) {
  wce::DeviceProfile profile;
  wce::FaultSpec fault;
  fault.kind = wce::FaultSpec::Kind::kThreadCreate;
  fault.count = 1;
  profile.faults.push_back(fault);
  BootReady(profile);
  StartWizard();
  const std::optional<std::uint64_t> took = ExpectFailedPreparation();
  ASSERT_TRUE(took.has_value());
  EXPECT_GE(*took, 5000u);
  EXPECT_LT(*took, 10000u);
  EXPECT_FALSE(ImageExists());
}

// The package is looked for again when the preparation starts. Between the Welcome page and Next
// on the Prepare page the package was replaced by a file too small to prepare: the preparation
// fails although the checks passed on the first package.
TEST_F(PreparationFailureTest, PackageReplacedByAnUnpreparableFileAfterTheChecks) {
  BootReady();
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  std::filesystem::remove(HostPath(kPackagePath));
  WriteFile("Storage Card/Upgrade/other.bin", std::string(1000, 'p'));
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

TEST_F(PreparationFailureTest, PackageRemovedAfterTheChecks) {
  BootReady();
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  std::filesystem::remove(HostPath(kPackagePath));
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

// The same search with another preparable package in place: that package is what gets copied,
// whatever its header says.
TEST_F(PreparationFailureTest, PackageSwappedForAnotherIsTheOneCopied) {
  BootReady();
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  kepla::pkg::PackageFields other = MatchingFields();
  other.model = u"ELSEWHERE";
  WritePackage(other, 6000);
  ASSERT_TRUE(StartPreparation().has_value());
  WaitForTemplate(IDD_FINISH);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_EQ(ImageBytes().size(), 6000u);
  EXPECT_TRUE(ImageBytes() == ExtractedImage());
}

}  // namespace
}  // namespace kepla_test
