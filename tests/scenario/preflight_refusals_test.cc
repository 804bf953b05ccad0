// The pre-flight checks of the Welcome page seen from the user's side: each refusal tells its
// message in an "Error" box over the Welcome page and ends the wizard with no Prepare page; the
// values just on the passing side of each limit lead on to the Prepare page.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "res/resource.h"
#include "scenario/scenario_fixture.h"

namespace kepla_test {
namespace {

const char16_t kNoSpace[] =
    u"There is not enough space in your storage card. Free up to 200MB of storage space in your "
    u"card then try again.";
const char16_t kLowBattery[] =
    u"The battery power is not enough. Recharge the battery up to 60%, then try again.";
const char16_t kMemoryLoad[] =
    u"There is not enough memory, close other applications and try gain.";
const char16_t kWrongModel[] =
    u"This software is only support the \"QMR407\" device. Ensure that your device is the right "
    u"type.";
const char16_t kWrongLanguage[] =
    u"Ensure that the language in your device is the same as that in this upgrade program.";

constexpr std::uint64_t kEnoughSpace = 209715200;  // 200 MiB

class PreflightTest : public ScenarioTest {
 protected:
  // Boots `profile` (with `freeBytes` on the card), runs the wizard and presses Next on the
  // Welcome page.
  void RunChecks(wce::DeviceProfile profile, std::uint64_t freeBytes) {
    SetFreeSpace(&profile, freeBytes);
    BootReady(std::move(profile));
    Record();
    StartWizard();
    WaitForTemplate(IDD_WELCOME);
    ASSERT_TRUE(Press(0));
  }

  // The refusal: `message` in an "Error" box over the Welcome page, the only box of the run;
  // after it the wizard ends with no further page.
  void ExpectRefusal(const std::u16string& message) {
    wce::ScreenSnapshot screen =
        WaitForScreen([](const wce::ScreenSnapshot& s) { return s.message_box.has_value(); });
    ASSERT_TRUE(screen.message_box.has_value());
    EXPECT_EQ(screen.template_id, IDD_WELCOME);
    EXPECT_EQ(screen.message_box->text, message);
    EXPECT_EQ(screen.message_box->caption, u"Error");
    EXPECT_EQ(screen.message_box->style, static_cast<std::uint32_t>(MB_OK));
    ASSERT_TRUE(automation().WaitAndApply(wce::DismissMessageBox{}, Now() + 10000));
    // A Prepare page would wait for a press and keep the program running.
    EXPECT_EQ(FinishProgram(30000), kWizardRan);
    EXPECT_EQ(Record().boxes().size(), 1u);
    EXPECT_FALSE(ImageExists());
  }

  // Every check passed: the Prepare page opens with no message.
  void ExpectAccepted() {
    WaitForTemplate(IDD_PREPARE);
    EXPECT_TRUE(Record().boxes().empty());
    ASSERT_TRUE(Press(1));
    EXPECT_EQ(FinishProgram(30000), kWizardRan);
  }
};

TEST_F(PreflightTest, FreeSpaceOneByteShortOfTwoHundredMegabytesIsRefused) {
  RunChecks({}, kEnoughSpace - 1);
  ExpectRefusal(kNoSpace);
}

TEST_F(PreflightTest, FreeSpaceOfExactlyTwoHundredMegabytesPasses) {
  RunChecks({}, kEnoughSpace);
  ExpectAccepted();
}

// More than 4 GiB free: the upper half of the count alone lets the check pass, even when the
// lower half is small.
TEST_F(PreflightTest, FreeSpaceAboveFourGigabytesPasses) {
  RunChecks({}, (std::uint64_t{1} << 32) + 5);
  ExpectAccepted();
}

TEST_F(PreflightTest, BatteryBelowSixtyIsRefused) {
  wce::DeviceProfile profile;
  profile.battery_percent = 59;
  RunChecks(profile, kEnoughSpace);
  ExpectRefusal(kLowBattery);
}

TEST_F(PreflightTest, BatteryAtSixtyPasses) {
  wce::DeviceProfile profile;
  profile.battery_percent = 60;
  RunChecks(profile, kEnoughSpace);
  ExpectAccepted();
}

TEST_F(PreflightTest, BatteryWithoutAReadingPasses) {
  wce::DeviceProfile profile;
  profile.battery_percent = 255;
  RunChecks(profile, kEnoughSpace);
  ExpectAccepted();
}

// A failed power-status query reads as an empty battery.
TEST_F(PreflightTest, BatteryQueryFailureIsRefused) {
  wce::DeviceProfile profile;
  profile.battery_fails = true;
  RunChecks(profile, kEnoughSpace);
  ExpectRefusal(kLowBattery);
}

TEST_F(PreflightTest, MemoryLoadAboveSeventyFiveIsRefused) {
  wce::DeviceProfile profile;
  profile.memory_load = 76;
  RunChecks(profile, kEnoughSpace);
  ExpectRefusal(kMemoryLoad);
}

TEST_F(PreflightTest, MemoryLoadOfSeventyFivePasses) {
  wce::DeviceProfile profile;
  profile.memory_load = 75;
  RunChecks(profile, kEnoughSpace);
  ExpectAccepted();
}

// The message names the package's model, not the device's.
TEST_F(PreflightTest, ModelDifferingOnlyInCaseIsRefused) {
  wce::DeviceProfile profile;
  profile.model = u"qmr407";
  RunChecks(profile, kEnoughSpace);
  ExpectRefusal(kWrongModel);
}

TEST_F(PreflightTest, DeviceThatDoesNotAnswerItsIdentityIsRefusedAsAnotherModel) {
  wce::DeviceProfile profile;
  profile.identity_answers = false;
  RunChecks(profile, kEnoughSpace);
  ExpectRefusal(kWrongModel);
}

TEST_F(PreflightTest, OtherDeviceLanguageIsRefused) {
  wce::DeviceProfile profile;
  profile.ext_rom_version = u"1.13.407 FRA WWE";
  RunChecks(profile, kEnoughSpace);
  ExpectRefusal(kWrongLanguage);
}

TEST_F(PreflightTest, RegionCodeNotWithinThePackageCodesIsRefused) {
  wce::DeviceProfile profile;
  profile.ext_rom_version = u"1.13.407 ENG USA";
  RunChecks(profile, kEnoughSpace);
  ExpectRefusal(kWrongLanguage);
}

// "EUR,WWE,ASIA" holds "ASIA" as a part: the code check is a search within the package's text.
TEST_F(PreflightTest, RegionCodeFoundWithinThePackageCodesPasses) {
  wce::DeviceProfile profile;
  profile.ext_rom_version = u"1.13.407 ENG ASIA";
  RunChecks(profile, kEnoughSpace);
  ExpectAccepted();
}

// Only the first failing check speaks, in the order space, battery, memory, model, language.
struct SeveralFailures {
  const char* label;
  bool low_space;
  int battery_percent;
  int memory_load;
  const char16_t* message;
};

// Names the case in test listings (instead of a dump of its bytes).
void PrintTo(const SeveralFailures& c, std::ostream* os) { *os << c.label; }

class FirstFailureTest : public PreflightTest,
                         public ::testing::WithParamInterface<SeveralFailures> {};

TEST_P(FirstFailureTest, OnlyTheFirstFailingCheckIsTold) {
  const SeveralFailures& c = GetParam();
  wce::DeviceProfile profile;
  profile.battery_percent = c.battery_percent;
  profile.memory_load = c.memory_load;
  profile.model = u"OTHER";  // the model and the language fail in every case
  profile.ext_rom_version = u"1.0 FRA USA";
  RunChecks(profile, c.low_space ? kEnoughSpace - 1 : kEnoughSpace);
  ExpectRefusal(c.message);
}

INSTANTIATE_TEST_SUITE_P(
    Scenario, FirstFailureTest,
    ::testing::Values(SeveralFailures{"Everything", true, 10, 99, kNoSpace},
                      SeveralFailures{"BatteryOn", false, 10, 99, kLowBattery},
                      SeveralFailures{"MemoryOn", false, 100, 99, kMemoryLoad},
                      SeveralFailures{"ModelAndLanguage", false, 100, 30, kWrongModel}),
    [](const ::testing::TestParamInfo<SeveralFailures>& info) { return info.param.label; });

}  // namespace
}  // namespace kepla_test
