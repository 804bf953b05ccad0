// A whole run in which every check passes: the three pages in order, the image on the card, the
// progress bar and the exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "scenario/scenario_fixture.h"

namespace kepla_test {
namespace {

class HappyPathTest : public ScenarioTest {};

// A package of several chunks: first block, main-loop chunks and a tail.
constexpr std::size_t kImageBytes = 2048 + 32767 * 3 + 1000;

TEST_F(HappyPathTest, PreparesTheImageTheToolExtractsAndEndsWithSixteen) {
  BootReady({}, kImageBytes);
  StartWizard();

  wce::ScreenSnapshot welcome = WaitForTemplate(IDD_WELCOME);
  EXPECT_EQ(ControlText(welcome, IDC_WELCOME_TEXT),
            u"Welcome to the [QMR407] Firmware Upgrade Utility.");
  EXPECT_EQ(ControlText(welcome, IDC_SUMMARY_TEXT),
            u"Your device will be upgraded:\n"
            u"From ROM Version: 1.13.407.2\n"
            u"         Ext ROM Version:1.13.407 ENG WWE\n"
            u"\n"
            u"To ROM Version: 1.20.407.1\n"
            u"     Ext ROM Version:1.20.407 ENG WWE");
  ASSERT_EQ(welcome.soft_keys.size(), 2u);
  EXPECT_EQ(welcome.soft_keys[0].label, u"Next");
  EXPECT_EQ(welcome.soft_keys[1].label, u"Cancel");
  ASSERT_TRUE(Press(0));

  wce::ScreenSnapshot prepare = WaitForTemplate(IDD_PREPARE);
  EXPECT_EQ(ControlText(prepare, IDC_PREPARE_TEXT), u"Click Next to continue or Cancel to exit.");
  EXPECT_FALSE(ImageExists());
  ASSERT_TRUE(Press(0));

  wce::ScreenSnapshot finish = WaitForTemplate(IDD_FINISH);
  ASSERT_EQ(finish.soft_keys.size(), 2u);
  EXPECT_EQ(finish.soft_keys[0].label, u"");
  EXPECT_FALSE(finish.soft_keys[0].enabled);
  EXPECT_EQ(finish.soft_keys[1].label, u"Close");
  const std::u16string instructions = ControlText(finish, IDC_FINISH_TEXT);
  EXPECT_EQ(instructions.size(), 300u);
  EXPECT_EQ(instructions.find(u"To complete the firmware upgrade process"), 0u);
  EXPECT_NE(instructions.find(u"steps:\n\n1. Press and hold"), std::u16string::npos);
  EXPECT_NE(instructions.find(u"reboot.\n\n2. Continue"), std::u16string::npos);

  // The blank left key does nothing; Close ends the wizard.
  EXPECT_FALSE(automation().Apply(wce::PressSoftKey{0}));
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);

  const std::string image = ImageBytes();
  EXPECT_EQ(image.size(), kImageBytes);
  EXPECT_TRUE(image == ExtractedImage()) << "the image differs from the extracted one";
  const DWORD attributes = ImageAttributes();
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
}

TEST_F(HappyPathTest, AnEarlierImageIsReplaced) {
  WriteFile(kImagePath, std::string(100000, 'x'));
  BootReady();
  // "install" with an image present would only delete it: the wizard is run with no keyword,
  // which deletes it quietly too, so the image is made fresh.
  StartWizard(u"again");
  ASSERT_TRUE(StartPreparation().has_value());
  WaitForTemplate(IDD_FINISH);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_TRUE(ImageBytes() == ExtractedImage());
}

// While the image is prepared the page shows the wait text with both soft keys disabled, and
// the bar climbs in steps below 100; 100 comes only after the ten-second settle that follows
// the copy, and the Finish page about a second after that.
TEST_F(HappyPathTest, ProgressReachesOneHundredOnlyAfterTheSettle) {
  BootReady({}, kImageBytes);
  ScreenRecorder& recorder = Record();
  StartWizard();
  const std::optional<std::uint64_t> pressed = StartPreparation();
  ASSERT_TRUE(pressed.has_value());

  wce::ScreenSnapshot preparing = WaitForScreen([](const wce::ScreenSnapshot& s) {
    return s.template_id == IDD_PREPARE && ControlText(s, IDC_PREPARE_TEXT) == kPreparingText;
  });
  ASSERT_EQ(preparing.soft_keys.size(), 2u);
  EXPECT_FALSE(preparing.soft_keys[0].enabled);
  EXPECT_FALSE(preparing.soft_keys[1].enabled);
  EXPECT_FALSE(automation().Apply(wce::PressSoftKey{0}));
  EXPECT_FALSE(automation().Apply(wce::PressSoftKey{1}));
  const wce::ControlSnapshot* bar = Control(preparing, IDC_PROGRESS);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->progress_min, 0);
  EXPECT_EQ(bar->progress_max, 100);
  ASSERT_TRUE(bar->progress_pos.has_value());
  EXPECT_LT(*bar->progress_pos, 100);
  // During the settle the copy is done (the last of its four steps shown) and the page stays as
  // it was, short of the end.
  wce::ScreenSnapshot settling = WaitForScreen([](const wce::ScreenSnapshot& s) {
    const wce::ControlSnapshot* c = Control(s, IDC_PROGRESS);
    return s.template_id == IDD_PREPARE && c && c->progress_pos == 4;
  });
  EXPECT_EQ(ControlText(settling, IDC_PREPARE_TEXT), kPreparingText);
  ASSERT_EQ(settling.soft_keys.size(), 2u);
  EXPECT_FALSE(settling.soft_keys[0].enabled);
  EXPECT_FALSE(settling.soft_keys[1].enabled);

  wce::ScreenSnapshot finish = WaitForTemplate(IDD_FINISH);
  std::vector<ScreenRecorder::Progress> steps = recorder.progress();
  ASSERT_GE(steps.size(), 2u);
  const ScreenRecorder::Progress full = steps.back();
  steps.pop_back();
  EXPECT_EQ(full.control_id, IDC_PROGRESS);
  EXPECT_EQ(full.pos, 100);
  int previous = 0;
  for (const ScreenRecorder::Progress& step : steps) {
    EXPECT_EQ(step.control_id, IDC_PROGRESS);
    EXPECT_EQ(step.pos, previous + 1) << "at " << step.time_ms << " ms";
    previous = step.pos;
  }
  // First block, then one step per size/90 bytes written in whole chunks: a step every chunk.
  EXPECT_EQ(previous, 4);
  // The copy itself takes no device time; the settle does.
  EXPECT_EQ(steps.front().time_ms, *pressed);
  EXPECT_GE(full.time_ms - steps.back().time_ms, 10000u);
  EXPECT_LE(full.time_ms - steps.back().time_ms, 10500u);
  EXPECT_GE(finish.time_ms - full.time_ms, 1000u);
  EXPECT_LE(finish.time_ms - full.time_ms, 1500u);

  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_TRUE(recorder.boxes().empty());
}

}  // namespace
}  // namespace kepla_test
