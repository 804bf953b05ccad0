// Named auto-reset events: of several signalled, a wait for any returns the lowest index and
// resets only that one; the others stay signalled. The same name opens the same event; one
// SetEvent releases one waiter.
#include <windows.h>

#include <atomic>

#include "conformance.h"

namespace {

HANDLE g_shared = NULL;
std::atomic<int> g_released{0};

DWORD WINAPI Waiter(LPVOID) {
  if (WaitForSingleObject(g_shared, 10000) == WAIT_OBJECT_0) ++g_released;
  return 0;
}

std::string State(HANDLE event) {
  return WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? "signalled" : "not signalled";
}

}  // namespace

int ConformanceMain(HINSTANCE, LPCWSTR) {
  HANDLE events[3] = {CreateEventW(NULL, FALSE, FALSE, TEXT("ConformanceA")),
                      CreateEventW(NULL, FALSE, FALSE, TEXT("ConformanceB")),
                      CreateEventW(NULL, FALSE, FALSE, TEXT("ConformanceC"))};
  Line() << "three events made: " << (events[0] && events[1] && events[2]);

  SetEvent(events[1]);
  SetEvent(events[2]);
  Line() << "with 1 and 2 set, WaitForMultipleObjects returns "
         << WaitResult(WaitForMultipleObjects(3, events, FALSE, 0), 3);
  Line() << "event 1 is then " << State(events[1]);
  Line() << "event 2 is then " << State(events[2]);

  SetEvent(events[0]);
  SetEvent(events[2]);
  Line() << "with 0 and 2 set, MsgWaitForMultipleObjectsEx returns "
         << WaitResult(MsgWaitForMultipleObjectsEx(3, events, 0, QS_ALLINPUT, 0), 3);
  Line() << "and again "
         << WaitResult(MsgWaitForMultipleObjectsEx(3, events, 0, QS_ALLINPUT, 0), 3);
  Line() << "and again "
         << WaitResult(MsgWaitForMultipleObjectsEx(3, events, 0, QS_ALLINPUT, 0), 3);

  HANDLE same = CreateEventW(NULL, FALSE, FALSE, TEXT("ConformanceB"));
  DWORD error = LastError();
  Line() << "CreateEventW of a taken name gives a handle: " << (same != NULL) << ", last error "
         << error;
  SetEvent(same);
  Line() << "setting it sets event 1: " << (WaitForSingleObject(events[1], 0) == WAIT_OBJECT_0);
  CloseHandle(same);

  HANDLE other_case = OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("conformanceb"));
  error = LastError();
  Line() << "OpenEventW with another case finds it: " << (other_case != NULL);
  if (other_case == NULL) Line() << "last error " << error;

  HANDLE manual = CreateEventW(NULL, TRUE, TRUE, NULL);
  Line() << "a manual-reset event stays set: " << State(manual) << ", " << State(manual);
  CloseHandle(manual);

  g_shared = CreateEventW(NULL, FALSE, FALSE, NULL);
  HANDLE waiters[2] = {CreateThread(NULL, 0, Waiter, NULL, 0, NULL),
                       CreateThread(NULL, 0, Waiter, NULL, 0, NULL)};
  SetEvent(g_shared);
  DWORD first = WaitForMultipleObjects(2, waiters, FALSE, 10000);
  Line() << "one SetEvent ends one waiter: " << (first < 2);
  Line() << "the other still waits: "
         << (WaitForSingleObject(waiters[first == 0 ? 1 : 0], 100) == WAIT_TIMEOUT);
  Line() << "waiters released: " << g_released.load();
  SetEvent(g_shared);
  Line() << "a second SetEvent ends the other: "
         << (WaitForSingleObject(waiters[first == 0 ? 1 : 0], 10000) == WAIT_OBJECT_0);
  Line() << "waiters released: " << g_released.load();
  CloseHandle(waiters[0]);
  CloseHandle(waiters[1]);
  CloseHandle(g_shared);
  for (HANDLE event : events) CloseHandle(event);
  return 0;
}
