// GetTickCount and Sleep on the device clock: virtual time moves only when every device thread
// waits, and then straight to the earliest deadline.
#include <windows.h>

#include <atomic>
#include <chrono>

#include <gtest/gtest.h>

#include <wince/clock.h>
#include "support/device_thread.h"

namespace {

using kepla_test::DeviceThreadTest;

class ClockCallsTest : public DeviceThreadTest {
 protected:
  void SetUp() override { BootHere(); }
};

struct Finish {
  int order = -1;
  DWORD tick = 0;
};

struct Race {
  HANDLE never_set = nullptr;
  Finish sleeper;
  Finish waiter;
  std::atomic<int> sequence{0};
  DWORD wait_result = 0;
};

TEST_F(ClockCallsTest, SleeperAndTimedWaiterEndInDeadlineOrderAtNoRealCost) {
  const auto real_start = std::chrono::steady_clock::now();
  Race race;
  race.never_set = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  const DWORD start = GetTickCount();

  HANDLE sleeper = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* r = static_cast<Race*>(p);
        Sleep(11000);
        r->sleeper.tick = GetTickCount();
        r->sleeper.order = r->sequence++;
        return 0;
      },
      &race, 0, nullptr);
  HANDLE waiter = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* r = static_cast<Race*>(p);
        r->wait_result = WaitForSingleObject(r->never_set, 5000);
        r->waiter.tick = GetTickCount();
        r->waiter.order = r->sequence++;
        return 0;
      },
      &race, 0, nullptr);
  ASSERT_NE(sleeper, nullptr);
  ASSERT_NE(waiter, nullptr);

  HANDLE both[2] = {sleeper, waiter};
  ASSERT_EQ(WaitForMultipleObjects(2, both, FALSE, INFINITE), WAIT_OBJECT_0 + 1);
  ASSERT_EQ(WaitForSingleObject(sleeper, INFINITE), WAIT_OBJECT_0);

  EXPECT_EQ(race.wait_result, static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(race.waiter.order, 0);
  EXPECT_EQ(race.sleeper.order, 1);
  EXPECT_EQ(race.waiter.tick - start, 5000u);
  EXPECT_EQ(race.sleeper.tick - start, 11000u);
  EXPECT_EQ(GetTickCount() - start, 11000u);
  // Sixteen seconds of device waiting; a loose bound only catches real sleeping.
  EXPECT_LT(std::chrono::steady_clock::now() - real_start, std::chrono::seconds(5));
}

TEST_F(ClockCallsTest, SleepPassesExactlyItsTimeAndZeroPassesNone) {
  const DWORD start = GetTickCount();
  Sleep(0);
  EXPECT_EQ(GetTickCount(), start);
  Sleep(1500);
  EXPECT_EQ(GetTickCount() - start, 1500u);
}

TEST_F(ClockCallsTest, TickCountWrapsAroundAndDifferencesStayRight) {
  const DWORD start = GetTickCount();
  Sleep(0xFFFFFF00u);  // about 49.7 days of device time
  const DWORD before_wrap = GetTickCount();
  EXPECT_EQ(before_wrap, start + 0xFFFFFF00u);
  Sleep(0x200);
  const DWORD after_wrap = GetTickCount();
  EXPECT_LT(after_wrap, before_wrap);
  EXPECT_EQ(after_wrap - before_wrap, 0x200u);
}

TEST(ScaledClockTest, DeviceDeadlinesMapToHostTimeDividedByTheFactor) {
  wce::DeviceClock fast(wce::ClockSpec{wce::ClockMode::kScaled, 4.0});
  EXPECT_EQ(fast.HostDeadline(8000) - fast.HostDeadline(0), std::chrono::milliseconds(2000));
  wce::DeviceClock real(wce::ClockSpec{wce::ClockMode::kReal, 1.0});
  EXPECT_EQ(real.HostDeadline(8000) - real.HostDeadline(0), std::chrono::milliseconds(8000));
  EXPECT_EQ(fast.HostDeadline(wce::DeviceClock::kNever),
            std::chrono::steady_clock::time_point::max());
}

}  // namespace
