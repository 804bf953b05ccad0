#include "support/test_page.h"

#include <windows.h>
#include <aygshell.h>
#include <wince/host_device.h>

#include "support/test_resources.h"
#include "wince/testdata/test_resource.h"

namespace kepla_test {

TestPage::TestPage()
    : instance(wce::HostDevice::Booted()->AddModule(kepla::TestResources())),
      menu_id(IDM_T_SOFTKEYS),
      init_flags(SHIDIF_SIZEDLGFULLSCREEN) {}

INT_PTR TestPage::Run(HWND owner) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_T_PAGE), RT_DIALOG);
  if (found == nullptr) return -1;
  auto dialog_template = static_cast<LPCDLGTEMPLATEW>(LoadResource(instance, found));
  return DialogBoxIndirectParamW(instance, dialog_template, owner, &TestPage::Proc,
                                 reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK TestPage::Proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* page = reinterpret_cast<TestPage*>(GetWindowLongW(dialog, GWL_USERDATA));
  switch (message) {
    case WM_INITDIALOG: {
      page = reinterpret_cast<TestPage*>(lparam);
      SetWindowLongW(dialog, GWL_USERDATA, lparam);
      SHMENUBARINFO mbi{};
      mbi.cbSize = sizeof(mbi);
      mbi.hwndParent = dialog;
      mbi.dwFlags = SHCMBF_HMENU;
      mbi.nToolBarId = page->menu_id;
      mbi.hInstRes = page->instance;
      const BOOL created = SHCreateMenuBar(&mbi);
      SHINITDLGINFO info{SHIDIM_FLAGS, dialog, page->init_flags};
      SHInitDialog(&info);
      HWND bar = SHFindMenuBar(dialog);
      {
        std::lock_guard<std::mutex> lock(page->mu_);
        page->dialog_ = dialog;
        page->bar_ = bar;
        page->created_ = created;
      }
      if (page->on_init) page->on_init(dialog, bar);
      return TRUE;
    }
    case WM_SIZE:
      if (page != nullptr) {
        std::lock_guard<std::mutex> lock(page->mu_);
        page->sizes_.emplace_back(LOWORD(lparam), HIWORD(lparam));
      }
      return TRUE;
    case WM_TIMER:
      if (page != nullptr && page->on_timer) page->on_timer(dialog, wparam);
      return TRUE;
    case WM_COMMAND: {
      if (page == nullptr) return FALSE;
      {
        std::lock_guard<std::mutex> lock(page->mu_);
        page->commands_.emplace_back(wparam, lparam);
      }
      const int command = LOWORD(wparam);
      if (!page->on_command || page->on_command(dialog, command)) EndDialog(dialog, command);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

std::vector<std::pair<int, int>> TestPage::sizes() const {
  std::lock_guard<std::mutex> lock(mu_);
  return sizes_;
}

std::vector<std::pair<WPARAM, LPARAM>> TestPage::commands() const {
  std::lock_guard<std::mutex> lock(mu_);
  return commands_;
}

HWND TestPage::dialog() const {
  std::lock_guard<std::mutex> lock(mu_);
  return dialog_;
}

HWND TestPage::bar() const {
  std::lock_guard<std::mutex> lock(mu_);
  return bar_;
}

BOOL TestPage::menu_bar_created() const {
  std::lock_guard<std::mutex> lock(mu_);
  return created_;
}

}  // namespace kepla_test
