// Soft-key menu bars on a real page: keys from the menu resource, labels, enabling, presses.
#include <windows.h>
#include <commctrl.h>
#include <aygshell.h>

#include <gtest/gtest.h>

#include "system/automation.h"
#include "system/device.h"
#include "support/device_fixture.h"
#include "support/device_thread.h"
#include "support/program_thread.h"
#include "support/test_page.h"
#include "user/window_system.h"
#include "wince/testdata/test_resource.h"

namespace {

using kepla_test::DeviceThreadGuard;
using kepla_test::ProgramThread;
using kepla_test::TestPage;

class MenuBarTest : public kepla_test::DeviceFixture {
 protected:
  void SetUp() override { Boot(); }

  wce::Automation& automation() { return device().automation(); }
  std::uint64_t Deadline(std::uint32_t ms) { return device().scheduler().Now() + ms; }
  // Waits (device time) until the program waits for input on a window.
  bool WaitForPage() { return automation().WaitForChange(0, Deadline(10000)).has_window; }
  std::vector<wce::SoftKeySnapshot> Keys() { return automation().Snapshot().soft_keys; }
};

TBBUTTONINFOW LabelInfo(const char16_t* text) {
  TBBUTTONINFOW info{};
  info.cbSize = sizeof(info);
  info.dwMask = TBIF_TEXT;
  info.pszText = const_cast<LPWSTR>(text);
  return info;
}

TEST_F(MenuBarTest, KeysComeFromTheMenuAndPressesReachTheOwner) {
  DeviceThreadGuard guard;
  TestPage page;
  RECT bar_rect{};
  page.on_init = [&](HWND, HWND bar) { GetWindowRect(bar, &bar_rect); };
  ProgramThread program(device(), [&](HINSTANCE) {
    const INT_PTR result = page.Run();
    // The bar went with its dialog.
    return IsWindow(page.bar()) || SHFindMenuBar(page.dialog()) ? -2 : static_cast<int>(result);
  });
  ASSERT_TRUE(WaitForPage());

  EXPECT_TRUE(page.menu_bar_created());
  auto keys = Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].label, u"Left");
  EXPECT_EQ(keys[0].command, IDM_T_LEFT);
  EXPECT_TRUE(keys[0].enabled);
  EXPECT_EQ(keys[1].label, u"Right");
  EXPECT_FALSE(keys[1].enabled) << "the menu item is grayed";
  EXPECT_EQ(bar_rect.top, 294);
  EXPECT_EQ(bar_rect.bottom, 320);
  EXPECT_EQ(bar_rect.right, 240);
  EXPECT_EQ(SHFindMenuBar(page.bar()), nullptr) << "a bar has no bar of its own";

  ASSERT_TRUE(automation().WaitAndApply(wce::PressSoftKey{0}, Deadline(10000)));
  EXPECT_EQ(program.Finish(), IDM_T_LEFT);
  ASSERT_EQ(page.commands().size(), 1u);
  EXPECT_EQ(page.commands()[0].first, MAKEWPARAM(IDM_T_LEFT, 0));
  EXPECT_EQ(page.commands()[0].second, reinterpret_cast<LPARAM>(page.bar()))
      << "lParam names the menu bar that sent the command";
}

TEST_F(MenuBarTest, ButtonInfoSetsLabelsOfKnownCommandsOnly) {
  DeviceThreadGuard guard;
  TestPage page;
  std::vector<LRESULT> results;
  page.on_init = [&](HWND, HWND bar) {
    TBBUTTONINFOW info = LabelInfo(u"Next");
    results.push_back(SendMessageW(bar, TB_SETBUTTONINFO, IDM_T_LEFT, (LPARAM)&info));
    info.pszText = const_cast<LPWSTR>(u"");
    results.push_back(SendMessageW(bar, TB_SETBUTTONINFO, IDM_T_RIGHT, (LPARAM)&info));
    info.pszText = const_cast<LPWSTR>(u"Nobody");
    results.push_back(SendMessageW(bar, TB_SETBUTTONINFO, 777, (LPARAM)&info));
    info.cbSize = 32 - 1;
    results.push_back(SendMessageW(bar, TB_SETBUTTONINFO, IDM_T_LEFT, (LPARAM)&info));
  };
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  ASSERT_TRUE(WaitForPage());

  EXPECT_EQ(results, (std::vector<LRESULT>{TRUE, TRUE, FALSE, FALSE}));
  auto keys = Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].label, u"Next") << "a record of the wrong size changes nothing";
  EXPECT_EQ(keys[1].label, u"");

  ASSERT_TRUE(automation().WaitAndApply(wce::PressSoftKey{0}, Deadline(10000)));
  EXPECT_EQ(program.Finish(), IDM_T_LEFT);
}

TEST_F(MenuBarTest, DisabledKeysIgnorePresses) {
  DeviceThreadGuard guard;
  TestPage page;
  std::vector<HRESULT> results;
  page.on_init = [&](HWND, HWND bar) {
    results.push_back(SHEnableSoftkey(bar, 0, TRUE, FALSE));
    results.push_back(SHEnableSoftkey(bar, IDM_T_RIGHT, FALSE, TRUE));
    results.push_back(SHEnableSoftkey(bar, 2, TRUE, FALSE));
    results.push_back(SHEnableSoftkey(bar, 4242, FALSE, FALSE));
    results.push_back(SHEnableSoftkey(nullptr, 0, TRUE, FALSE));
  };
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  ASSERT_TRUE(WaitForPage());
  EXPECT_EQ(results, (std::vector<HRESULT>{S_OK, S_OK, E_FAIL, E_FAIL, E_FAIL}));

  auto keys = Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_FALSE(keys[0].enabled);
  EXPECT_TRUE(keys[1].enabled);
  EXPECT_FALSE(automation().Offered(wce::PressSoftKey{0}));
  EXPECT_FALSE(automation().Apply(wce::PressSoftKey{0}));

  // A tap on the disabled key that reaches the bar anyway is dropped there.
  {
    wce::MutexLock lock(device().scheduler().mutex());
    ASSERT_TRUE(device().windows().queues().PostInputLocked(page.bar(), WM_LBUTTONUP, 0,
                                                            MAKELPARAM(30, 13)));
  }
  ASSERT_TRUE(automation().WaitAndApply(wce::PressSoftKey{1}, Deadline(10000)));
  EXPECT_EQ(program.Finish(), IDM_T_RIGHT);
  ASSERT_EQ(page.commands().size(), 1u) << "only the enabled key's press arrived";
  EXPECT_EQ(LOWORD(page.commands()[0].first), IDM_T_RIGHT);
}

TEST_F(MenuBarTest, CreateMenuBarRefusesBadRequests) {
  DeviceThreadGuard guard;
  TestPage page;
  std::vector<BOOL> results;
  HWND extra = nullptr;
  page.on_init = [&](HWND dialog, HWND) {
    SHMENUBARINFO mbi{};
    mbi.cbSize = sizeof(mbi) - 1;
    mbi.hwndParent = dialog;
    mbi.dwFlags = SHCMBF_HMENU;
    mbi.nToolBarId = IDM_T_SOFTKEYS;
    mbi.hInstRes = page.instance;
    results.push_back(SHCreateMenuBar(&mbi));  // wrong size
    mbi.cbSize = sizeof(mbi);
    mbi.nToolBarId = 999;
    results.push_back(SHCreateMenuBar(&mbi));  // no such menu
    mbi.nToolBarId = IDM_T_SOFTKEYS;
    mbi.hwndParent = reinterpret_cast<HWND>(0x7777);
    results.push_back(SHCreateMenuBar(&mbi));  // no such window
    mbi.hwndParent = dialog;
    mbi.dwFlags = 0;
    results.push_back(SHCreateMenuBar(&mbi));  // a toolbar resource, which the device lacks
    results.push_back(SHCreateMenuBar(nullptr));
    mbi.dwFlags = SHCMBF_HMENU;
    mbi.nToolBarId = IDM_T_NESTED;  // "File" (a popup) and "Quit"
    results.push_back(SHCreateMenuBar(&mbi));
    extra = mbi.hwndMB;
  };
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  ASSERT_TRUE(WaitForPage());

  EXPECT_EQ(results, (std::vector<BOOL>{FALSE, FALSE, FALSE, FALSE, FALSE, TRUE}));
  ASSERT_NE(extra, nullptr);
  EXPECT_EQ(SHFindMenuBar(page.dialog()), extra) << "the newest bar of a window is its bar";
  auto keys = Keys();
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].label, u"File");
  EXPECT_EQ(keys[1].command, IDM_T_QUIT);

  ASSERT_TRUE(automation().WaitAndApply(wce::PressSoftKey{1}, Deadline(10000)));
  EXPECT_EQ(program.Finish(), IDM_T_QUIT);
}

}  // namespace
