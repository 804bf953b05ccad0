// Automation: what a snapshot shows, which actions are offered, and when they are applied.
#include "system/automation.h"

#include <windows.h>
#include <commctrl.h>
#include <aygshell.h>

#include <gtest/gtest.h>

#include <mutex>

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

class AutomationTest : public kepla_test::DeviceFixture {
 protected:
  void SetUp() override { Boot(); }

  wce::Automation& automation() { return device().automation(); }
  std::uint64_t Now() { return device().scheduler().Now(); }
  std::uint64_t Deadline(std::uint32_t ms) { return Now() + ms; }
  wce::ScreenSnapshot WaitForPage() { return automation().WaitForChange(0, Deadline(10000)); }
};

const wce::ControlSnapshot* Control(const wce::ScreenSnapshot& s, int id) {
  for (const auto& c : s.controls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST_F(AutomationTest, SnapshotShowsThePageItsControlsAndSoftKeys) {
  DeviceThreadGuard guard;
  TestPage page;
  page.on_init = [](HWND dialog, HWND) {
    HWND bar = GetDlgItem(dialog, IDC_T_BAR);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 200));
    SendMessageW(bar, PBM_SETPOS, 50, 0);
    SetDlgItemTextW(dialog, IDC_T_LABEL, u"Café");
  };
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  const wce::ScreenSnapshot s = WaitForPage();

  ASSERT_TRUE(s.has_window);
  EXPECT_TRUE(s.program_running);
  EXPECT_TRUE(s.waiting_for_input);
  EXPECT_EQ(s.title, u"Test page");
  EXPECT_EQ(s.template_id, IDD_T_PAGE);
  EXPECT_EQ(s.rotation, 0);
  EXPECT_EQ(s.width, 240);
  EXPECT_EQ(s.height, 320);
  const wce::ControlSnapshot* label = Control(s, IDC_T_LABEL);
  const wce::ControlSnapshot* bar = Control(s, IDC_T_BAR);
  ASSERT_TRUE(label && bar);
  EXPECT_EQ(label->text, u"Café");
  EXPECT_FALSE(label->progress_pos.has_value());
  EXPECT_EQ(bar->class_name, u"msctls_progress32");
  EXPECT_EQ(bar->progress_pos, 50);
  EXPECT_EQ(bar->progress_max, 200);
  EXPECT_TRUE(Inside(label->rect, s.window_rect)) << "control rectangles are on the screen";
  EXPECT_GT(label->rect.left, s.window_rect.left);
  EXPECT_GT(bar->rect.top, label->rect.top);
  ASSERT_EQ(s.soft_keys.size(), 2u);
  EXPECT_EQ(s.soft_keys[0].label, u"Left");
  EXPECT_FALSE(s.message_box.has_value());

  ASSERT_TRUE(automation().WaitAndApply(wce::PressSoftKey{0}, Deadline(10000)));
  EXPECT_EQ(program.Finish(), IDM_T_LEFT);
  const wce::ScreenSnapshot after = automation().Snapshot();
  EXPECT_FALSE(after.program_running);
  EXPECT_FALSE(after.has_window);
  EXPECT_TRUE(after.soft_keys.empty());
}

TEST_F(AutomationTest, ActionsNotOfferedAreRefusedUntilTheScreenOffersThem) {
  DeviceThreadGuard guard;
  TestPage page;
  // Three seconds after the page opens it enables its right key.
  page.on_init = [](HWND dialog, HWND) { SetTimer(dialog, 1, 3000, nullptr); };
  page.on_timer = [](HWND dialog, UINT_PTR id) {
    KillTimer(dialog, id);
    SHEnableSoftkey(SHFindMenuBar(dialog), 1, TRUE, TRUE);
  };
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  ASSERT_TRUE(WaitForPage().has_window);
  const std::uint64_t opened = Now();

  EXPECT_FALSE(automation().Offered(wce::PressSoftKey{1}));
  EXPECT_FALSE(automation().Apply(wce::PressSoftKey{1}));
  EXPECT_FALSE(automation().Offered(wce::DismissMessageBox{}));
  EXPECT_FALSE(automation().Apply(wce::DismissMessageBox{}));
  EXPECT_FALSE(automation().Offered(wce::PressSoftKey{2}));
  // Not offered within one second of device time: refused at the deadline.
  const std::uint64_t deadline = Deadline(1000);
  EXPECT_FALSE(automation().WaitAndApply(wce::PressSoftKey{1}, deadline));
  EXPECT_EQ(Now(), deadline);
  EXPECT_TRUE(page.commands().empty());

  ASSERT_TRUE(automation().WaitAndApply(wce::PressSoftKey{1}, Deadline(10000)));
  EXPECT_EQ(Now(), opened + 3000) << "applied as soon as the key was enabled";
  EXPECT_EQ(program.Finish(), IDM_T_RIGHT);
}

TEST_F(AutomationTest, PressesWaitUntilTheProgramWaitsForInput) {
  DeviceThreadGuard guard;
  TestPage page;
  // One second after opening, the page is busy for two seconds without retrieving messages.
  page.on_init = [](HWND dialog, HWND) { SetTimer(dialog, 1, 1000, nullptr); };
  page.on_timer = [](HWND dialog, UINT_PTR id) {
    KillTimer(dialog, id);
    Sleep(2000);
  };
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  ASSERT_TRUE(WaitForPage().has_window);
  const std::uint64_t opened = Now();

  automation().WaitFor(1500);
  EXPECT_EQ(Now(), opened + 1500);
  EXPECT_TRUE(automation().Offered(wce::PressSoftKey{0}));
  EXPECT_FALSE(automation().Snapshot().waiting_for_input);
  EXPECT_FALSE(automation().Apply(wce::PressSoftKey{0})) << "the program is busy";

  ASSERT_TRUE(automation().WaitAndApply(wce::PressSoftKey{0}, Deadline(10000)));
  EXPECT_EQ(Now(), opened + 3000);
  EXPECT_EQ(program.Finish(), IDM_T_LEFT);
}

struct RecordingObserver : wce::AutomationObserver {
  std::mutex mu;
  std::vector<wce::MessageBoxSnapshot> boxes;
  std::vector<std::pair<int, int>> progress;
  void OnMessageBox(std::uint64_t, const wce::MessageBoxSnapshot& box) override {
    std::lock_guard<std::mutex> lock(mu);
    boxes.push_back(box);
  }
  void OnProgress(std::uint64_t, int id, int pos) override {
    std::lock_guard<std::mutex> lock(mu);
    progress.emplace_back(id, pos);
  }
};

TEST_F(AutomationTest, MessageBoxIsShownReportedAndDismissed) {
  DeviceThreadGuard guard;
  RecordingObserver observer;
  automation().SetObserver(&observer);
  TestPage page;
  int box_result = 0;
  page.on_command = [&](HWND dialog, int) {
    SendMessageW(GetDlgItem(dialog, IDC_T_BAR), PBM_SETPOS, 30, 0);
    box_result = MessageBoxW(dialog, u"Data preparation failed.", u"Error", MB_OK);
    return true;
  };
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  ASSERT_TRUE(WaitForPage().has_window);
  const std::uint64_t seen = automation().Snapshot().generation;
  ASSERT_TRUE(automation().Apply(wce::PressSoftKey{0}));

  const wce::ScreenSnapshot s = automation().WaitForChange(seen, Deadline(10000));
  ASSERT_TRUE(s.message_box.has_value());
  EXPECT_EQ(s.message_box->text, u"Data preparation failed.");
  EXPECT_EQ(s.message_box->caption, u"Error");
  EXPECT_EQ(s.message_box->owner_title, u"Test page");
  EXPECT_EQ(s.message_box->style, static_cast<std::uint32_t>(MB_OK));
  EXPECT_EQ(s.title, u"Test page") << "the page stays the foreground window below its box";
  EXPECT_FALSE(automation().Offered(wce::PressSoftKey{0})) << "the box is modal";
  EXPECT_TRUE(automation().Offered(wce::DismissMessageBox{}));

  ASSERT_TRUE(automation().WaitAndApply(wce::DismissMessageBox{}, Deadline(10000)));
  EXPECT_EQ(program.Finish(), IDM_T_LEFT);
  EXPECT_EQ(box_result, IDOK);
  automation().SetObserver(nullptr);
  std::lock_guard<std::mutex> lock(observer.mu);
  ASSERT_EQ(observer.boxes.size(), 1u);
  EXPECT_EQ(observer.boxes[0].caption, u"Error");
  EXPECT_EQ(observer.progress, (std::vector<std::pair<int, int>>{{IDC_T_BAR, 30}}));
}

TEST_F(AutomationTest, SignalEventSetsANamedEventOfTheProgram) {
  DeviceThreadGuard guard;
  EXPECT_FALSE(automation().Apply(wce::SignalEvent{u"UNPACK_DATA_ABORT"})) << "no such event yet";
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, u"UNPACK_DATA_ABORT");
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(automation().Apply(wce::SignalEvent{u"unpack_data_abort"})) << "names are exact";
  EXPECT_TRUE(automation().Apply(wce::SignalEvent{u"UNPACK_DATA_ABORT"}));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  CloseHandle(event);
}

TEST_F(AutomationTest, SignalWaitsForTheEventThatAnEarlierPressMakes) {
  DeviceThreadGuard guard;
  TestPage page;
  // Like the extraction: on the left key the page makes an event and waits for it while pumping.
  page.on_command = [](HWND dialog, int) {
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, u"PAGE_DONE");
    SetDlgItemTextW(dialog, IDC_T_LABEL, u"Working");
    DWORD result;
    while ((result = MsgWaitForMultipleObjectsEx(1, &done, 5000, QS_ALLINPUT, 0)) !=
           WAIT_OBJECT_0) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    CloseHandle(done);
    return true;
  };
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  ASSERT_TRUE(WaitForPage().has_window);
  ASSERT_TRUE(automation().Apply(wce::PressSoftKey{0}));
  EXPECT_TRUE(automation().WaitAndApply(wce::SignalEvent{u"PAGE_DONE"}, Deadline(10000)));
  EXPECT_EQ(program.Finish(), IDM_T_LEFT);
}

TEST_F(AutomationTest, WaitsEndAtTheirDeadlineOrWithTheProgram) {
  DeviceThreadGuard guard;
  const std::uint64_t start = Now();
  automation().WaitFor(2500);
  EXPECT_EQ(Now(), start + 2500);

  TestPage page;
  ProgramThread program(device(), [&](HINSTANCE) { return static_cast<int>(page.Run()); });
  const wce::ScreenSnapshot shown = WaitForPage();
  ASSERT_TRUE(shown.has_window);
  const std::uint64_t deadline = Deadline(700);
  const wce::ScreenSnapshot same = automation().WaitForChange(shown.generation, deadline);
  EXPECT_EQ(same.generation, shown.generation) << "nothing changed";
  EXPECT_EQ(same.time_ms, deadline);

  ASSERT_TRUE(automation().Apply(wce::PressSoftKey{0}));
  const wce::ScreenSnapshot ended = automation().WaitForChange(shown.generation, Deadline(10000));
  EXPECT_FALSE(ended.program_running);
  EXPECT_FALSE(automation().WaitAndApply(wce::PressSoftKey{0}, Deadline(10000)))
      << "nothing is pressed once the program has ended";
  EXPECT_EQ(program.Finish(), IDM_T_LEFT);
}

}  // namespace
