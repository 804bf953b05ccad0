// Window classes and windows: creation and destruction messages, handles that name nothing,
// geometry, text, and what the window manager shows automation.
#include <windows.h>

#include <set>

#include "user_fixture.h"

namespace {

using kepla_test::Received;
using kepla_test::UserTest;

class WindowTest : public UserTest {};

TEST_F(WindowTest, ClassNamesAreUniqueWithoutRegardToCase) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DefWindowProcW;
  wc.lpszClassName = u"RECORDER";
  SetLastError(0);
  EXPECT_EQ(RegisterClassW(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

  EXPECT_FALSE(UnregisterClassW(u"NoSuchClass", nullptr)) << "unknown classes fail quietly";
  HWND hwnd = MakeWindow();
  EXPECT_FALSE(UnregisterClassW(u"recorder", nullptr)) << "a class with windows stays";
  ASSERT_TRUE(DestroyWindow(hwnd));
  EXPECT_TRUE(UnregisterClassW(u"recorder", nullptr));
  EXPECT_FALSE(UnregisterClassW(u"recorder", nullptr));
  EXPECT_EQ(CreateWindowExW(0, u"Recorder", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowTest, CreationDeliversTheParameterBeforeUserDataExists) {
  int object = 0;
  LPVOID seen_param = nullptr;
  LONG_PTR user_data_at_create = -1;
  BOOL was_window = FALSE;
  on_message = [&](HWND hwnd, UINT message, WPARAM, LPARAM lparam, bool*) -> LRESULT {
    if (message == WM_CREATE) {
      seen_param = reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams;
      user_data_at_create = GetWindowLongW(hwnd, GWL_USERDATA);
      was_window = IsWindow(hwnd);
    }
    return 0;
  };
  HWND hwnd = MakeWindow(nullptr, 0, &object);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_EQ(seen_param, &object);
  EXPECT_EQ(user_data_at_create, 0);
  EXPECT_TRUE(was_window);
  const std::vector<UINT> expected{WM_NCCREATE, WM_CREATE, WM_SIZE};
  EXPECT_EQ(Messages(hwnd), expected);

  // Pointer-sized user data survives a round trip.
  SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(&object));
  EXPECT_EQ(GetWindowLongW(hwnd, GWL_USERDATA), reinterpret_cast<LONG_PTR>(&object));
}

TEST_F(WindowTest, CreateReturningMinusOneFailsAndDestroys) {
  HWND created = nullptr;
  on_message = [&](HWND hwnd, UINT message, WPARAM, LPARAM, bool* handled) -> LRESULT {
    if (message != WM_CREATE) return 0;
    created = hwnd;
    *handled = true;
    return -1;
  };
  EXPECT_EQ(MakeWindow(), nullptr);
  ASSERT_NE(created, nullptr);
  EXPECT_FALSE(IsWindow(created));
  EXPECT_EQ(Count(created, WM_DESTROY), 1);
}

TEST_F(WindowTest, DefaultSizeFillsTheWorkArea) {
  HWND hwnd = MakeWindow();
  RECT r{};
  ASSERT_TRUE(GetWindowRect(hwnd, &r));
  wce::MutexLock lock(device_mutex());
  const RECT work = wm().ScreenLocked().work_area;
  EXPECT_EQ(r.left, work.left);
  EXPECT_EQ(r.top, work.top);
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.bottom, work.bottom);
  EXPECT_EQ(work.bottom - work.top, 320 - 2 * 26);
}

TEST_F(WindowTest, DestroyTellsTheWindowThenItsChildrenAndRetiresTheHandles) {
  HWND parent = MakeWindow();
  HWND child = MakeWindow(parent, 5);
  HWND grandchild = MakeWindow(child, 6);
  BOOL child_alive_during_parent_destroy = FALSE;
  on_message = [&](HWND hwnd, UINT message, WPARAM, LPARAM, bool*) -> LRESULT {
    if (hwnd == parent && message == WM_DESTROY)
      child_alive_during_parent_destroy = IsWindow(child);
    return 0;
  };
  const auto before = Log().size();
  ASSERT_TRUE(DestroyWindow(parent));

  std::vector<std::pair<HWND, UINT>> destroys;
  const auto log = Log();
  for (auto i = before; i < log.size(); ++i) {
    if (log[i].message == WM_DESTROY) destroys.emplace_back(log[i].hwnd, log[i].message);
  }
  const std::vector<std::pair<HWND, UINT>> expected{
      {parent, WM_DESTROY}, {child, WM_DESTROY}, {grandchild, WM_DESTROY}};
  EXPECT_EQ(destroys, expected);
  EXPECT_TRUE(child_alive_during_parent_destroy);
  for (HWND gone : {parent, child, grandchild}) EXPECT_FALSE(IsWindow(gone));

  // New windows never reuse a retired handle.
  std::set<HWND> retired{parent, child, grandchild};
  for (int i = 0; i < 10; ++i) {
    HWND fresh = MakeWindow();
    EXPECT_EQ(retired.count(fresh), 0u);
    DestroyWindow(fresh);
  }
}

TEST_F(WindowTest, DestroyingAnOwnerTakesItsOwnedWindowsFirst) {
  HWND owner = MakeWindow();
  HWND owned = CreateWindowExW(0, u"Recorder", u"popup", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, owner,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(GetParent(owned), owner) << "a popup's parent is its owner";
  ASSERT_TRUE(DestroyWindow(owner));
  EXPECT_FALSE(IsWindow(owned));
  const auto log = Log();
  auto first_destroy = std::find_if(log.begin(), log.end(),
                                    [](const Received& r) { return r.message == WM_DESTROY; });
  ASSERT_NE(first_destroy, log.end());
  EXPECT_EQ(first_destroy->hwnd, owned);
}

TEST_F(WindowTest, CloseByDefaultDestroys) {
  HWND hwnd = MakeWindow();
  EXPECT_EQ(SendMessageW(hwnd, WM_CLOSE, 0, 0), 0);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(Count(hwnd, WM_DESTROY), 1);
}

TEST_F(WindowTest, HandlesThatNameNoWindowFailCleanly) {
  HWND destroyed = MakeWindow();
  ASSERT_TRUE(DestroyWindow(destroyed));
  for (HWND bad : {HWND{nullptr}, destroyed, reinterpret_cast<HWND>(0x12345)}) {
    SCOPED_TRACE(reinterpret_cast<std::uintptr_t>(bad));
    RECT r{};
    WCHAR text[8] = u"x";
    auto fails = [](auto result) {
      EXPECT_EQ(result, decltype(result){});
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    };
    EXPECT_FALSE(IsWindow(bad));
    fails(DestroyWindow(bad));
    fails(ShowWindow(bad, SW_SHOW));
    fails(EnableWindow(bad, FALSE));
    fails(SetWindowTextW(bad, u"t"));
    fails(GetWindowTextW(bad, text, 8));
    fails(GetWindowLongW(bad, GWL_USERDATA));
    fails(SetWindowLongW(bad, GWL_USERDATA, 1));
    fails(GetClientRect(bad, &r));
    fails(MoveWindow(bad, 0, 0, 1, 1, TRUE));
    fails(GetDlgItem(bad, 1));
    fails(SendMessageW(bad, WM_USER, 0, 0));
    if (bad != nullptr) {  // null names the thread for these two
      fails(PostMessageW(bad, WM_USER, 0, 0));
      fails(SetTimer(bad, 1, 100, nullptr));
    }
  }
}

TEST_F(WindowTest, OnlyTheOwningThreadMayDestroy) {
  HWND hwnd = MakeWindow();
  BOOL destroyed = TRUE;
  DWORD error = 0;
  kepla_test::DeviceThreadRunner other(device(), [&] {
    destroyed = DestroyWindow(hwnd);
    error = GetLastError();
  });
  ASSERT_TRUE(other.Join());
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowTest, MoveSendsSizeOnlyWhenTheSizeChanges) {
  HWND parent = MakeWindow();
  HWND child = MakeWindow(parent, 7);
  const int sizes_before = Count(child, WM_SIZE);
  ASSERT_TRUE(MoveWindow(child, 30, 40, 50, 30, TRUE));  // moved, same size
  EXPECT_EQ(Count(child, WM_SIZE), sizes_before);
  ASSERT_TRUE(MoveWindow(child, 30, 40, 80, 60, TRUE));
  ASSERT_EQ(Count(child, WM_SIZE), sizes_before + 1);
  const Received last = Log().back();
  EXPECT_EQ(last.message, static_cast<UINT>(WM_SIZE));
  EXPECT_EQ(last.wparam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(LOWORD(last.lparam), 80);
  EXPECT_EQ(HIWORD(last.lparam), 60);

  // Screen and client coordinates agree.
  RECT parent_rect{}, child_rect{}, client{};
  GetWindowRect(parent, &parent_rect);
  GetWindowRect(child, &child_rect);
  GetClientRect(child, &client);
  EXPECT_EQ(child_rect.left, parent_rect.left + 30);
  EXPECT_EQ(child_rect.top, parent_rect.top + 40);
  EXPECT_EQ(client.right, 80);
  EXPECT_EQ(client.bottom, 60);
  POINT corners[2] = {{child_rect.left, child_rect.top}, {child_rect.right, child_rect.bottom}};
  MapWindowPoints(nullptr, parent, corners, 2);
  EXPECT_EQ(corners[0].x, 30);
  EXPECT_EQ(corners[0].y, 40);
  EXPECT_EQ(corners[1].x, 110);
  EXPECT_EQ(corners[1].y, 100);
}

TEST_F(WindowTest, TextGoesThroughTheTextMessages) {
  HWND hwnd = MakeWindow();
  ASSERT_TRUE(SetWindowTextW(hwnd, u"Hello"));
  EXPECT_EQ(Count(hwnd, WM_SETTEXT), 1);
  EXPECT_EQ(GetWindowTextLengthW(hwnd), 5);
  WCHAR small[4];
  EXPECT_EQ(GetWindowTextW(hwnd, small, 4), 3);
  EXPECT_EQ(std::u16string(small), u"Hel");
  HWND child = MakeWindow(hwnd, 9);
  ASSERT_TRUE(SetDlgItemTextW(hwnd, 9, u"Item"));
  WCHAR text[16];
  GetWindowTextW(GetDlgItem(hwnd, 9), text, 16);
  EXPECT_EQ(std::u16string(text), u"Item");
  EXPECT_EQ(GetDlgCtrlID(child), 9);
  EXPECT_EQ(GetDlgItem(hwnd, 10), nullptr);
}

TEST_F(WindowTest, VisibleChangesMoveTheGenerationAndTheForeground) {
  HWND first = MakeWindow();
  HWND second = MakeWindow();
  HWND hidden =
      CreateWindowExW(0, u"Recorder", u"hidden", 0, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
  {
    wce::MutexLock lock(device_mutex());
    EXPECT_EQ(wm().ForegroundWindowLocked(), second) << "invisible windows are never foreground";
    EXPECT_EQ(wm().UiThreadIdLocked(), GetCurrentThreadId());
  }
  std::uint64_t seen = wm().generation();
  auto changed = [&] {
    const std::uint64_t now = wm().generation();
    const bool moved = now != seen;
    seen = now;
    return moved;
  };
  ShowWindow(first, SW_SHOW);
  EXPECT_TRUE(changed());
  {
    wce::MutexLock lock(device_mutex());
    EXPECT_EQ(wm().ForegroundWindowLocked(), first) << "showing raises";
  }
  EnableWindow(first, FALSE);
  EXPECT_TRUE(changed());
  EXPECT_FALSE(IsWindowEnabled(first));
  SetWindowTextW(second, u"title");
  EXPECT_TRUE(changed());
  MoveWindow(second, 1, 1, 10, 10, TRUE);
  EXPECT_TRUE(changed());
  DestroyWindow(hidden);
  EXPECT_TRUE(changed());
  GetWindowLongW(second, GWL_STYLE);
  EXPECT_FALSE(changed()) << "reading changes nothing";
}

TEST_F(WindowTest, FindWindowLooksAtThisProcessFirstThenAsksNoFurther) {
  HWND hwnd =
      CreateWindowExW(0, u"Recorder", u"Main Title", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(FindWindowW(u"RECORDER", nullptr), hwnd);
  EXPECT_EQ(FindWindowW(u"Recorder", u"Main Title"), hwnd);
  EXPECT_EQ(FindWindowW(nullptr, u"Main Title"), hwnd);
  EXPECT_EQ(FindWindowW(u"Recorder", u"Other"), nullptr);
  DestroyWindow(hwnd);
  EXPECT_EQ(FindWindowW(u"Recorder", nullptr), nullptr);
}

TEST_F(WindowTest, WindowsOfAThreadThatEndsAreGone) {
  HWND theirs = nullptr;
  {
    kepla_test::DeviceThreadRunner other(device(), [&] { theirs = MakeWindow(); });
    ASSERT_TRUE(other.Join());
  }
  ASSERT_NE(theirs, nullptr);
  EXPECT_FALSE(IsWindow(theirs));
  EXPECT_EQ(SendMessageW(theirs, WM_USER, 0, 0), 0);
}

}  // namespace
