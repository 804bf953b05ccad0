// The program's entry on the device: the three run modes, the wizard's page sequence and the
// exit codes.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "message_pump.h"
#include "res/resource.h"
#include "support/program_fixture.h"

namespace kepla_test {
namespace {

const int kWizardRan = 16;

class WinMainTest : public ProgramFixture {
 protected:
  // A device on which the wizard would go all the way.
  void BootReady(wce::DeviceProfile profile = {}) {
    SetFreeSpace(&profile, 1ull << 30);
    WritePackage(MatchingFields());
    Boot(std::move(profile));
  }
  void PutImage() { WriteFile(kImagePath, "old image"); }
  bool ImageExists() const { return std::filesystem::exists(HostPath(kImagePath)); }
  std::optional<int> Run(std::u16string commandLine) {
    StartProgram(&ProgramProcess, std::move(commandLine));
    return FinishProgram();
  }
};

TEST_F(WinMainTest, UninstallWithoutRunningCopyEndsAtOnce) {
  BootReady();
  PutImage();
  EXPECT_EQ(Run(u"uninstall"), 0);
  EXPECT_TRUE(ImageExists());  // uninstall leaves a prepared image alone
  EXPECT_FALSE(KeepAwakeHeldAtLastExit());
  EXPECT_FALSE(automation().Snapshot().backlight_held);
}

// The main window of another copy of the program, run by this test's thread.
bool g_closeReceived = false;
LRESULT CALLBACK RunningCopyProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) g_closeReceived = true;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(WinMainTest, UninstallClosesTheRunningCopy) {
  BootReady();
  g_closeReceived = false;
  WNDCLASSW wc = {};
  wc.lpfnWndProc = RunningCopyProc;
  wc.hInstance = device().program_instance();
  wc.lpszClassName = u"KEPLA_WINDOW_CLASS";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND running = CreateWindowExW(0, u"KEPLA_WINDOW_CLASS", u"ZQV", WS_VISIBLE, 0, 0, 240, 320, NULL,
                                 NULL, device().program_instance(), NULL);
  ASSERT_NE(running, nullptr);

  StartProgram(&ProgramProcess, u"uninstall");
  // The close is sent: it runs here only while this thread retrieves messages.
  EXPECT_TRUE(PumpMessages(10000, [] { return g_closeReceived; }));
  EXPECT_EQ(FinishProgram(), 0);
  EXPECT_FALSE(IsWindow(running));
  UnregisterClassW(u"KEPLA_WINDOW_CLASS", device().program_instance());
}

TEST_F(WinMainTest, InstallRemovesThePreparedImageAndEnds) {
  BootReady();
  PutImage();
  EXPECT_EQ(Run(u"install"), 0);  // no page was shown: nobody pressed anything
  EXPECT_FALSE(ImageExists());
  EXPECT_FALSE(KeepAwakeHeldAtLastExit());
}

TEST_F(WinMainTest, InstallWithoutImageRunsTheWizard) {
  BootReady();
  StartProgram(&ProgramProcess, u"install");
  wce::ScreenSnapshot screen = WaitForTemplate(IDD_WELCOME);
  EXPECT_TRUE(screen.backlight_held);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  // A wizard run leaves the guard to the end of the process.
  EXPECT_TRUE(KeepAwakeHeldAtLastExit());
}

TEST_F(WinMainTest, OtherCommandLinesRemoveTheImageQuietlyAndRunTheWizard) {
  BootReady();
  const struct {
    const char* label;
    std::u16string commandLine;
  } cases[] = {{"Install", u"Install"}, {"empty", u""}, {"anything", u"anything"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    PutImage();
    StartProgram(&ProgramProcess, c.commandLine);
    WaitForTemplate(IDD_WELCOME);
    EXPECT_FALSE(ImageExists());
    ASSERT_TRUE(Press(1));
    EXPECT_EQ(FinishProgram(), kWizardRan);
  }
}

TEST_F(WinMainTest, FullRunGoesThroughThePagesAndLeavesTheImage) {
  BootReady();
  StartProgram(&ProgramProcess, u"");
  wce::ScreenSnapshot welcome = WaitForTemplate(IDD_WELCOME);
  EXPECT_EQ(welcome.title, u"ZQV");
  ASSERT_TRUE(Press(0));
  WaitForTemplate(IDD_PREPARE);
  ASSERT_TRUE(Press(0));
  wce::ScreenSnapshot finish = WaitForTemplate(IDD_FINISH);
  EXPECT_TRUE(finish.backlight_held);
  // The preparation took more than ten seconds: the idle timer was reset meanwhile.
  EXPECT_GE(finish.idle_timer_resets, 2);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_TRUE(ImageExists());
}

TEST_F(WinMainTest, FailedCheckEndsTheWizardAfterItsMessage) {
  wce::DeviceProfile profile;
  profile.battery_percent = 20;
  BootReady(profile);
  StartProgram(&ProgramProcess, u"");
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(0));
  ASSERT_TRUE(DismissMessageBox().has_value());
  // The Prepare page would keep the program waiting for a press.
  EXPECT_EQ(FinishProgram(), kWizardRan);
}

TEST_F(WinMainTest, CancelOnThePreparePageSkipsTheFinishPage) {
  BootReady();
  StartProgram(&ProgramProcess, u"");
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(0));
  WaitForTemplate(IDD_PREPARE);
  ASSERT_TRUE(Press(1));
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_FALSE(ImageExists());
}

TEST_F(WinMainTest, FailedPreparationSkipsTheFinishPage) {
  wce::DeviceProfile profile;
  wce::FaultSpec fault;
  fault.kind = wce::FaultSpec::Kind::kReadError;
  fault.file = u"\\Storage Card\\Upgrade\\fw.bin";
  fault.offset = 3000;  // inside the copy, far from the trailer that the Welcome page read
  profile.faults.push_back(fault);
  BootReady(profile);
  StartProgram(&ProgramProcess, u"");
  WaitForTemplate(IDD_WELCOME);
  ASSERT_TRUE(Press(0));
  WaitForTemplate(IDD_PREPARE);
  ASSERT_TRUE(Press(0));
  std::optional<wce::MessageBoxSnapshot> box = DismissMessageBox();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, u"Data preparation failed. Format your storage card then try again.");
  EXPECT_EQ(FinishProgram(), kWizardRan);
  EXPECT_FALSE(ImageExists());
}

}  // namespace
}  // namespace kepla_test
