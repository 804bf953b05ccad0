// Events: names shared across handles, reset modes, pulses, and the registry that other
// processes reach through the run folder.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "system/device.h"
#include "kernel/threads.h"
#include "support/device_thread.h"

namespace {

using kepla_test::DeviceThreadTest;

class EventsTest : public DeviceThreadTest {
 protected:
  void SetUp() override { BootHere(); }

  static bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }
};

TEST_F(EventsTest, NamedEventIsSharedByEveryHandleToTheName) {
  SetLastError(ERROR_GEN_FAILURE);
  HANDLE created = CreateEventW(nullptr, FALSE, FALSE, TEXT("UNPACK_DATA_SUCCESS"));
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

  // Creating it again opens the same event, keeping its reset mode.
  HANDLE again = CreateEventW(nullptr, TRUE, FALSE, TEXT("UNPACK_DATA_SUCCESS"));
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, created);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

  HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("UNPACK_DATA_SUCCESS"));
  ASSERT_NE(opened, nullptr);

  ASSERT_TRUE(SetEvent(opened));
  EXPECT_TRUE(IsSet(created));
  EXPECT_FALSE(IsSet(again)) << "auto-reset: the first wait took the signal";

  ASSERT_TRUE(EventModify(again, EVENT_SET));
  EXPECT_TRUE(IsSet(opened));
}

TEST_F(EventsTest, OpenFindsOnlyExistingEventsByExactName) {
  ASSERT_NE(CreateEventW(nullptr, FALSE, FALSE, TEXT("UNPACK_DATA_FAIL")), nullptr);
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("unpack_data_fail")), nullptr);
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("UNPACK_DATA_ABORT")), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, nullptr), nullptr);
  EXPECT_NE(OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("UNPACK_DATA_FAIL")), nullptr);

  // Unnamed events are never shared.
  HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetEvent(a);
  EXPECT_FALSE(IsSet(b));
}

TEST_F(EventsTest, CreateAndOpenAgreeOnTheNameLengthLimit) {
  const std::u16string longest(MAX_PATH - 1, u'E');
  HANDLE created = CreateEventW(nullptr, TRUE, FALSE, longest.c_str());
  ASSERT_NE(created, nullptr);
  HANDLE opened = OpenEventW(EVENT_ALL_ACCESS, FALSE, longest.c_str());
  ASSERT_NE(opened, nullptr);

  const std::u16string too_long(MAX_PATH, u'E');
  SetLastError(0);
  EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, too_long.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  SetLastError(0);
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, too_long.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  SetLastError(0);
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, (too_long + u"EEEE").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));

  // No name at all is a bad argument, not a name out of range.
  SetLastError(0);
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, u""), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  CloseHandle(opened);
  CloseHandle(created);
}

TEST_F(EventsTest, NamedEventLivesWhileAHandleToItIsOpen) {
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, TEXT("UNPACK_DATA_ABORT"));
  HANDLE second = OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("UNPACK_DATA_ABORT"));
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(CloseHandle(first));
  HANDLE third = OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("UNPACK_DATA_ABORT"));
  ASSERT_NE(third, nullptr);
  ASSERT_TRUE(CloseHandle(second));
  ASSERT_TRUE(CloseHandle(third));
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, TEXT("UNPACK_DATA_ABORT")), nullptr);

  // The name can be made afresh, with a new state.
  HANDLE fresh = CreateEventW(nullptr, TRUE, TRUE, TEXT("UNPACK_DATA_ABORT"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_TRUE(IsSet(fresh));
}

TEST_F(EventsTest, ManualResetStaysSetUntilResetAndAutoResetServesOneWait) {
  HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  EXPECT_TRUE(IsSet(manual));
  EXPECT_TRUE(IsSet(manual));
  ASSERT_TRUE(ResetEvent(manual));
  EXPECT_FALSE(IsSet(manual));

  HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  EXPECT_TRUE(IsSet(automatic));
  EXPECT_FALSE(IsSet(automatic));
  SetEvent(automatic);
  SetEvent(automatic);  // setting twice does not count twice
  EXPECT_TRUE(IsSet(automatic));
  EXPECT_FALSE(IsSet(automatic));
}

// Each worker waits on the event it is given, then ends.
DWORD WINAPI WaitThenEnd(LPVOID event) {
  return WaitForSingleObject(static_cast<HANDLE>(event), 30000) == WAIT_OBJECT_0 ? 1 : 0;
}

TEST_F(EventsTest, AutoResetEventReleasesOneWaiterPerSet) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE threads[2];
  for (HANDLE& thread : threads) {
    thread = CreateThread(nullptr, 0, WaitThenEnd, event, 0, nullptr);
    ASSERT_NE(thread, nullptr);
  }
  SetEvent(event);
  DWORD first = WaitForMultipleObjects(2, threads, FALSE, 1000);
  ASSERT_LT(first, 2u);
  HANDLE other = threads[1 - first];
  EXPECT_EQ(WaitForSingleObject(other, 1000), WAIT_TIMEOUT);

  SetEvent(event);
  EXPECT_EQ(WaitForSingleObject(other, 1000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsSet(event));
}

TEST_F(EventsTest, PulseReleasesWhoWaitsNowAndLeavesTheEventReset) {
  HANDLE manual = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE automatic = CreateEventW(nullptr, FALSE, FALSE, nullptr);

  // Nobody waits: a pulse changes nothing.
  ASSERT_TRUE(EventModify(manual, EVENT_PULSE));
  EXPECT_FALSE(IsSet(manual));

  HANDLE on_manual[2];
  HANDLE on_auto[2];
  for (int i = 0; i < 2; ++i) {
    on_manual[i] = CreateThread(nullptr, 0, WaitThenEnd, manual, 0, nullptr);
    on_auto[i] = CreateThread(nullptr, 0, WaitThenEnd, automatic, 0, nullptr);
  }
  Sleep(10);  // virtual time moves only once every worker waits

  ASSERT_TRUE(EventModify(manual, EVENT_PULSE));
  EXPECT_EQ(WaitForSingleObject(on_manual[0], 1000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(on_manual[1], 1000), WAIT_OBJECT_0);
  EXPECT_FALSE(IsSet(manual));

  ASSERT_TRUE(EventModify(automatic, EVENT_PULSE));
  DWORD released = WaitForMultipleObjects(2, on_auto, FALSE, 1000);
  ASSERT_LT(released, 2u);
  EXPECT_EQ(WaitForSingleObject(on_auto[1 - released], 1000), WAIT_TIMEOUT);
  EXPECT_FALSE(IsSet(automatic));
  SetEvent(automatic);
}

TEST_F(EventsTest, ModifyRefusesUnknownActionsAndNonEvents) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(EventModify(event, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(SetEvent(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE thread = CreateThread(
      nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
  EXPECT_FALSE(SetEvent(thread));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(EventsTest, RegistryLetsAnotherProcessSetAndListNamedEvents) {
  wce::EventRegistry& registry = device().threads().events();
  std::vector<std::pair<std::u16string, bool>> changes;
  registry.on_named_change = [&](const std::u16string& name, bool created) {
    changes.emplace_back(name, created);
  };

  HANDLE b = CreateEventW(nullptr, FALSE, FALSE, TEXT("UNPACK_DATA_SUCCESS"));
  HANDLE a = CreateEventW(nullptr, FALSE, FALSE, TEXT("UNPACK_DATA_ABORT"));
  CreateEventW(nullptr, FALSE, FALSE, TEXT("UNPACK_DATA_ABORT"));  // no second announcement
  CreateEventW(nullptr, FALSE, FALSE, nullptr);                    // unnamed: not listed
  EXPECT_EQ(registry.Names(),
            (std::vector<std::u16string>{u"UNPACK_DATA_ABORT", u"UNPACK_DATA_SUCCESS"}));

  EXPECT_FALSE(registry.SetNamedEvent(u"UNPACK_DATA_FAIL"));
  EXPECT_TRUE(registry.SetNamedEvent(u"UNPACK_DATA_ABORT"));
  EXPECT_TRUE(IsSet(a));
  EXPECT_FALSE(IsSet(b));

  CloseHandle(b);
  EXPECT_EQ(registry.Names(), (std::vector<std::u16string>{u"UNPACK_DATA_ABORT"}));
  EXPECT_FALSE(registry.SetNamedEvent(u"UNPACK_DATA_SUCCESS"));
  EXPECT_EQ(changes,
            (std::vector<std::pair<std::u16string, bool>>{{u"UNPACK_DATA_SUCCESS", true},
                                                          {u"UNPACK_DATA_ABORT", true},
                                                          {u"UNPACK_DATA_SUCCESS", false}}));
  registry.on_named_change = nullptr;
}

TEST_F(EventsTest, SetFromAnotherHostThreadWakesAWaiter) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, TEXT("UNPACK_DATA_ABORT"));
  HANDLE worker = CreateThread(nullptr, 0, WaitThenEnd, event, 0, nullptr);
  Sleep(10);
  // As the run folder's listener does: a host thread that is no device thread.
  std::thread other([this] { device().threads().events().SetNamedEvent(u"UNPACK_DATA_ABORT"); });
  other.join();
  ASSERT_EQ(WaitForSingleObject(worker, 1000), WAIT_OBJECT_0);
  DWORD code = 0;
  GetExitCodeThread(worker, &code);
  EXPECT_EQ(code, 1u);
}

}  // namespace
