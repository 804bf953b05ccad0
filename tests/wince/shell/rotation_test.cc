// Display rotation: what ChangeDisplaySettingsEx reports, and how full-screen windows follow.
#include <windows.h>
#include <aygshell.h>

#include <gtest/gtest.h>

#include <mutex>

#include "system/automation.h"
#include "system/device.h"
#include "support/device_fixture.h"
#include "support/device_thread.h"
#include "support/program_thread.h"
#include "support/test_page.h"
#include "wince/testdata/test_resource.h"

namespace {

using kepla_test::DeviceThreadGuard;
using kepla_test::ProgramThread;
using kepla_test::TestPage;

class RotationTest : public kepla_test::DeviceFixture {
 protected:
  wce::Automation& automation() { return device().automation(); }
  std::uint64_t Deadline(std::uint32_t ms) { return device().scheduler().Now() + ms; }
};

// What a program asks: the current orientation, or an error.
LONG QueryOrientation(DWORD* orientation, WORD size = sizeof(DEVMODEW)) {
  DEVMODEW mode{};
  mode.dmSize = size;
  mode.dmFields = DM_DISPLAYORIENTATION;
  mode.dmDisplayOrientation = 0xDEAD;
  LONG result = ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_TEST, nullptr);
  *orientation = mode.dmDisplayOrientation;
  return result;
}

LONG SetOrientation(DWORD code) {
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  mode.dmFields = DM_DISPLAYORIENTATION;
  mode.dmDisplayOrientation = code;
  return ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
}

TEST_F(RotationTest, TestModeReportsTheDeviceRotationCodes) {
  profile().display_rotation = 270;
  Boot();
  static_assert(sizeof(DEVMODEW) == 192);
  DWORD orientation = 0;
  EXPECT_EQ(QueryOrientation(&orientation), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(orientation, 4u) << "the device's code for 270 degrees";
  EXPECT_EQ(automation().Snapshot().width, 320);

  EXPECT_EQ(QueryOrientation(&orientation, 188), DISP_CHANGE_BADPARAM);
  EXPECT_EQ(orientation, 0xDEADu) << "a refused query fills nothing";

  const std::pair<DWORD, int> codes[] = {{DMDO_0, 0}, {DMDO_90, 90}, {DMDO_180, 180}, {4, 270}};
  for (const auto& [code, degrees] : codes) {
    EXPECT_EQ(SetOrientation(code), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(QueryOrientation(&orientation), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(orientation, code);
    EXPECT_EQ(automation().Snapshot().rotation, degrees);
  }
  EXPECT_EQ(SetOrientation(3), DISP_CHANGE_BADPARAM) << "3 means nothing on the device";
  EXPECT_EQ(automation().Snapshot().rotation, 270);

  DEVMODEW query{};
  query.dmSize = sizeof(query);
  query.dmFields = DM_DISPLAYQUERYORIENTATION;
  EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &query, nullptr, CDS_TEST, nullptr),
            DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(query.dmDisplayOrientation, static_cast<DWORD>(DMDO_90 | DMDO_180 | DMDO_270));
  EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, nullptr, nullptr, CDS_TEST, nullptr),
            DISP_CHANGE_BADPARAM);
  EXPECT_FALSE(automation().Apply(wce::Rotate{45}));
}

// A main window made with CW_USEDEFAULT that records its WM_SIZE messages.
struct MainWindow {
  static inline std::mutex mu;
  static inline std::vector<std::pair<int, int>> sizes;
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_SIZE) {
      std::lock_guard<std::mutex> lock(mu);
      sizes.emplace_back(LOWORD(lparam), HIWORD(lparam));
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  static HWND Create(HINSTANCE instance, int width = CW_USEDEFAULT) {
    {
      std::lock_guard<std::mutex> lock(mu);
      sizes.clear();
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = instance;
    wc.lpszClassName = u"ROTATION_MAIN";
    RegisterClassW(&wc);
    return CreateWindowW(u"ROTATION_MAIN", u"Main", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, width,
                         width == CW_USEDEFAULT ? CW_USEDEFAULT : width, nullptr, nullptr, instance,
                         nullptr);
  }
  static std::vector<std::pair<int, int>> Sizes() {
    std::lock_guard<std::mutex> lock(mu);
    return sizes;
  }
};

TEST_F(RotationTest, FullScreenWindowsFollowTheWorkArea) {
  Boot();
  DeviceThreadGuard guard;
  TestPage page;
  RECT main_rect{}, small_rect{};
  ProgramThread program(device(), [&](HINSTANCE) {
    HWND main = MainWindow::Create(page.instance);
    HWND small = CreateWindowW(u"ROTATION_MAIN", u"Small", WS_VISIBLE, 10, 40, 100, 100, nullptr,
                               nullptr, page.instance, nullptr);
    const int result = static_cast<int>(page.Run(main));
    GetWindowRect(main, &main_rect);
    GetWindowRect(small, &small_rect);
    return result;
  });
  auto shown = automation().WaitForChange(0, Deadline(10000));
  ASSERT_TRUE(shown.has_window);
  EXPECT_EQ(shown.window_rect.top, 26);
  EXPECT_EQ(shown.window_rect.bottom, 294);
  EXPECT_EQ(shown.window_rect.right, 240);
  const std::vector<std::pair<int, int>> portrait{{240, 268}};
  EXPECT_EQ(page.sizes(), portrait) << "SHInitDialog sized the page to the work area";

  ASSERT_TRUE(automation().Apply(wce::Rotate{90}));
  // Rotate returns once the page has handled its WM_SIZE.
  EXPECT_EQ(page.sizes().back(), std::make_pair(320, 188));
  auto turned = automation().Snapshot();
  EXPECT_EQ(turned.rotation, 90);
  EXPECT_EQ(turned.width, 320);
  EXPECT_EQ(turned.height, 240);
  EXPECT_EQ(turned.window_rect.bottom, 214);
  RECT bar{};
  GetWindowRect(page.bar(), &bar);
  EXPECT_EQ(bar.top, 214) << "the menu bar moved to the new bottom";
  EXPECT_EQ(bar.right, 320);
  EXPECT_EQ(MainWindow::Sizes().back(), std::make_pair(320, 188));

  const std::size_t before = page.sizes().size();
  ASSERT_TRUE(automation().Apply(wce::Rotate{270}));
  EXPECT_EQ(page.sizes().size(), before) << "same size, no WM_SIZE";
  DWORD orientation = 0;
  EXPECT_EQ(QueryOrientation(&orientation), DISP_CHANGE_SUCCESSFUL);
  EXPECT_EQ(orientation, 4u);

  ASSERT_TRUE(automation().Apply(wce::Rotate{0}));
  EXPECT_EQ(page.sizes().back(), std::make_pair(240, 268));
  ASSERT_TRUE(automation().WaitAndApply(wce::PressSoftKey{0}, Deadline(10000)));
  EXPECT_EQ(program.Finish(), IDM_T_LEFT);
  EXPECT_EQ(main_rect.bottom - main_rect.top, 268);
  EXPECT_EQ(small_rect.right - small_rect.left, 100)
      << "a window that did not fill the screen stays";
  EXPECT_EQ(small_rect.top, 40);
}

}  // namespace
