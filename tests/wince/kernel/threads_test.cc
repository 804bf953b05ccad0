// CreateThread and TerminateThread: thread objects, exit codes, termination inside waits and
// sleeps, and device shutdown with threads still running.
#include <windows.h>

#include <atomic>

#include <gtest/gtest.h>

#include "system/device.h"
#include "kernel/threads.h"
#include "support/device_thread.h"

namespace {

using kepla_test::DeviceThreadTest;

class ThreadsTest : public DeviceThreadTest {
 protected:
  void SetUp() override { BootHere(); }
};

// What a worker shares with the test.
struct Shared {
  HANDLE go = nullptr;     // the worker waits for it before going on
  HANDLE ready = nullptr;  // the worker sets it once it is about to block
  HANDLE self = nullptr;   // the worker's own thread handle, when it needs it
  DWORD seen_id = 0;
  std::atomic<bool> ran_after{false};
  std::atomic<bool> unwound{false};
};

// Sets `unwound` when the worker's frame is left, however it is left.
struct UnwindMark {
  std::atomic<bool>& flag;
  ~UnwindMark() { flag = true; }
};

TEST_F(ThreadsTest, ThreadObjectSignalsWithTheRoutinesResultAndKnowsItsId) {
  Shared shared;
  shared.go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* s = static_cast<Shared*>(p);
        s->seen_id = GetCurrentThreadId();
        WaitForSingleObject(s->go, INFINITE);
        return 42;
      },
      &shared, 0, &id);
  ASSERT_NE(thread, nullptr);

  EXPECT_EQ(WaitForSingleObject(thread, 1000), WAIT_TIMEOUT);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

  SetEvent(shared.go);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(shared.seen_id, id);
  EXPECT_NE(id, GetCurrentThreadId());
  // A thread object stays signalled: every later wait succeeds.
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
}

TEST_F(ThreadsTest, BadArgumentsAndHandlesFail) {
  SetLastError(0);
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeThread(event, &code));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(TerminateThread(event, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(TerminateThread(reinterpret_cast<HANDLE>(0x7777), 1));
}

TEST_F(ThreadsTest, ThreadBlockedInAWaitIsTerminatedThereAndRunsNoMoreOfItsCode) {
  Shared shared;
  shared.go = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // never set
  shared.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* s = static_cast<Shared*>(p);
        UnwindMark mark{s->unwound};
        // Opened by the worker: it must outlive the worker's termination.
        CreateEventW(nullptr, TRUE, FALSE, TEXT("OPENED_BY_WORKER"));
        SetEvent(s->ready);
        WaitForSingleObject(s->go, INFINITE);
        s->ran_after = true;
        return 0;
      },
      &shared, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(shared.ready, 5000), WAIT_OBJECT_0);

  const DWORD before = GetTickCount();
  ASSERT_TRUE(TerminateThread(thread, 0xFFFFFFFF));
  // Signalled at once, with the code it was terminated with.
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 0xFFFFFFFFu);

  kepla_test::FinishWithin(
      std::chrono::seconds(20), [this] { device().threads().TerminateAllAndJoin(); },
      "joining the terminated worker");
  EXPECT_TRUE(shared.unwound);
  EXPECT_FALSE(shared.ran_after);
  EXPECT_EQ(GetTickCount(), before) << "termination must not wait out any device time";

  HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("OPENED_BY_WORKER"));
  EXPECT_NE(opened, nullptr) << "what the worker opened stays open";
}

TEST_F(ThreadsTest, ThreadInALongSleepIsWokenByTermination) {
  Shared shared;
  shared.ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* s = static_cast<Shared*>(p);
        UnwindMark mark{s->unwound};
        SetEvent(s->ready);
        Sleep(60000);
        s->ran_after = true;
        return 0;
      },
      &shared, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(shared.ready, 5000), WAIT_OBJECT_0);
  const DWORD start = GetTickCount();

  // Let device time pass while the worker sleeps, then cut the sleep short.
  Sleep(2000);
  ASSERT_TRUE(TerminateThread(thread, 7));
  kepla_test::FinishWithin(
      std::chrono::seconds(20), [this] { device().threads().TerminateAllAndJoin(); },
      "joining the terminated sleeper");

  EXPECT_TRUE(shared.unwound);
  EXPECT_FALSE(shared.ran_after);
  EXPECT_EQ(GetTickCount() - start, 2000u);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
}

TEST_F(ThreadsTest, ThreadThatTerminatesItselfStopsAtOnce) {
  Shared shared;
  shared.go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID p) -> DWORD {
        auto* s = static_cast<Shared*>(p);
        UnwindMark mark{s->unwound};
        WaitForSingleObject(s->go, INFINITE);
        TerminateThread(s->self, 3);
        s->ran_after = true;
        return 0;
      },
      &shared, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  shared.self = thread;
  SetEvent(shared.go);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  kepla_test::FinishWithin(
      std::chrono::seconds(20), [this] { device().threads().TerminateAllAndJoin(); },
      "joining the worker");
  EXPECT_TRUE(shared.unwound);
  EXPECT_FALSE(shared.ran_after);
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 3u);
}

TEST_F(ThreadsTest, TerminatingAFinishedThreadKeepsItsExitCode) {
  HANDLE thread = CreateThread(
      nullptr, 0, [](LPVOID) -> DWORD { return 5; }, nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  EXPECT_TRUE(TerminateThread(thread, 9));
  DWORD code = 0;
  ASSERT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 5u);
}

TEST_F(ThreadsTest, ManyShortThreadsAreJoinedAsTheyEnd) {
  static std::atomic<int> runs;
  runs = 0;
  for (int i = 0; i < 50; ++i) {
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return static_cast<DWORD>(++runs); }, nullptr, 0,
        nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
  }
  EXPECT_EQ(runs, 50);
}

class ThreadCreateFaultTest : public DeviceThreadTest {
 protected:
  void SetUp() override {
    wce::FaultSpec fault;
    fault.kind = wce::FaultSpec::Kind::kThreadCreate;
    fault.count = 1;
    profile().faults.push_back(fault);
    BootHere();
  }
};

TEST_F(ThreadCreateFaultTest, OnlyThePlannedCreationFails) {
  auto routine = [](LPVOID) -> DWORD { return 0; };
  SetLastError(0);
  EXPECT_EQ(CreateThread(nullptr, 0, routine, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  HANDLE second = CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(WaitForSingleObject(second, 5000), WAIT_OBJECT_0);
}

TEST_F(ThreadsTest, ShutdownTerminatesAndJoinsThreadsStillBlocked) {
  static std::atomic<bool> ran_after;
  ran_after = false;
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  for (int i = 0; i < 3; ++i) {
    ASSERT_NE(CreateThread(
                  nullptr, 0,
                  [](LPVOID p) -> DWORD {
                    WaitForSingleObject(static_cast<HANDLE>(p), INFINITE);
                    ran_after = true;
                    return 0;
                  },
                  never, 0, nullptr),
              nullptr);
  }
  Sleep(10);  // every worker is now blocked (virtual time moves only when all threads wait)
  ShutdownNow();
  EXPECT_FALSE(ran_after);
}

}  // namespace
