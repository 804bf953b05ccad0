// Message queues: order of retrieval, WM_QUIT, messages sent across threads, the wake-up rules
// of MsgWaitForMultipleObjectsEx, and timers in device time.
#include <windows.h>

#include <atomic>
#include <thread>

#include "user_fixture.h"

namespace {

using kepla_test::DeviceThreadRunner;
using kepla_test::Received;
using kepla_test::UserTest;

class MessageTest : public UserTest {
 protected:
  HANDLE NewEvent() { return CreateEventW(nullptr, FALSE, FALSE, nullptr); }
  // Lets device time pass on the test thread (other device threads run first).
  void Pass(DWORD ms) {
    HANDLE never = NewEvent();
    ASSERT_EQ(WaitForSingleObject(never, ms), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(never);
  }
  // Dispatches everything waiting; returns how many messages it took.
  int Drain() {
    int n = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ++n;
      DispatchMessageW(&msg);
    }
    return n;
  }
};

TEST_F(MessageTest, PostedMessagesComeInOrderAndQuitEndsTheLoopUndispatched) {
  HWND hwnd = MakeWindow();
  PostMessageW(hwnd, WM_APP, 0, 0);
  PostQuitMessage(3);
  PostMessageW(hwnd, WM_APP + 1, 0, 0);  // posted after the quit, still retrieved before it
  std::vector<UINT> got;
  MSG msg;
  BOOL r;
  while ((r = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    got.push_back(msg.message);
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(r, FALSE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
  EXPECT_EQ(got, (std::vector<UINT>{WM_APP, WM_APP + 1}));
  EXPECT_EQ(Count(hwnd, WM_QUIT), 0);
}

TEST_F(MessageTest, PeekSeesQuitAndRemovesItOnlyWhenAsked) {
  PostQuitMessage(4);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 4u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageTest, ThreadMessagesCarryNoWindow) {
  MSG msg;
  EXPECT_FALSE(PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0))
      << "no queue until the thread first asks for messages";
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP, 1, 2));
  ASSERT_TRUE(PostMessageW(nullptr, WM_APP + 1, 0, 0));
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP));
  EXPECT_EQ(msg.lParam, 2);
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 1));
  EXPECT_FALSE(PostThreadMessageW(0xDEAD, WM_APP, 0, 0));
}

TEST_F(MessageTest, SentMessagesRunBeforeAPostedOneIsReturned) {
  HWND hwnd = MakeWindow();
  PostMessageW(hwnd, WM_APP, 0, 0);
  LRESULT reply = 0;
  DeviceThreadRunner sender(device(), [&] { reply = SendMessageW(hwnd, WM_APP + 5, 0, 0); });
  Pass(100);  // the sender is blocked in its send by now
  EXPECT_EQ(Count(hwnd, WM_APP + 5), 0) << "a sent message waits for the receiver's retrieval";
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP));
  EXPECT_EQ(Count(hwnd, WM_APP + 5), 1);
  ASSERT_TRUE(sender.Join());
}

TEST_F(MessageTest, SendWakesMsgWaitAndRunsInTheFollowingPeek) {
  // The extraction pattern: a worker reports by sending; the interface thread waits for events
  // and input, and drains its queue after every wake-up.
  HWND bar = MakeWindow();
  HANDLE done = NewEvent();
  on_message = [](HWND, UINT message, WPARAM wparam, LPARAM, bool* handled) -> LRESULT {
    if (message != WM_APP) return 0;
    *handled = true;
    return static_cast<LRESULT>(wparam) * 2;
  };
  std::vector<LRESULT> replies;
  DeviceThreadRunner worker(device(), [&] {
    for (WPARAM i = 1; i <= 3; ++i) replies.push_back(SendMessageW(bar, WM_APP, i, 0));
    SetEvent(done);
  });
  int wakes_for_input = 0;
  for (;;) {
    const int before = Count(bar, WM_APP);
    DWORD r = MsgWaitForMultipleObjectsEx(1, &done, 5000, QS_ALLINPUT, 0);
    EXPECT_EQ(Count(bar, WM_APP), before) << "the wait must not run a sent message";
    if (r == WAIT_OBJECT_0) break;
    ASSERT_EQ(r, static_cast<DWORD>(WAIT_OBJECT_0 + 1));
    ++wakes_for_input;
    Drain();
  }
  // Each send wakes the wait (sends that arrive during a drain run in it).
  EXPECT_GE(wakes_for_input, 1);
  EXPECT_EQ(replies, (std::vector<LRESULT>{2, 4, 6}));
  for (const Received& r : Log()) {
    if (r.message == WM_APP) {
      EXPECT_EQ(r.thread_id, GetCurrentThreadId());
    }
  }
  ASSERT_TRUE(worker.Join());
}

TEST_F(MessageTest, SendStallsWhileTheReceiverWaitsOnAKernelObject) {
  HWND hwnd = MakeWindow();
  DWORD answered_at = 0;
  DeviceThreadRunner sender(device(), [&] {
    SendMessageW(hwnd, WM_APP, 0, 0);
    answered_at = GetTickCount();
  });
  const DWORD start = GetTickCount();
  Pass(3000);  // a plain wait: sent messages are not handled in it
  EXPECT_EQ(Count(hwnd, WM_APP), 0);
  EXPECT_EQ(GetTickCount() - start, 3000u);
  Drain();
  ASSERT_TRUE(sender.Join());
  EXPECT_EQ(answered_at - start, 3000u);
}

TEST_F(MessageTest, HostThreadThatIsNoDeviceThreadCanSend) {
  HWND hwnd = MakeWindow();
  on_message = [](HWND, UINT message, WPARAM, LPARAM, bool* handled) -> LRESULT {
    if (message == WM_APP + 1) PostQuitMessage(0);
    *handled = message == WM_APP;
    return message == WM_APP ? 42 : 0;
  };
  std::atomic<LRESULT> reply{0};
  std::thread host([&] {
    reply = SendMessageW(hwnd, WM_APP, 0, 0);
    PostMessageW(hwnd, WM_APP + 1, 0, 0);
  });
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  host.join();
  EXPECT_EQ(reply.load(), 42);
}

TEST_F(MessageTest, ThreadsSendingToEachOtherDoNotDeadlock) {
  HWND mine = MakeWindow();
  HWND theirs = nullptr;
  DWORD their_thread = 0;
  HANDLE ready = NewEvent();
  on_message = [&](HWND hwnd, UINT message, WPARAM, LPARAM, bool* handled) -> LRESULT {
    *handled = true;
    if (hwnd == theirs && message == WM_APP) return SendMessageW(mine, WM_APP + 1, 0, 0) + 1;
    if (hwnd == mine && message == WM_APP + 1) return 10;
    *handled = false;
    return 0;
  };
  DeviceThreadRunner other(device(), [&] {
    theirs = MakeWindow();
    their_thread = GetCurrentThreadId();
    SetEvent(ready);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  });
  ASSERT_EQ(WaitForSingleObject(ready, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(SendMessageW(theirs, WM_APP, 0, 0), 11);
  PostThreadMessageW(their_thread, WM_QUIT, 0, 0);
  ASSERT_TRUE(other.Join());
}

TEST_F(MessageTest, SenderTerminatedWhileWaitingLeavesAReplyNobodyReads) {
  HWND hwnd = MakeWindow();
  bool returned = false;
  DeviceThreadRunner sender(device(), [&] {
    SendMessageW(hwnd, WM_APP, 0, 0);
    returned = true;
  });
  Pass(100);
  sender.Terminate();
  ASSERT_TRUE(sender.Join());
  EXPECT_TRUE(sender.terminated());
  EXPECT_FALSE(returned);
  EXPECT_EQ(Drain(), 0) << "sent messages are not retrieved, only run";
  EXPECT_EQ(Count(hwnd, WM_APP), 1);
}

TEST_F(MessageTest, SendToAThreadThatEndsMeanwhileReturnsZero) {
  HWND theirs = nullptr;
  HANDLE ready = NewEvent();
  HANDLE never = NewEvent();
  DeviceThreadRunner receiver(device(), [&] {
    theirs = MakeWindow();
    SetEvent(ready);
    WaitForSingleObject(never, INFINITE);
  });
  ASSERT_EQ(WaitForSingleObject(ready, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  LRESULT reply = -1;
  DeviceThreadRunner sender(device(), [&] { reply = SendMessageW(theirs, WM_APP, 0, 0); });
  Pass(100);
  receiver.Terminate();
  ASSERT_TRUE(receiver.Join());
  ASSERT_TRUE(sender.Join());
  EXPECT_EQ(reply, 0);
  EXPECT_FALSE(IsWindow(theirs));
}

TEST_F(MessageTest, MsgWaitWakesOnlyForNewInputOfTheMask) {
  HWND hwnd = MakeWindow();
  const DWORD start = GetTickCount();

  PostMessageW(hwnd, WM_APP, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 1000, QS_KEY, 0),
            static_cast<DWORD>(WAIT_TIMEOUT))
      << "a posted message is not key input";
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 1000, QS_POSTMESSAGE, 0), WAIT_OBJECT_0);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_POSTMESSAGE, 0), WAIT_OBJECT_0)
      << "a poll (no time to wait) sees it too";

  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));  // now it has been seen
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 1000, QS_ALLINPUT, 0),
            static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 1000, QS_ALLINPUT, MWMO_INPUTAVAILABLE),
            WAIT_OBJECT_0)
      << "unless any input will do";
  EXPECT_EQ(GetTickCount() - start, 2000u);

  // Input injected by automation counts as key input.
  {
    wce::MutexLock lock(device_mutex());
    ASSERT_TRUE(queues().PostInputLocked(hwnd, WM_COMMAND, IDOK, 0));
  }
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 1000, QS_KEY, 0), WAIT_OBJECT_0);

  // A signalled object wins over input.
  HANDLE events[2] = {NewEvent(), NewEvent()};
  SetEvent(events[1]);
  PostMessageW(hwnd, WM_APP, 0, 0);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(2, events, 1000, QS_ALLINPUT, 0), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitForSingleObject(events[1], 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the auto-reset event that ended the wait was reset";

  HANDLE bad = reinterpret_cast<HANDLE>(0x4321);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &bad, 0, QS_ALLINPUT, 0), WAIT_FAILED);
}

TEST_F(MessageTest, MsgWaitReportsATimerWhenItComesDue) {
  const DWORD start = GetTickCount();
  UINT_PTR timer = SetTimer(nullptr, 0, 300, nullptr);
  ASSERT_NE(timer, 0u);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_TIMER, 0), WAIT_OBJECT_0);
  EXPECT_EQ(GetTickCount() - start, 300u);
  EXPECT_TRUE(KillTimer(nullptr, timer));

  // Due at the very moment the wait times out: the timer is there when the wait ends, and wins.
  timer = SetTimer(nullptr, 0, 300, nullptr);
  EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 300, QS_ALLINPUT, 0), WAIT_OBJECT_0);
  EXPECT_EQ(GetTickCount() - start, 600u);
  EXPECT_TRUE(KillTimer(nullptr, timer));
}

TEST_F(MessageTest, WaitingForInputIsSeenFromOutside) {
  HWND hwnd = MakeWindow();
  on_message = [](HWND, UINT message, WPARAM, LPARAM, bool*) -> LRESULT {
    if (message == WM_COMMAND) PostQuitMessage(0);
    return 0;
  };
  bool saw_wait = false;
  DeviceThreadRunner automation(device(), [&] {
    saw_wait = WaitUntil([&] { return wm().IsUiThreadWaitingForInputLocked(); });
    wce::MutexLock lock(device_mutex());
    queues().PostInputLocked(hwnd, WM_COMMAND, IDOK, 0);
  });
  {
    wce::MutexLock lock(device_mutex());
    EXPECT_FALSE(wm().IsUiThreadWaitingForInputLocked()) << "the thread is running";
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  ASSERT_TRUE(automation.Join());
  EXPECT_TRUE(saw_wait);
}

struct TimerLog {
  static inline std::vector<std::pair<UINT_PTR, DWORD>> calls;
  static void CALLBACK Proc(HWND, UINT message, UINT_PTR id, DWORD time) {
    EXPECT_EQ(message, static_cast<UINT>(WM_TIMER));
    calls.emplace_back(id, time);
  }
};

TEST_F(MessageTest, TimersFireInDeviceTimeAndCoalesce) {
  TimerLog::calls.clear();
  const DWORD start = GetTickCount();
  UINT_PTR a = SetTimer(nullptr, 77, 1000, &TimerLog::Proc);
  UINT_PTR b = SetTimer(nullptr, 77, 1500, &TimerLog::Proc);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b) << "thread timers get fresh identifiers";

  MSG msg;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    DispatchMessageW(&msg);
  }
  const std::vector<std::pair<UINT_PTR, DWORD>> expected{
      {a, start + 1000}, {b, start + 1500}, {a, start + 2000}};
  EXPECT_EQ(TimerLog::calls, expected);

  // Not retrieved for several periods: still one WM_TIMER per timer.
  KillTimer(nullptr, b);
  Pass(5000);
  EXPECT_EQ(Drain(), 1);
  EXPECT_TRUE(KillTimer(nullptr, a));
  EXPECT_FALSE(KillTimer(nullptr, a));
  Pass(5000);
  EXPECT_EQ(Drain(), 0);
}

TEST_F(MessageTest, WindowTimersReachTheWindowProcedure) {
  HWND hwnd = MakeWindow();
  EXPECT_EQ(SetTimer(hwnd, 5, 250, nullptr), 5u);
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.hwnd, hwnd);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.wParam, 5u);
  DispatchMessageW(&msg);
  EXPECT_EQ(Count(hwnd, WM_TIMER), 1);
  DestroyWindow(hwnd);
  EXPECT_FALSE(KillTimer(hwnd, 5)) << "a window's timers go with it";
}

TEST_F(MessageTest, OnlyTheWindowsOwnThreadSetsOrKillsItsTimers) {
  HWND hwnd = MakeWindow();
  const DWORD start = GetTickCount();
  ASSERT_EQ(SetTimer(hwnd, 5, 250, nullptr), 5u);

  // Another thread's timer could never wake the owner, which may already be waiting: refused.
  struct Attempt {
    UINT_PTR set = 1;
    DWORD set_error = 0;
    BOOL killed = TRUE;
    DWORD kill_error = 0;
  };
  auto attempt = [hwnd] {
    Attempt a;
    SetLastError(0);
    a.set = SetTimer(hwnd, 6, 100, nullptr);
    a.set_error = GetLastError();
    SetLastError(0);
    a.killed = KillTimer(hwnd, 5);
    a.kill_error = GetLastError();
    return a;
  };
  Attempt device_thread, host_thread;
  DeviceThreadRunner other(device(), [&] { device_thread = attempt(); });
  ASSERT_TRUE(other.Join());
  std::thread host([&] { host_thread = attempt(); });
  host.join();
  for (const Attempt& a : {device_thread, host_thread}) {
    EXPECT_EQ(a.set, 0u);
    EXPECT_EQ(a.set_error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(a.killed);
    EXPECT_EQ(a.kill_error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }

  // The owner's timer is untouched and no other was made.
  MSG msg;
  ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_EQ(GetTickCount() - start, 250u);
  EXPECT_TRUE(KillTimer(hwnd, 5));
  Pass(1000);
  EXPECT_EQ(Drain(), 0);
}

}  // namespace
