// The application frame on the device: the start-up chain, its main window and the teardown.
#include "app/app_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "package/data_unpacker.h"
#include "support/program_fixture.h"

namespace kepla_test {
namespace {

const WCHAR kClass[] = u"KEPLA_TEST_FRAME";
const WCHAR kTitle[] = u"Frame";

// A frame whose hooks can be made to fail, and which records the calls it gets.
class TestFrame final : public AppFrame {
 public:
  ~TestFrame() { Teardown(); }

  int CreateData() override {
    ++createDataCalls;
    if (!dataSucceeds) return 0;
    data = new DataUnpacker;
    return 1;
  }
  int BeforeRegister() override {
    ++beforeRegisterCalls;
    return beforeRegisterSucceeds ? 1 : 0;
  }
  int RegisterWindowClass() override {
    ++registerCalls;
    return AppFrame::RegisterWindowClass();
  }
  LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(message);
    return AppFrame::WindowProc(hwnd, message, wParam, lParam);
  }

  using AppFrame::Init;
  HWND Init(HINSTANCE instance) {
    return AppFrame::Init(instance, const_cast<LPWSTR>(u""), SW_SHOW, kClass, kTitle);
  }

  bool dataSucceeds = true;
  bool beforeRegisterSucceeds = true;
  int createDataCalls = 0;
  int beforeRegisterCalls = 0;
  int registerCalls = 0;
  std::vector<UINT> messages;
};

class AppFrameTest : public ProgramFixture {
 protected:
  void SetUp() override { Boot(); }
  HINSTANCE Instance() { return device().program_instance(); }

  // Whether the class is free to register (registers and unregisters it to find out).
  bool ClassIsFree() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = Instance();
    wc.lpszClassName = kClass;
    if (RegisterClassW(&wc) == 0) return false;
    UnregisterClassW(kClass, Instance());
    return true;
  }
};

TEST_F(AppFrameTest, InitCreatesTheMainWindowOnceAndRoutesItsCreation) {
  TestFrame frame;
  HWND window = frame.Init(Instance());
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(frame.MainWindow(), window);
  EXPECT_NE(frame.Data(), nullptr);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(FindWindowW(kClass, kTitle), window);
  EXPECT_EQ(GetWindowLongW(window, GWL_USERDATA), reinterpret_cast<LONG_PTR>(&frame));
  // WM_CREATE came before the user data was set, through the creation parameter.
  ASSERT_FALSE(frame.messages.empty());
  EXPECT_NE(std::find(frame.messages.begin(), frame.messages.end(), WM_CREATE),
            frame.messages.end());

  // A second Init changes nothing.
  EXPECT_EQ(frame.Init(Instance()), window);
  EXPECT_EQ(frame.createDataCalls, 1);
  EXPECT_EQ(frame.registerCalls, 1);
}

TEST_F(AppFrameTest, ChainStopsAtTheFirstFailingStep) {
  TestFrame noData;
  noData.dataSucceeds = false;
  EXPECT_EQ(noData.Init(Instance()), nullptr);
  EXPECT_EQ(noData.beforeRegisterCalls, 0);
  EXPECT_EQ(noData.registerCalls, 0);
  // The instance stays stored: trying again does nothing.
  noData.dataSucceeds = true;
  EXPECT_EQ(noData.Init(Instance()), nullptr);
  EXPECT_EQ(noData.createDataCalls, 1);

  TestFrame noStart;
  noStart.beforeRegisterSucceeds = false;
  EXPECT_EQ(noStart.Init(Instance()), nullptr);
  EXPECT_EQ(noStart.registerCalls, 0);
  EXPECT_TRUE(ClassIsFree());
}

TEST_F(AppFrameTest, CloseDestroysTheWindowAndPostsQuit) {
  TestFrame frame;
  HWND window = frame.Init(Instance());
  ASSERT_NE(window, nullptr);
  SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(frame.MainWindow(), nullptr);
  MSG msg = {};
  ASSERT_TRUE(PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 0u);
}

TEST_F(AppFrameTest, TeardownUndoesEverythingAndMayRunAgain) {
  TestFrame frame;
  HWND window = frame.Init(Instance());
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(ClassIsFree());
  frame.Teardown();
  EXPECT_EQ(frame.Data(), nullptr);
  EXPECT_EQ(frame.MainWindow(), nullptr);
  EXPECT_EQ(frame.Instance(), nullptr);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(ClassIsFree());
  frame.Teardown();  // and the destructor runs it once more
  EXPECT_TRUE(ClassIsFree());
}

// A window of the class that will not close, as a stuck copy of the program would.
LRESULT CALLBACK StubbornProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(AppFrameTest, WindowOfTheClassThatStaysOpenSkipsRegistration) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = StubbornProc;
  wc.hInstance = Instance();
  wc.lpszClassName = kClass;
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND stubborn =
      CreateWindowExW(0, kClass, u"Other", WS_VISIBLE, 0, 0, 10, 10, NULL, NULL, Instance(), NULL);
  ASSERT_NE(stubborn, nullptr);

  TestFrame frame;
  // Registration is skipped with a non-zero result, and the main window is still made.
  HWND window = frame.Init(Instance());
  EXPECT_NE(window, nullptr);
  EXPECT_NE(window, stubborn);
  EXPECT_TRUE(IsWindow(stubborn));
  DestroyWindow(stubborn);
}

}  // namespace
}  // namespace kepla_test
