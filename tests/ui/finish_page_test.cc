// The Finish page on the device: the whole instruction text, its soft keys, and Close.
#include "ui/finish_page.h"

#include <gtest/gtest.h>

#include "page_fixture.h"
#include "res/resource.h"
#include "ui/page_result.h"
#include "ui/text_buffer.h"

namespace kepla_test {
namespace {

using FinishPageTest = PageFixture;

const char16_t kInstructions[] =
    u"To complete the firmware upgrade process, please continue with the following steps:\n\n"
    u"1. Press and hold Volume Down key (on left side) and poke reset hole (on bottom side) with "
    u"stylus, then wait for the device to reboot.\n\n"
    u"2. Continue to hold Volume Down key until the screen shows checksum percentage.";

TEST_F(FinishPageTest, ShowsTheWholeInstructionTextWithBlankLines) {
  BootWithPackage(wce::DeviceProfile{});
  StartPage<FinishPage>(/*withData=*/false);
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_FINISH);
  const std::u16string text = ControlText(screen, IDC_FINISH_TEXT);
  EXPECT_EQ(text, kInstructions);
  EXPECT_EQ(text.size(), 300u);
  EXPECT_GT(text.size(), kTextBufferChars);  // it needs the page's larger buffer
  EXPECT_EQ(screen.title, u"ZQV");
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), FinishClosed);
}

TEST_F(FinishPageTest, LeftKeyIsBlankAndDeadRightKeyCloses) {
  BootWithPackage(wce::DeviceProfile{});
  StartPage<FinishPage>(/*withData=*/false);
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_FINISH);
  ASSERT_EQ(screen.soft_keys.size(), 2u);
  EXPECT_EQ(screen.soft_keys[0].label, u"");
  EXPECT_FALSE(screen.soft_keys[0].enabled);
  EXPECT_EQ(screen.soft_keys[1].label, u"Close");
  EXPECT_TRUE(screen.soft_keys[1].enabled);
  EXPECT_FALSE(automation().Apply(wce::PressSoftKey{0}));
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), FinishClosed);
}

}  // namespace
}  // namespace kepla_test
