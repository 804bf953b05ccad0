// Preparations that fail: the failure message is told over the still open Prepare page, the page
// ends only once it is dismissed, the wizard ends without the Finish page and no image is left.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

// A read that delivers less than it was asked for leaves the copy incomplete.
TEST_F(PreparationFailureTest, ShortReadInThePackage) {
  wce::DeviceProfile profile;
  profile.faults.push_back(PackageFault(wce::FaultSpec::Kind::kShortRead, 3000));
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

// The second write of the image fails as a failing card would fail it, and does nothing else:
// the wizard tells the failure and removes what the first write put on the card.
TEST_F(PreparationFailureTest, SecondWriteOfTheImageFails) {
  wce::DeviceProfile profile;
  wce::FaultSpec fault;
  fault.kind = wce::FaultSpec::Kind::kCallFails;
  fault.call = "WriteFile";
  fault.nth = 2;
  profile.faults.push_back(fault);
  BootReady(profile);
  StartWizard();
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

// A package one byte short of the smallest preparable size (2048 + 512) passes the checks on its
// trailer but cannot be copied.
TEST_F(PreparationFailureTest, PackageOneByteTooSmall) {
  BootReady({}, 2048);
  // Drop one byte of the image; the trailer stays last.
  const std::filesystem::path package = HostPath(kPackagePath);
  std::ifstream in(package, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  ASSERT_EQ(bytes.size(), 2560u);
  bytes.erase(0, 1);
  WriteFile(kPackagePath, bytes);
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

// The same search finding another preparable package, whose header is not the one the checks
// passed on: it is refused rather than copied.
TEST_F(PreparationFailureTest, PackageSwappedForAnotherAfterTheChecks) {
  BootReady();
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  kepla::pkg::PackageFields other = MatchingFields();
  other.model = u"ELSEWHERE";
  WritePackage(other, 6000);
  ASSERT_TRUE(ExpectFailedPreparation().has_value());
  EXPECT_FALSE(ImageExists());
}

// A new package with the very header that was checked is the same package as far as the checks
// go: it is the one copied.
TEST_F(PreparationFailureTest, PackageRebuiltWithTheSameHeaderIsCopied) {
  BootReady();
  StartWizard();
  WaitForTemplate(IDD_WELCOME);
  WritePackage(MatchingFields(), 6000);
  ASSERT_TRUE(StartPreparation().has_value());
  WaitForTemplate(IDD_FINISH);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_EQ(ImageBytes().size(), 6000u);
  EXPECT_TRUE(ImageBytes() == ExtractedImage());
}

}  // namespace
}  // namespace kepla_test
