// Waits on kernel objects: which object wins, which object changes state, failures, time-outs,
// and the engine's extra readiness used by the window system.
#include <windows.h>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "system/device.h"
#include "kernel/wait.h"
#include "support/device_thread.h"

namespace {

using kepla_test::DeviceThreadTest;

class WaitTest : public DeviceThreadTest {
 protected:
  void SetUp() override { BootHere(); }

  static bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }
};

TEST_F(WaitTest, LowestSignalledIndexWinsAndOnlyItResets) {
  HANDLE events[3];
  for (HANDLE& event : events) event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  SetEvent(events[2]);
  SetEvent(events[1]);

  EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 0), WAIT_OBJECT_0 + 1);
  EXPECT_FALSE(IsSet(events[1]));
  EXPECT_TRUE(IsSet(events[2])) << "the other signalled auto-reset event must stay signalled";
}

TEST_F(WaitTest, SatisfiedWaitLeavesManualResetEventsSignalled) {
  HANDLE events[2] = {CreateEventW(nullptr, TRUE, TRUE, nullptr),
                      CreateEventW(nullptr, FALSE, TRUE, nullptr)};
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(IsSet(events[1]));
}

TEST_F(WaitTest, BadHandleFailsTheWholeWaitWithoutTouchingTheOthers) {
  HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  ASSERT_TRUE(CloseHandle(closed));
  for (HANDLE bad :
       {HANDLE{nullptr}, INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(0x4321), closed}) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(bad, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }

  HANDLE set = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  HANDLE mixed[2] = {set, reinterpret_cast<HANDLE>(0x4321)};
  EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), WAIT_FAILED);
  EXPECT_TRUE(IsSet(set));
}

TEST_F(WaitTest, UnsupportedFormsOfMultipleWaitFail) {
  HANDLE events[2] = {CreateEventW(nullptr, TRUE, TRUE, nullptr),
                      CreateEventW(nullptr, TRUE, TRUE, nullptr)};
  EXPECT_EQ(WaitForMultipleObjects(2, events, TRUE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(WaitForMultipleObjects(0, events, FALSE, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  std::vector<HANDLE> too_many(MAXIMUM_WAIT_OBJECTS + 1, events[0]);
  EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(too_many.size()), too_many.data(), FALSE, 0),
            WAIT_FAILED);
  EXPECT_EQ(WaitForMultipleObjects(MAXIMUM_WAIT_OBJECTS, too_many.data(), FALSE, 0), WAIT_OBJECT_0);
}

TEST_F(WaitTest, TimeOutEndsTheWaitAtItsDeviceDeadline) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const DWORD start = GetTickCount();
  EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount() - start, 5000u);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  EXPECT_EQ(GetTickCount() - start, 5000u);
}

TEST_F(WaitTest, SignalFromAnotherThreadEndsTheWaitBeforeItsDeadline) {
  HANDLE events[2] = {CreateEventW(nullptr, FALSE, FALSE, nullptr),
                      CreateEventW(nullptr, FALSE, FALSE, TEXT("WAIT_TEST_LATE"))};
  HANDLE setter = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        Sleep(1200);
        HANDLE late = OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("WAIT_TEST_LATE"));
        return SetEvent(late) ? 0 : 1;
      },
      nullptr, 0, nullptr);
  ASSERT_NE(setter, nullptr);
  const DWORD start = GetTickCount();
  EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 5000), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(GetTickCount() - start, 1200u);
  EXPECT_EQ(WaitForSingleObject(setter, 1000), WAIT_OBJECT_0);
}

// The engine as the window system uses it: objects first, then its own readiness.
class WaitEngineTest : public WaitTest {
 protected:
  std::shared_ptr<wce::KernelObject> Object(HANDLE handle) {
    return device().handles().Get(handle);
  }

  DWORD WaitEngine(const std::vector<std::shared_ptr<wce::KernelObject>>& objects, DWORD timeout_ms,
                   const std::function<bool()>& extra) {
    wce::Scheduler& scheduler = device().scheduler();
    wce::UniqueLock lock(scheduler.mutex());
    return wce::WaitForObjectsLocked(scheduler, lock, objects,
                                     scheduler.DeadlineAfterLocked(timeout_ms), extra);
  }
};

TEST_F(WaitEngineTest, SignalledObjectBeatsExtraReadiness) {
  HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  std::vector<std::shared_ptr<wce::KernelObject>> objects{Object(event)};
  EXPECT_EQ(WaitEngine(objects, 0, [] { return true; }), 0u);
  EXPECT_EQ(WaitEngine(objects, 0, [] { return true; }), 1u) << "the event was reset by the wait";
  EXPECT_EQ(WaitEngine(objects, 0, nullptr), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(WaitEngineTest, ExtraReadinessSetByAnotherThreadEndsTheWait) {
  static bool flag;  // guarded by the scheduler's mutex
  flag = false;
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE raiser = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        Sleep(300);
        wce::Scheduler& scheduler = wce::Device::Get().scheduler();
        wce::MutexLock lock(scheduler.mutex());
        flag = true;
        scheduler.NotifyAll();
        return 0;
      },
      nullptr, 0, nullptr);
  ASSERT_NE(raiser, nullptr);
  const DWORD start = GetTickCount();
  EXPECT_EQ(WaitEngine({Object(event)}, 5000, [] { return flag; }), 1u);
  EXPECT_EQ(GetTickCount() - start, 300u);
  EXPECT_EQ(WaitForSingleObject(raiser, 1000), WAIT_OBJECT_0);
}

}  // namespace
