// A full-screen page for tests of the shell and automation: a modal dialog made from the test
// resources' IDD_T_PAGE with a soft-key menu bar (IDM_T_SOFTKEYS: "Left" enabled, "Right" grayed)
// that records what it receives. By default any WM_COMMAND ends the dialog with the command id.
#ifndef KEPLA_TESTS_SUPPORT_TEST_PAGE_H_
#define KEPLA_TESTS_SUPPORT_TEST_PAGE_H_

#include <windows.h>

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace kepla_test {

struct TestPage {
  // Registers the test resources with the booted device and remembers their instance.
  TestPage();

  HINSTANCE instance = nullptr;
  UINT menu_id;      // the menu resource given to SHCreateMenuBar
  DWORD init_flags;  // SHInitDialog flags (full screen by default)
  // Runs at the end of WM_INITDIALOG, on the page's thread.
  std::function<void(HWND dialog, HWND bar)> on_init;
  // Handles a WM_COMMAND id on the page's thread; returns true to end the dialog with the id.
  std::function<bool(HWND dialog, int command)> on_command;
  // Handles WM_TIMER on the page's thread.
  std::function<void(HWND dialog, UINT_PTR id)> on_timer;

  // Runs the page as a modal dialog owned by `owner` (on the calling device thread). Returns what
  // DialogBoxIndirectParamW returns.
  INT_PTR Run(HWND owner = nullptr);

  // What the page received; read through the accessors (the page's thread writes).
  std::vector<std::pair<int, int>> sizes() const;           // WM_SIZE client sizes
  std::vector<std::pair<WPARAM, LPARAM>> commands() const;  // WM_COMMAND
  HWND dialog() const;
  HWND bar() const;
  BOOL menu_bar_created() const;

 private:
  static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

  mutable std::mutex mu_;
  std::vector<std::pair<int, int>> sizes_;
  std::vector<std::pair<WPARAM, LPARAM>> commands_;
  HWND dialog_ = nullptr;
  HWND bar_ = nullptr;
  BOOL created_ = FALSE;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_TEST_PAGE_H_
