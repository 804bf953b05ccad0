// The Welcome page on the device: its texts and the five pre-flight checks with their messages
// and page results.
#include "ui/welcome_page.h"

#include <gtest/gtest.h>

#include "page_fixture.h"
#include "res/resource.h"
#include "ui/page_result.h"
#include "ui/text_buffer.h"

namespace kepla_test {
namespace {

const std::uint64_t kMinimumFreeBytes = 209715200;

class WelcomePageTest : public PageFixture {
 protected:
  // A profile whose card has `freeBytes` free and whose other readings pass.
  wce::DeviceProfile Profile(std::uint64_t freeBytes = 1ull << 30) {
    wce::DeviceProfile profile;
    SetFreeSpace(&profile, freeBytes);
    return profile;
  }

  // Runs the page, presses Next and returns the page result; when `message` is given, expects
  // exactly that error message box first.
  std::optional<int> PressNext(std::optional<std::u16string> message = std::nullopt) {
    StartPage<WelcomePage>();
    WaitForTemplate(IDD_WELCOME);
    EXPECT_TRUE(Press(0));
    if (message) {
      std::optional<wce::MessageBoxSnapshot> box = DismissMessageBox();
      EXPECT_TRUE(box.has_value());
      if (box) {
        EXPECT_EQ(box->text, *message);
        EXPECT_EQ(box->caption, u"Error");
        EXPECT_EQ(box->style, 0u);  // MB_OK
      }
    }
    return FinishProgram();
  }
};

const char16_t kNoSpace[] =
    u"There is not enough space in your storage card. Free up to 200MB of storage space in your "
    u"card then try again.";
const char16_t kLowBattery[] =
    u"The battery power is not enough. Recharge the battery up to 60%, then try again.";
const char16_t kMemoryLoad[] =
    u"There is not enough memory, close other applications and try gain.";
const char16_t kWrongLanguage[] =
    u"Ensure that the language in your device is the same as that in this upgrade program.";

TEST_F(WelcomePageTest, ShowsTheWelcomeLineTheSummaryTitleAndSoftKeys) {
  BootWithPackage(Profile());
  StartPage<WelcomePage>();
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_WELCOME);
  EXPECT_EQ(screen.title, u"ZQV");
  EXPECT_EQ(ControlText(screen, IDC_WELCOME_TEXT),
            u"Welcome to the [QMR407] Firmware Upgrade Utility.");
  EXPECT_EQ(ControlText(screen, IDC_SUMMARY_TEXT),
            u"Your device will be upgraded:\n"
            u"From ROM Version: 1.13.407.2\n"
            u"         Ext ROM Version:1.13.407 ENG WWE\n"
            u"\n"
            u"To ROM Version: 1.20.407.1\n"
            u"     Ext ROM Version:1.20.407 ENG WWE");
  ASSERT_EQ(screen.soft_keys.size(), 2u);
  EXPECT_EQ(screen.soft_keys[0].label, u"Next");
  EXPECT_EQ(screen.soft_keys[1].label, u"Cancel");
  EXPECT_TRUE(screen.soft_keys[0].enabled);
  EXPECT_TRUE(screen.soft_keys[1].enabled);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), Cancelled);
}

TEST_F(WelcomePageTest, SummaryOfLongestVersionsFitsItsBufferInSixLines) {
  const std::u16string deviceRom(31, u'd');
  const std::u16string deviceExt = u"1.13.407 ENG " + std::u16string(18, u'W');
  const std::u16string packageRom(31, u'p');
  const std::u16string packageExt(31, u'x');
  wce::DeviceProfile profile = Profile();
  profile.rom_version = deviceRom;
  profile.ext_rom_version = deviceExt;
  kepla::pkg::PackageFields fields = MatchingFields();
  fields.romVersion = packageRom;
  fields.extRomVersion = packageExt;
  BootWithPackage(profile, fields);

  StartPage<WelcomePage>();
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_WELCOME);
  const std::u16string summary = ControlText(screen, IDC_SUMMARY_TEXT);
  EXPECT_EQ(summary, u"Your device will be upgraded:\nFrom ROM Version: " + deviceRom +
                         u"\n         Ext ROM Version:" + deviceExt + u"\n\nTo ROM Version: " +
                         packageRom + u"\n     Ext ROM Version:" + packageExt);
  EXPECT_EQ(deviceExt.size(), 31u);
  EXPECT_EQ(summary.size(), 114u + 4 * 31u);
  EXPECT_LT(summary.size(), kTextBufferChars);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), Cancelled);
}

TEST_F(WelcomePageTest, WithoutDataObjectTextsStayAndModelCheckFailsSilently) {
  BootWithPackage(Profile());
  StartPage<WelcomePage>(/*withData=*/false);
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_WELCOME);
  EXPECT_EQ(ControlText(screen, IDC_WELCOME_TEXT), u"TODO: Add your controls");
  EXPECT_EQ(ControlText(screen, IDC_SUMMARY_TEXT), u"");
  EXPECT_EQ(screen.title, u"ZQV");
  ASSERT_TRUE(Press(0));
  // Space, battery and memory pass; the model check fails with no message box to dismiss.
  EXPECT_EQ(FinishProgram(), WrongModel);
}

TEST_F(WelcomePageTest, AllChecksPassingAcceptsTheDevice) {
  BootWithPackage(Profile());
  EXPECT_EQ(PressNext(), WelcomeAccepted);
}

TEST_F(WelcomePageTest, CancelRunsNoCheck) {
  wce::DeviceProfile profile = Profile(0);
  profile.battery_percent = 5;
  BootWithPackage(profile);
  StartPage<WelcomePage>();
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(1));
  // A check would have shown a message box that nobody dismisses.
  EXPECT_EQ(FinishProgram(), Cancelled);
}

TEST_F(WelcomePageTest, FreeSpaceOfExactly200MiBPasses) {
  BootWithPackage(Profile(kMinimumFreeBytes));
  EXPECT_EQ(PressNext(), WelcomeAccepted);
}

TEST_F(WelcomePageTest, FreeSpaceOneByteShortFails) {
  BootWithPackage(Profile(kMinimumFreeBytes - 1));
  EXPECT_EQ(PressNext(kNoSpace), NotEnoughSpace);
}

TEST_F(WelcomePageTest, FreeSpaceAbove4GiBPassesWhateverItsLowPart) {
  // The lower 32 bits alone (5) would fail.
  BootWithPackage(Profile((1ull << 32) + 5));
  EXPECT_EQ(PressNext(), WelcomeAccepted);
}

TEST_F(WelcomePageTest, BatteryAtSixtyPercentPasses) {
  wce::DeviceProfile profile = Profile();
  profile.battery_percent = 60;
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(), WelcomeAccepted);
}

TEST_F(WelcomePageTest, BatteryAtFiftyNinePercentFails) {
  wce::DeviceProfile profile = Profile();
  profile.battery_percent = 59;
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(kLowBattery), BatteryLow);
}

TEST_F(WelcomePageTest, BatteryWithoutReadingPasses) {
  wce::DeviceProfile profile = Profile();
  profile.battery_percent = 255;
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(), WelcomeAccepted);
}

TEST_F(WelcomePageTest, FailedBatteryQueryCountsAsEmpty) {
  wce::DeviceProfile profile = Profile();
  profile.battery_fails = true;
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(kLowBattery), BatteryLow);
}

TEST_F(WelcomePageTest, MemoryLoadOfSeventyFivePasses) {
  wce::DeviceProfile profile = Profile();
  profile.memory_load = 75;
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(), WelcomeAccepted);
}

TEST_F(WelcomePageTest, MemoryLoadOfSeventySixFails) {
  wce::DeviceProfile profile = Profile();
  profile.memory_load = 76;
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(kMemoryLoad), MemoryLoadHigh);
}

TEST_F(WelcomePageTest, ModelDifferingInCaseFailsNamingThePackageModel) {
  kepla::pkg::PackageFields fields = MatchingFields();
  fields.model = u"qmr407";
  BootWithPackage(Profile(), fields);
  EXPECT_EQ(PressNext(u"This software is only support the \"qmr407\" device. Ensure that your "
                      u"device is the right type."),
            WrongModel);
}

TEST_F(WelcomePageTest, MissingPackageFailsTheModelCheckWithAnEmptyName) {
  BootWithPackage(Profile(), std::nullopt);
  EXPECT_EQ(PressNext(u"This software is only support the \"\" device. Ensure that your device "
                      u"is the right type."),
            WrongModel);
}

TEST_F(WelcomePageTest, DeviceCodeInsideThePackageCodePasses) {
  kepla::pkg::PackageFields fields = MatchingFields();
  fields.code = u"XWWEX";
  BootWithPackage(Profile(), fields);
  EXPECT_EQ(PressNext(), WelcomeAccepted);
}

TEST_F(WelcomePageTest, PackageCodeShorterThanTheDeviceCodeFails) {
  kepla::pkg::PackageFields fields = MatchingFields();
  fields.code = u"WW";
  BootWithPackage(Profile(), fields);
  EXPECT_EQ(PressNext(kWrongLanguage), LanguageMismatch);
}

TEST_F(WelcomePageTest, DifferentLanguageFails) {
  kepla::pkg::PackageFields fields = MatchingFields();
  fields.language = u"FRA";
  BootWithPackage(Profile(), fields);
  EXPECT_EQ(PressNext(kWrongLanguage), LanguageMismatch);
}

TEST_F(WelcomePageTest, EmptyLanguagesAndEmptyDeviceCodePass) {
  // An extended ROM version without blanks gives the device no language and no code.
  wce::DeviceProfile profile = Profile();
  profile.ext_rom_version = u"1.13.407";
  kepla::pkg::PackageFields fields = MatchingFields();
  fields.language = u"";
  BootWithPackage(profile, fields);
  EXPECT_EQ(PressNext(), WelcomeAccepted);
}

TEST_F(WelcomePageTest, OnlyTheFirstFailingCheckIsReported) {
  // Every check would fail; the space check runs first.
  wce::DeviceProfile profile = Profile(1024);
  profile.battery_percent = 10;
  profile.memory_load = 99;
  profile.model = u"OTHER";
  profile.ext_rom_version = u"1.0 FRA XX";
  BootWithPackage(profile);
  // A second message box would keep the page from ending.
  EXPECT_EQ(PressNext(kNoSpace), NotEnoughSpace);
}

TEST_F(WelcomePageTest, BatteryIsCheckedBeforeMemory) {
  wce::DeviceProfile profile = Profile();
  profile.battery_percent = 10;
  profile.memory_load = 99;
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(kLowBattery), BatteryLow);
}

TEST_F(WelcomePageTest, MemoryIsCheckedBeforeModel) {
  wce::DeviceProfile profile = Profile();
  profile.memory_load = 99;
  profile.model = u"OTHER";
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(kMemoryLoad), MemoryLoadHigh);
}

TEST_F(WelcomePageTest, ModelIsCheckedBeforeLanguage) {
  wce::DeviceProfile profile = Profile();
  profile.model = u"OTHER";
  profile.ext_rom_version = u"1.0 FRA XX";
  BootWithPackage(profile);
  EXPECT_EQ(PressNext(u"This software is only support the \"QMR407\" device. Ensure that your "
                      u"device is the right type."),
            WrongModel);
}

}  // namespace
}  // namespace kepla_test
