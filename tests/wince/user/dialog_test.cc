// Modal dialogs and message boxes: templates become windows, the owner is disabled while they
// run, their loops dispatch everything (timer procedures included), WM_QUIT and EndDialog.
#include <windows.h>

#include <memory>
#include <span>
#include <vector>

#include "dialog_bytes.h"
#include "resource/modules.h"
#include "support/test_resources.h"
#include "user_fixture.h"
#include "wince/testdata/test_resource.h"

namespace {

using kepla_test::DeviceThreadRunner;
using kepla_test::DialogBytes;
using kepla_test::UserTest;

// The dialog procedure of the tests forwards to whatever the running test installs.
std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> g_dialog;
std::vector<UINT> g_dialog_messages;

INT_PTR CALLBACK TestDialogProc(HWND dlg, UINT message, WPARAM wparam, LPARAM lparam) {
  g_dialog_messages.push_back(message);
  return g_dialog ? g_dialog(dlg, message, wparam, lparam) : FALSE;
}

class DialogTest : public UserTest {
 protected:
  void SetUp() override {
    UserTest::SetUp();
    g_dialog = nullptr;
    g_dialog_messages.clear();
  }
  void TearDown() override {
    g_dialog = nullptr;
    UserTest::TearDown();
    Shutdown();  // the device goes before the images registered with it
  }

  // Registers `data` as a dialog resource of a module of its own and returns the template as
  // LoadResource gives it to a program.
  const DLGTEMPLATE* Load(std::span<const std::uint8_t> data) {
    images_.push_back(
        std::make_unique<std::vector<std::uint8_t>>(kepla_test::DialogResImage(kTemplateId, data)));
    HINSTANCE module = device().modules().Add(*images_.back());
    EXPECT_NE(module, nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(kTemplateId), RT_DIALOG);
    EXPECT_NE(found, nullptr);
    return found ? static_cast<const DLGTEMPLATE*>(LoadResource(module, found)) : nullptr;
  }
  const DLGTEMPLATE* Load(const DialogBytes& page) { return Load(page.bytes()); }

  static DialogBytes Page() {
    DialogBytes page(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 147, 177, u"Page");
    page.Item(1004, 0x82, u"", u"Text", WS_VISIBLE, 7, 7, 133, 24);
    page.Item(1003, 0, u"msctls_progress32", u"", WS_VISIBLE, 7, 60, 133, 10);
    return page;
  }

 private:
  static constexpr WORD kTemplateId = 1;
  std::vector<std::unique_ptr<std::vector<std::uint8_t>>> images_;
};

TEST_F(DialogTest, TemplateBecomesADialogAndControlsInPixels) {
  HINSTANCE instance = device().modules().Add(kepla::TestResources());
  ASSERT_NE(instance, nullptr);
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_T_PAGE), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  auto* page = static_cast<const DLGTEMPLATE*>(LoadResource(instance, found));
  int param = 0;
  std::optional<wce::WindowInfo> dialog, label, bar, button;
  g_dialog = [&](HWND dlg, UINT message, WPARAM, LPARAM lparam) -> INT_PTR {
    if (message != WM_INITDIALOG) return FALSE;
    EXPECT_EQ(lparam, reinterpret_cast<LPARAM>(&param));
    HWND items[3] = {GetDlgItem(dlg, IDC_T_LABEL), GetDlgItem(dlg, IDC_T_BAR),
                     GetDlgItem(dlg, IDC_T_OK)};
    {
      wce::MutexLock lock(device_mutex());
      dialog = wm().InfoLocked(dlg);
      label = wm().InfoLocked(items[0]);
      bar = wm().InfoLocked(items[1]);
      button = wm().InfoLocked(items[2]);
    }
    // Dialog units round to the nearest pixel, halves away from zero, as MulDiv does.
    RECT units = {1, 1, 3, -5};
    EXPECT_TRUE(MapDialogRect(dlg, &units));
    EXPECT_EQ(units.left, 2);     // 1.5
    EXPECT_EQ(units.right, 5);    // 4.5
    EXPECT_EQ(units.top, 2);      // 1.5
    EXPECT_EQ(units.bottom, -8);  // -7.5
    EXPECT_FALSE(MapDialogRect(items[0], &units)) << "a control is no dialog";
    EndDialog(dlg, 42);
    return TRUE;
  };
  EXPECT_EQ(DialogBoxIndirectParamW(instance, page, nullptr, &TestDialogProc,
                                    reinterpret_cast<LPARAM>(&param)),
            42);
  ASSERT_TRUE(dialog && label && bar && button);
  EXPECT_EQ(dialog->class_name, u"Dialog");
  EXPECT_EQ(dialog->text, u"Test page");
  EXPECT_EQ(dialog->template_id, IDD_T_PAGE);
  EXPECT_FALSE(dialog->visible) << "ended during WM_INITDIALOG: never shown";
  // 120 x 90 dialog units with base units 6 x 12, placed 10, 20 units into the work area.
  EXPECT_EQ(dialog->rect.right - dialog->rect.left, 180);
  EXPECT_EQ(dialog->rect.bottom - dialog->rect.top, 135);
  EXPECT_EQ(dialog->rect.left, 15);
  EXPECT_EQ(dialog->rect.top, 26 + 30);
  EXPECT_EQ(label->class_name, u"Static");
  EXPECT_EQ(label->text, u"Label");
  EXPECT_EQ(label->rect.left - dialog->rect.left, 6);
  EXPECT_EQ(label->rect.top - dialog->rect.top, 9);
  EXPECT_EQ(label->parent, dialog->hwnd);
  EXPECT_EQ(bar->class_name, u"msctls_progress32");
  ASSERT_TRUE(bar->progress.has_value());
  EXPECT_EQ(bar->progress->pos, 0);
  EXPECT_EQ(button->class_name, u"Button");
  EXPECT_EQ(g_dialog_messages.front(), static_cast<UINT>(WM_INITDIALOG))
      << "the messages of the dialog's creation do not reach the dialog procedure";
}

TEST_F(DialogTest, MessageBoxOverAModalDialogDisablesEachOwnerInTurn) {
  HWND main = MakeWindow();
  HWND dialog_seen = nullptr;
  int box_result = 0;
  g_dialog = [&](HWND dlg, UINT message, WPARAM, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) {
      dialog_seen = dlg;
      // Shown now: the loop would show it only once nothing is left to retrieve.
      ShowWindow(dlg, SW_SHOW);
      PostMessageW(dlg, WM_APP, 0, 0);
      return TRUE;
    }
    if (message == WM_APP) {
      box_result = MessageBoxW(dlg, u"Something failed.", u"Error", MB_OK);
      EXPECT_TRUE(IsWindowEnabled(dlg)) << "the dialog is enabled again once the box is gone";
      EndDialog(dlg, 8);
      return TRUE;
    }
    return FALSE;
  };

  struct Seen {
    bool box_open = false;
    wce::MessageBoxInfo box;
    BOOL main_enabled = TRUE, dialog_enabled = TRUE;
    HWND foreground = nullptr;
  } seen;
  DeviceThreadRunner automation(device(), [&] {
    seen.box_open = WaitUntil([&] {
      return wm().IsUiThreadWaitingForInputLocked() && !wm().MessageBoxesLocked().empty();
    });
    if (!seen.box_open) return;
    wce::MutexLock lock(device_mutex());
    seen.box = wm().MessageBoxesLocked().back();
    seen.main_enabled = wm().InfoLocked(main)->enabled;
    seen.dialog_enabled = wm().InfoLocked(seen.box.owner)->enabled;
    seen.foreground = wm().ForegroundWindowLocked();
    queues().PostInputLocked(seen.box.hwnd, WM_COMMAND, IDOK, 0);
  });

  DialogBytes page = Page();
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Load(page), main, &TestDialogProc, 0), 8);
  ASSERT_TRUE(automation.Join());
  ASSERT_TRUE(seen.box_open);
  EXPECT_EQ(seen.box.owner, dialog_seen);
  EXPECT_EQ(seen.box.owner_title, u"Page");
  EXPECT_EQ(seen.box.text, u"Something failed.");
  EXPECT_EQ(seen.box.caption, u"Error");
  EXPECT_FALSE(seen.main_enabled);
  EXPECT_FALSE(seen.dialog_enabled);
  EXPECT_EQ(seen.foreground, dialog_seen) << "a message box is reported apart from the page";
  EXPECT_EQ(box_result, IDOK);
  EXPECT_FALSE(IsWindow(dialog_seen));
  EXPECT_TRUE(IsWindowEnabled(main));
  wce::MutexLock lock(device_mutex());
  EXPECT_TRUE(wm().MessageBoxesLocked().empty());
}

struct ModalTicks {
  static inline std::vector<DWORD> times;
  static inline HWND dialog = nullptr;
  static inline HWND box = nullptr;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD time) {
    times.push_back(time);
    if (times.size() == 1) {
      // Opened from the dialog's loop; the next ticks run inside the box's own loop.
      MessageBoxW(dialog, u"waiting", u"Info", MB_OK);
      EndDialog(dialog, 5);
    } else if (times.size() == 3) {
      {
        wce::MutexLock lock(wce::Device::Get().scheduler().mutex());
        box = wce::Device::Get().windows().view().MessageBoxesLocked().back().hwnd;
      }
      PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
  }
};

TEST_F(DialogTest, WindowlessTimerProceduresRunInsideModalLoops) {
  ModalTicks::times.clear();
  UINT_PTR timer = 0;
  g_dialog = [&](HWND dlg, UINT message, WPARAM, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) {
      ModalTicks::dialog = dlg;
      timer = SetTimer(nullptr, 0, 5000, &ModalTicks::Tick);
    }
    return message == WM_INITDIALOG;
  };
  const DWORD start = GetTickCount();
  DialogBytes page = Page();
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Load(page), nullptr, &TestDialogProc, 0), 5);
  KillTimer(nullptr, timer);
  EXPECT_EQ(ModalTicks::times, (std::vector<DWORD>{start + 5000, start + 10000, start + 15000}));
  EXPECT_FALSE(IsWindow(ModalTicks::box));
}

TEST_F(DialogTest, QuitInsideAModalLoopEndsItAndReachesTheOuterLoop) {
  HWND main = MakeWindow();
  g_dialog = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) PostQuitMessage(9);
    return message == WM_INITDIALOG;
  };
  DialogBytes page = Page();
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Load(page), main, &TestDialogProc, 0), IDOK)
      << "no EndDialog: the default result";
  EXPECT_TRUE(IsWindowEnabled(main));
  MSG msg;
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 9u);
}

TEST_F(DialogTest, DialogProcedureConventions) {
  HWND dialog = nullptr;
  g_dialog = [&](HWND dlg, UINT message, WPARAM wparam, LPARAM) -> INT_PTR {
    switch (message) {
      case WM_INITDIALOG:
        dialog = dlg;
        PostMessageW(dlg, WM_APP, 0, 0);
        return TRUE;
      case WM_APP:
        // Handled with a result: the answer is DWL_MSGRESULT, not the TRUE returned.
        EXPECT_EQ(SendMessageW(dlg, WM_APP + 1, 0, 0), 77);
        // Unhandled close: the dialog stays and is asked to cancel.
        SendMessageW(dlg, WM_CLOSE, 0, 0);
        EXPECT_TRUE(IsWindow(dlg));
        return TRUE;
      case WM_APP + 1:
        SetWindowLongW(dlg, DWL_MSGRESULT, 77);
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wparam) == IDCANCEL) EndDialog(dlg, 9);
        return TRUE;
    }
    return FALSE;
  };
  DialogBytes page = Page();
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Load(page), nullptr, &TestDialogProc, 0), 9);
  EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DialogTest, DestroyingTheOwnerEndsTheDialog) {
  // A second copy closing the main window while a page runs.
  HWND main = MakeWindow();
  g_dialog = [&](HWND dlg, UINT message, WPARAM, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) PostMessageW(main, WM_CLOSE, 0, 0);
    (void)dlg;
    return message == WM_INITDIALOG;
  };
  DialogBytes page = Page();
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Load(page), main, &TestDialogProc, 0), 0);
  EXPECT_FALSE(IsWindow(main));
}

TEST_F(DialogTest, FailuresReturnMinusOne) {
  DialogBytes page = Page();
  SetLastError(0);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Load(page), reinterpret_cast<HWND>(0x999),
                                    &TestDialogProc, 0),
            -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, nullptr, nullptr, &TestDialogProc, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // An extended template, which this platform does not read.
  const std::uint8_t extended[] = {0x01, 0x00, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  SetLastError(0);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Load(extended), nullptr, &TestDialogProc, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  // A classic template cut short by the end of its resource is read no further.
  SetLastError(0);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, Load(page.bytes().first(page.bytes().size() - 6)),
                                    nullptr, &TestDialogProc, 0),
            -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_TRUE(g_dialog_messages.empty());
}

TEST_F(DialogTest, TemplateOutsideAnyResourceIsRefusedUnread) {
  // Built in memory: well formed, but nothing tells where its bytes end.
  DialogBytes page = Page();
  g_dialog = [](HWND dlg, UINT message, WPARAM, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) EndDialog(dlg, 5);
    return message == WM_INITDIALOG;
  };
  SetLastError(0);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, page.get(), nullptr, &TestDialogProc, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(g_dialog_messages.empty()) << "no dialog was made";
  wce::MutexLock lock(device_mutex());
  EXPECT_TRUE(wm().TopLevelWindowsLocked().empty());
}

}  // namespace
