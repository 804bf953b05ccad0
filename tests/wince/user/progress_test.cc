// The progress bar control: ranges, steps, wrapping, clamping, and what it reports.
#include <windows.h>
#include <commctrl.h>

#include "system/automation.h"
#include "user_fixture.h"

namespace {

using kepla_test::UserTest;

class ProgressTest : public UserTest {
 protected:
  void SetUp() override {
    UserTest::SetUp();
    HWND parent = MakeWindow();
    bar_ = CreateWindowExW(0, PROGRESS_CLASS, u"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 10, parent,
                           reinterpret_cast<HMENU>(1003), nullptr, nullptr);
    ASSERT_NE(bar_, nullptr);
  }
  LRESULT Send(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendMessageW(bar_, message, wparam, lparam);
  }
  HWND bar_ = nullptr;
};

TEST_F(ProgressTest, StepItWrapsOnlyWhenPassingTheEnd) {
  Send(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  Send(PBM_SETSTEP, 1);
  for (int i = 0; i < 99; ++i) Send(PBM_STEPIT);
  EXPECT_EQ(Send(PBM_STEPIT), 99) << "returns the previous position";
  EXPECT_EQ(Send(PBM_GETPOS), 100) << "reaching the end is no wrap";
  EXPECT_EQ(Send(PBM_STEPIT), 100);
  EXPECT_EQ(Send(PBM_GETPOS), 0) << "passing it starts over";

  Send(PBM_SETSTEP, 30);
  Send(PBM_SETPOS, 80);
  Send(PBM_STEPIT);
  EXPECT_EQ(Send(PBM_GETPOS), 0);
}

TEST_F(ProgressTest, PositionsStayInsideTheRange) {
  EXPECT_EQ(Send(PBM_SETRANGE, 0, MAKELPARAM(10, 50)), MAKELONG(0, 100)) << "the previous range";
  EXPECT_EQ(Send(PBM_GETPOS), 10) << "a new range pulls the position in";
  EXPECT_EQ(Send(PBM_SETPOS, 70), 10);
  EXPECT_EQ(Send(PBM_GETPOS), 50);
  EXPECT_EQ(Send(PBM_DELTAPOS, static_cast<WPARAM>(-25)), 50);
  EXPECT_EQ(Send(PBM_GETPOS), 25);
  Send(PBM_DELTAPOS, static_cast<WPARAM>(-100));
  EXPECT_EQ(Send(PBM_GETPOS), 10);

  EXPECT_EQ(Send(PBM_SETRANGE32, 0, 1000), MAKELONG(10, 50));
  PBRANGE range{};
  EXPECT_EQ(Send(PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range)), 1000);
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 1000);
}

// A program may put its own procedure on a control and put the old one back later: the control's
// own handling must answer again.
TEST_F(ProgressTest, AReplacedProcedureCanBePutBack) {
  static int seen = 0;
  WNDPROC own = [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message == PBM_SETPOS) ++seen;
    return 0;
  };
  const LONG_PTR old = SetWindowLongW(bar_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(own));
  ASSERT_NE(old, 0);
  Send(PBM_SETPOS, 30);
  EXPECT_EQ(seen, 1);
  SetWindowLongW(bar_, GWL_WNDPROC, old);
  EXPECT_EQ(Send(PBM_GETPOS), 0) << "the bar never saw the first position";
  Send(PBM_SETPOS, 40);
  EXPECT_EQ(Send(PBM_GETPOS), 40);
  EXPECT_EQ(seen, 1);
}

struct ProgressRecorder : wce::AutomationObserver {
  std::vector<std::pair<int, int>> reports;
  void OnProgress(std::uint64_t, int id, int pos) override { reports.emplace_back(id, pos); }
};

TEST_F(ProgressTest, MovesAreVisibleToAutomation) {
  ProgressRecorder recorder;
  device().automation().SetObserver(&recorder);
  const std::uint64_t before = wm().generation();
  Send(PBM_SETPOS, 40);
  Send(PBM_SETPOS, 40);  // no move, no report
  Send(PBM_STEPIT);
  device().automation().SetObserver(nullptr);
  EXPECT_EQ(recorder.reports, (std::vector<std::pair<int, int>>{{1003, 40}, {1003, 50}}));
  EXPECT_GT(wm().generation(), before);
  wce::MutexLock lock(device_mutex());
  auto info = wm().InfoLocked(bar_);
  ASSERT_TRUE(info && info->progress);
  EXPECT_EQ(info->progress->pos, 50);
}

}  // namespace
