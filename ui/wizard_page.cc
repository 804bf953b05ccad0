#include "ui/wizard_page.h"

#include <windows.h>
#include <aygshell.h>

#include <new>

#include "res/resource.h"
#include "ui/anchor_layout.h"
#include "ui/display.h"

WizardPage::WizardPage() : instance(NULL), parent(NULL), unpacker(NULL), layout(NULL) {}

WizardPage::~WizardPage() { WizardPage::Reset(); }

bool WizardPage::Attach(HINSTANCE hInstance, HWND hParent, DataUnpacker* pUnpacker) {
  if (instance == NULL && hInstance != NULL) {
    instance = hInstance;
    parent = hParent;
    unpacker = pUnpacker;
  }
  return instance != NULL;
}

INT_PTR WizardPage::RunTemplate(WORD portraitId) {
  if (instance == NULL) return -1;
  WORD templateId = IsPortraitDisplay() ? portraitId : static_cast<WORD>(portraitId + 1);
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
  if (resource == NULL) return -1;
  HGLOBAL dialogTemplate = LoadResource(instance, resource);
  if (dialogTemplate == NULL) return -1;
  return DialogBoxIndirectParamW(instance, static_cast<LPCDLGTEMPLATEW>(dialogTemplate), parent,
                                 StaticDialogProc, reinterpret_cast<LPARAM>(this));
}

AnchorLayout* WizardPage::InitDialog(HWND dialog) {
  SHINITDLGINFO shidi = {};
  shidi.dwMask = SHIDIM_FLAGS;
  shidi.hDlg = dialog;
  shidi.dwFlags = SHIDIF_SIZEDLGFULLSCREEN;
  SHInitDialog(&shidi);

  // The layout is made after the full-screen sizing, so that size is its reference.
  DestroyLayout();
  layout = new (std::nothrow) AnchorLayout(dialog);
  return layout;
}

BOOL WizardPage::CreateMenuBar(HWND dialog, UINT menuId) {
  SHMENUBARINFO mbi = {};
  mbi.cbSize = sizeof(SHMENUBARINFO);
  mbi.hwndParent = dialog;
  mbi.dwFlags = SHCMBF_HMENU;
  mbi.nToolBarId = menuId;
  mbi.hInstRes = instance;
  return SHCreateMenuBar(&mbi);
}

void WizardPage::SetSoftKeys(HWND) {}

void WizardPage::Reset() {
  instance = NULL;
  parent = NULL;
  unpacker = NULL;
  DestroyLayout();
}

INT_PTR WizardPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      return OnSize(dialog, message, wParam, lParam);
    case WM_INITDIALOG:
      SetWindowLongW(dialog, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
      return OnInitDialog(dialog, message, wParam, lParam);
    case WM_COMMAND:
      return OnCommand(dialog, message, wParam, lParam);
    default:
      return FALSE;
  }
}

INT_PTR WizardPage::OnInitDialog(HWND, UINT, WPARAM, LPARAM) { return TRUE; }

INT_PTR WizardPage::OnSize(HWND, UINT, WPARAM wParam, LPARAM lParam) {
  if (layout != NULL) layout->Relayout(wParam, lParam);
  return TRUE;
}

INT_PTR WizardPage::OnCommand(HWND, UINT, WPARAM, LPARAM) { return TRUE; }

INT_PTR CALLBACK WizardPage::StaticDialogProc(HWND dialog, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  WizardPage* page = reinterpret_cast<WizardPage*>(GetWindowLongW(dialog, GWL_USERDATA));
  // The user data is set only while WM_INITDIALOG is handled.
  if (message == WM_INITDIALOG) page = reinterpret_cast<WizardPage*>(lParam);
  if (page == NULL) return FALSE;
  return page->DialogProc(dialog, message, wParam, lParam);
}

LPCWSTR WizardPage::Text(UINT id) const {
  LPCWSTR text = reinterpret_cast<LPCWSTR>(LoadStringW(instance, id, NULL, 0));
  return text != NULL ? text : TEXT("");
}

void WizardPage::LabelSoftKeys(HWND menuBar, int leftId, LPCWSTR leftLabel, int rightId,
                               LPCWSTR rightLabel, bool disableLeft) {
  TBBUTTONINFO info = {};
  info.cbSize = sizeof(TBBUTTONINFO);
  info.dwMask = TBIF_TEXT;
  info.pszText = const_cast<LPWSTR>(leftLabel);
  SendMessageW(menuBar, TB_SETBUTTONINFO, leftId, reinterpret_cast<LPARAM>(&info));
  if (disableLeft) SHEnableSoftkey(menuBar, 0, TRUE, FALSE);
  info.pszText = const_cast<LPWSTR>(rightLabel);
  SendMessageW(menuBar, TB_SETBUTTONINFO, rightId, reinterpret_cast<LPARAM>(&info));
}

void WizardPage::ShowError(HWND dialog, LPCWSTR message) const {
  MessageBoxW(dialog, message, Text(IDS_ERROR), MB_OK);
}

void WizardPage::DestroyLayout() {
  if (layout == NULL) return;
  layout->Clear();
  delete layout;
  layout = NULL;
}
