// The page framework: attaching, the dialog procedure's routing, the choice of template by the
// display's rotation, and the layout's life and its following of the dialog's size.
#include "ui/wizard_page.h"

#include <gtest/gtest.h>

#include <vector>

#include "page_fixture.h"
#include "res/resource.h"
#include "ui/anchor_layout.h"
#include "ui/display.h"
#include "ui/finish_page.h"
#include "ui/page_result.h"
#include "ui/welcome_page.h"

namespace kepla_test {
namespace {

// A page that records which of its handlers the dialog procedure reached.
class RecordingPage final : public WizardPage {
 public:
  ~RecordingPage() { Reset(); }
  INT_PTR Run() override { return RunTemplate(IDD_FINISH); }
  INT_PTR OnInitDialog(HWND, UINT message, WPARAM, LPARAM) override {
    calls.push_back(message);
    return TRUE;
  }
  INT_PTR OnSize(HWND, UINT message, WPARAM, LPARAM) override {
    calls.push_back(message);
    return TRUE;
  }
  INT_PTR OnCommand(HWND, UINT message, WPARAM, LPARAM) override {
    calls.push_back(message);
    return TRUE;
  }
  HWND Parent() const { return parent; }
  DataUnpacker* Unpacker() const { return unpacker; }

  std::vector<UINT> calls;
};

HINSTANCE FakeInstance(int n) { return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(n)); }
HWND FakeWindow(int n) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(n)); }

TEST(WizardPageAttachTest, SecondAttachKeepsTheFirstValues) {
  RecordingPage page;
  DataUnpacker* first = reinterpret_cast<DataUnpacker*>(&page);
  EXPECT_TRUE(page.Attach(FakeInstance(0x10), FakeWindow(0x20), first));
  EXPECT_TRUE(page.Attach(FakeInstance(0x11), FakeWindow(0x21), nullptr));
  EXPECT_EQ(page.Instance(), FakeInstance(0x10));
  EXPECT_EQ(page.Parent(), FakeWindow(0x20));
  EXPECT_EQ(page.Unpacker(), first);
}

TEST(WizardPageAttachTest, ZeroInstanceIsRefusedAndResetDetaches) {
  // No device is booted: a platform call would abort the test program.
  RecordingPage page;
  EXPECT_FALSE(page.Attach(NULL, FakeWindow(0x20), nullptr));
  EXPECT_EQ(page.Parent(), nullptr);
  EXPECT_EQ(page.Run(), -1);

  EXPECT_TRUE(page.Attach(FakeInstance(0x10), NULL, nullptr));  // null owner and data are fine
  page.Reset();
  EXPECT_EQ(page.Instance(), nullptr);
  EXPECT_EQ(page.Run(), -1);
  EXPECT_TRUE(page.Attach(FakeInstance(0x12), NULL, nullptr));
  EXPECT_EQ(page.Instance(), FakeInstance(0x12));
}

class WizardPageDeviceTest : public PageFixture {};

TEST_F(WizardPageDeviceTest, DialogProcedureRoutesOnlyAfterInitDialog) {
  Boot();
  HWND dialog = CreateWindowExW(0, TEXT("Static"), TEXT(""), WS_POPUP, 0, 0, 240, 320, NULL, NULL,
                                NULL, NULL);
  ASSERT_NE(dialog, nullptr);
  RecordingPage page;

  // Before WM_INITDIALOG the dialog names no page: default handling, no page touched.
  EXPECT_EQ(WizardPage::StaticDialogProc(dialog, WM_COMMAND, 40001, 0), FALSE);
  EXPECT_EQ(WizardPage::StaticDialogProc(dialog, WM_SIZE, 0, MAKELPARAM(240, 320)), FALSE);
  EXPECT_TRUE(page.calls.empty());

  EXPECT_EQ(WizardPage::StaticDialogProc(dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&page)),
            TRUE);
  EXPECT_EQ(GetWindowLongW(dialog, GWL_USERDATA), reinterpret_cast<LONG_PTR>(&page));
  EXPECT_EQ(WizardPage::StaticDialogProc(dialog, WM_COMMAND, 40001, 0), TRUE);
  EXPECT_EQ(WizardPage::StaticDialogProc(dialog, WM_SIZE, 0, MAKELPARAM(320, 240)), TRUE);
  // Messages the pages do not handle get default handling.
  EXPECT_EQ(WizardPage::StaticDialogProc(dialog, WM_PAINT, 0, 0), FALSE);
  EXPECT_EQ(page.calls, (std::vector<UINT>{WM_INITDIALOG, WM_COMMAND, WM_SIZE}));
  DestroyWindow(dialog);
}

TEST_F(WizardPageDeviceTest, OnlyTheNativeRotationIsPortrait) {
  Boot();
  for (int degrees : {90, 180, 270, 0}) {
    ASSERT_TRUE(automation().Apply(wce::Rotate{degrees}));
    EXPECT_EQ(IsPortraitDisplay(), degrees == 0) << degrees << " degrees";
  }
}

TEST_F(WizardPageDeviceTest, UpsideDownDisplayOpensTheLandscapeTemplate) {
  wce::DeviceProfile profile;
  profile.display_rotation = 180;
  BootWithPackage(profile);
  StartPage<WelcomePage>();
  EXPECT_EQ(WaitForTemplate(IDD_WELCOME_WIDE).template_id, IDD_WELCOME_WIDE);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), Cancelled);
}

TEST_F(WizardPageDeviceTest, UnknownCommandLeavesTheDialogOpen) {
  BootWithPackage(wce::DeviceProfile{});
  StartPage<FinishPage>(/*withData=*/false);
  WaitForTemplate(IDD_FINISH);
  HWND dialog = FindWindowW(NULL, TEXT("ZQV"));
  ASSERT_NE(dialog, nullptr);
  // The blank left key's command, and one no page knows.
  ASSERT_TRUE(PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDM_FINISH_LEFT, 0), 0));
  ASSERT_TRUE(PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(12345, 0), 0));
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_FINISH);
  EXPECT_TRUE(screen.program_running);
  EXPECT_TRUE(IsWindow(dialog));
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), FinishClosed);
}

TEST_F(WizardPageDeviceTest, LayoutOutlivesTheDialogUntilReset) {
  BootWithPackage(wce::DeviceProfile{});
  StartBody([](HINSTANCE instance) {
    FinishPage page;
    page.Attach(instance, NULL, NULL);
    INT_PTR result = page.Run();
    const AnchorLayout* layout = page.Layout();
    EXPECT_NE(layout, nullptr);
    if (layout != NULL) {
      EXPECT_NE(layout->Head(), nullptr);
      if (layout->Head() != NULL) {
        EXPECT_EQ(layout->Head()->controlId, IDC_FINISH_TEXT);
        EXPECT_EQ(layout->Head()->horizontal.mode, AnchorBoth);
        EXPECT_EQ(layout->Head()->vertical.mode, AnchorBoth);
        EXPECT_EQ(layout->Head()->next, nullptr);
      }
    }
    page.Reset();
    EXPECT_EQ(page.Layout(), nullptr);
    EXPECT_EQ(page.Instance(), nullptr);
    return static_cast<int>(result);
  });
  WaitForTemplate(IDD_FINISH);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), FinishClosed);
}

TEST_F(WizardPageDeviceTest, ControlsFollowARotationWithoutAChangeOfTemplate) {
  BootWithPackage(wce::DeviceProfile{});
  StartPage<FinishPage>(/*withData=*/false);
  wce::ScreenSnapshot portrait = WaitForTemplate(IDD_FINISH);
  const wce::ControlSnapshot* text = Control(portrait, IDC_FINISH_TEXT);
  ASSERT_NE(text, nullptr);
  const RECT before = text->rect;
  const LONG width = before.right - before.left;
  const LONG height = before.bottom - before.top;

  ASSERT_TRUE(automation().Apply(wce::Rotate{90}));
  wce::ScreenSnapshot landscape = WaitForScreen([&](const wce::ScreenSnapshot& s) {
    const wce::ControlSnapshot* c = Control(s, IDC_FINISH_TEXT);
    return s.rotation == 90 && c != nullptr && c->rect.right - c->rect.left != width;
  });
  EXPECT_EQ(landscape.template_id, IDD_FINISH);
  const wce::ControlSnapshot* turned = Control(landscape, IDC_FINISH_TEXT);
  ASSERT_NE(turned, nullptr);
  // Both edges follow: the screen got 80 pixels wider and 80 lower.
  EXPECT_EQ(turned->rect.right - turned->rect.left, width + 80);
  EXPECT_EQ(turned->rect.bottom - turned->rect.top, height - 80);

  ASSERT_TRUE(automation().Apply(wce::Rotate{0}));
  wce::ScreenSnapshot back = WaitForScreen([&](const wce::ScreenSnapshot& s) {
    const wce::ControlSnapshot* c = Control(s, IDC_FINISH_TEXT);
    return s.rotation == 0 && c != nullptr && c->rect.right - c->rect.left == width;
  });
  const wce::ControlSnapshot* restored = Control(back, IDC_FINISH_TEXT);
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->rect.bottom - restored->rect.top, height);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), FinishClosed);
}

}  // namespace
}  // namespace kepla_test
