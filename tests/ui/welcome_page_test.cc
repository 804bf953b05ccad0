// The Welcome page on the device: its texts and the five pre-flight checks with their messages
// and page results.
#include "ui/welcome_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "page_fixture.h"
#include "res/resource.h"
#include "ui/page_result.h"
#include "ui/text_buffer.h"

namespace kepla_test {
namespace {

class WelcomePageTest : public PageFixture {
 protected:
  // A profile whose card has `freeBytes` free and whose other readings pass.
  wce::DeviceProfile ReadyProfile(std::uint64_t freeBytes = 1ull << 30) {
    wce::DeviceProfile profile;
    SetFreeSpace(&profile, freeBytes);
    return profile;
  }
};

TEST_F(WelcomePageTest, ShowsTheWelcomeLineTheSummaryTitleAndSoftKeys) {
  BootWithPackage(ReadyProfile());
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
  wce::DeviceProfile profile = ReadyProfile();
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
  BootWithPackage(ReadyProfile());
  StartPage<WelcomePage>(/*withData=*/false);
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_WELCOME);
  EXPECT_EQ(ControlText(screen, IDC_WELCOME_TEXT), u"TODO: Add your controls");
  EXPECT_EQ(ControlText(screen, IDC_SUMMARY_TEXT), u"");
  EXPECT_EQ(screen.title, u"ZQV");
  ASSERT_TRUE(Press(0));
  // Space, battery and memory pass; the model check fails with no message box to dismiss.
  EXPECT_EQ(FinishProgram(), WrongModel);
}

TEST_F(WelcomePageTest, CancelRunsNoCheck) {
  wce::DeviceProfile profile = ReadyProfile(0);
  profile.battery_percent = 5;
  BootWithPackage(profile);
  StartPage<WelcomePage>();
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(1));
  // A check would have shown a message box that nobody dismisses.
  EXPECT_EQ(FinishProgram(), Cancelled);
}

// One run of Next: the device and package, the message expected (none when empty) and the page
// result. When several checks fail only the first one's message is shown.
struct CheckCase {
  const char* name;
  std::function<void(wce::DeviceProfile*, std::uint64_t* freeBytes)> device;
  std::function<void(kepla::pkg::PackageFields*)> package;
  std::u16string message;
  int result;
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
std::u16string ModelMessage(const std::u16string& model) {
  return u"This software is only support the \"" + model +
         u"\" device. Ensure that your device is the right type.";
}

void PrintTo(const CheckCase& c, std::ostream* out) { *out << c.name; }

using Profile = wce::DeviceProfile;
using Fields = kepla::pkg::PackageFields;
const auto kSameDevice = [](Profile*, std::uint64_t*) {};
const auto kSamePackage = [](Fields*) {};

const CheckCase kCheckCases[] = {
    {"AllPass", kSameDevice, kSamePackage, u"", WelcomeAccepted},
    {"SpaceExactly200MiB", [](Profile*, std::uint64_t* b) { *b = 209715200; }, kSamePackage, u"",
     WelcomeAccepted},
    {"SpaceOneByteShort", [](Profile*, std::uint64_t* b) { *b = 209715199; }, kSamePackage,
     kNoSpace, NotEnoughSpace},
    // Only the lower 32 bits (5) would fail.
    {"SpaceAbove4GiB", [](Profile*, std::uint64_t* b) { *b = (1ull << 32) + 5; }, kSamePackage, u"",
     WelcomeAccepted},
    {"Battery60", [](Profile* p, std::uint64_t*) { p->battery_percent = 60; }, kSamePackage, u"",
     WelcomeAccepted},
    {"Battery59", [](Profile* p, std::uint64_t*) { p->battery_percent = 59; }, kSamePackage,
     kLowBattery, BatteryLow},
    {"BatteryNoReading", [](Profile* p, std::uint64_t*) { p->battery_percent = 255; }, kSamePackage,
     u"", WelcomeAccepted},
    {"BatteryQueryFails", [](Profile* p, std::uint64_t*) { p->battery_fails = true; }, kSamePackage,
     kLowBattery, BatteryLow},
    {"Memory75", [](Profile* p, std::uint64_t*) { p->memory_load = 75; }, kSamePackage, u"",
     WelcomeAccepted},
    {"Memory76", [](Profile* p, std::uint64_t*) { p->memory_load = 76; }, kSamePackage, kMemoryLoad,
     MemoryLoadHigh},
    {"ModelCase", kSameDevice, [](Fields* f) { f->model = u"qmr407"; }, ModelMessage(u"qmr407"),
     WrongModel},
    {"DeviceCodeInsidePackageCode", kSameDevice, [](Fields* f) { f->code = u"XWWEX"; }, u"",
     WelcomeAccepted},
    {"PackageCodeShorter", kSameDevice, [](Fields* f) { f->code = u"WW"; }, kWrongLanguage,
     LanguageMismatch},
    {"OtherLanguage", kSameDevice, [](Fields* f) { f->language = u"FRA"; }, kWrongLanguage,
     LanguageMismatch},
    // An extended ROM version without blanks gives the device no language and no code.
    {"EmptyLanguagesEmptyCode",
     [](Profile* p, std::uint64_t*) { p->ext_rom_version = u"1.13.407"; },
     [](Fields* f) { f->language = u""; }, u"", WelcomeAccepted},
    {"AllFailSpaceFirst",
     [](Profile* p, std::uint64_t* b) {
       *b = 1024;
       p->battery_percent = 10;
       p->memory_load = 99;
       p->model = u"OTHER";
       p->ext_rom_version = u"1.0 FRA XX";
     },
     kSamePackage, kNoSpace, NotEnoughSpace},
    {"BatteryBeforeMemory",
     [](Profile* p, std::uint64_t*) {
       p->battery_percent = 10;
       p->memory_load = 99;
     },
     kSamePackage, kLowBattery, BatteryLow},
    {"MemoryBeforeModel",
     [](Profile* p, std::uint64_t*) {
       p->memory_load = 99;
       p->model = u"OTHER";
     },
     kSamePackage, kMemoryLoad, MemoryLoadHigh},
    {"ModelBeforeLanguage",
     [](Profile* p, std::uint64_t*) {
       p->model = u"OTHER";
       p->ext_rom_version = u"1.0 FRA XX";
     },
     kSamePackage, ModelMessage(u"QMR407"), WrongModel},
};

class WelcomeCheckTest : public WelcomePageTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(WelcomeCheckTest, NextEndsWithTheFirstFailingCheck) {
  const CheckCase& c = GetParam();
  std::uint64_t freeBytes = 1ull << 30;
  wce::DeviceProfile profile;
  c.device(&profile, &freeBytes);
  SetFreeSpace(&profile, freeBytes);
  kepla::pkg::PackageFields fields = MatchingFields();
  c.package(&fields);
  BootWithPackage(profile, fields);

  StartPage<WelcomePage>();
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(0));
  if (!c.message.empty()) {
    std::optional<wce::MessageBoxSnapshot> box = DismissMessageBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, c.message);
    EXPECT_EQ(box->caption, u"Error");
    EXPECT_EQ(box->style, 0u);  // MB_OK
  }
  // A second message box would keep the page from ending.
  EXPECT_EQ(FinishProgram(), c.result);
}

INSTANTIATE_TEST_SUITE_P(Checks, WelcomeCheckTest, ::testing::ValuesIn(kCheckCases),
                         [](const ::testing::TestParamInfo<CheckCase>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(WelcomePageTest, MissingPackageFailsTheModelCheckWithAnEmptyName) {
  BootWithPackage(ReadyProfile(), std::nullopt);
  StartPage<WelcomePage>();
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(0));
  std::optional<wce::MessageBoxSnapshot> box = DismissMessageBox();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, ModelMessage(u""));
  EXPECT_EQ(FinishProgram(), WrongModel);
}

}  // namespace
}  // namespace kepla_test
