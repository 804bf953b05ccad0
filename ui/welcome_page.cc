#include "ui/welcome_page.h"

#include <windows.h>
#include <aygshell.h>

#include <memory>
#include <new>

#include "package/data_unpacker.h"
#include "res/resource.h"
#include "ui/anchor_layout.h"
#include "ui/page_result.h"
#include "ui/template_word.h"
#include "ui/text_buffer.h"

namespace {

const DWORD kMinimumFreeBytes = 209715200;  // 200 MiB
const BYTE kMinimumBatteryPercent = 60;     // BATTERY_PERCENTAGE_UNKNOWN (255) passes too
const DWORD kMaximumMemoryLoad = 75;        // per cent
// Identity and header texts are shown with at most this many characters.
const size_t kFieldChars = 31;

}  // namespace

WelcomePage::~WelcomePage() { Reset(); }

INT_PTR WelcomePage::Run() { return RunTemplate(IDD_WELCOME); }

void WelcomePage::SetSoftKeys(HWND menuBar) {
  LabelSoftKeys(menuBar, IDM_WELCOME_NEXT, Text(IDS_NEXT), IDM_WELCOME_CANCEL, Text(IDS_CANCEL));
}

void WelcomePage::Reset() { WizardPage::Reset(); }

INT_PTR WelcomePage::OnInitDialog(HWND dialog, UINT, WPARAM, LPARAM) {
  CreateMenuBar(dialog, IDM_WELCOME);
  InitDialog(dialog);
  SetSoftKeys(SHFindMenuBar(dialog));

  // Without working memory both texts keep their template texts.
  LPWSTR text = new (std::nothrow) WCHAR[kTextBufferChars];
  if (text != NULL) {
    text[0] = 0;
    ComposeSummary(text);
    SetWindowTextW(GetDlgItem(dialog, IDC_SUMMARY_TEXT), text);
    if (unpacker != NULL) {
      text[0] = 0;
      LoadStringW(instance, IDS_WELCOME, text, kTextBufferChars);
      ReplaceTemplateWord(text, TEMPLATE_WORD_MARKER, unpacker->Header()->model);
      SetWindowTextW(GetDlgItem(dialog, IDC_WELCOME_TEXT), text);
    }
    delete[] text;
  }

  SetWindowTextW(dialog, Text(IDS_PAGE_TITLE));
  if (layout != NULL) {
    layout->AddItem(IDC_WELCOME_TEXT, AnchorAutomatic, AnchorAutomatic);
    layout->AddItem(IDC_SUMMARY_TEXT, AnchorAutomatic, AnchorAutomatic);
  }
  UpdateWindow(dialog);
  return TRUE;
}

INT_PTR WelcomePage::OnCommand(HWND dialog, UINT, WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case IDM_WELCOME_NEXT:
      EndDialog(dialog, RunChecks(dialog));
      break;
    case IDM_WELCOME_CANCEL:
      EndDialog(dialog, Cancelled);
      break;
    default:
      break;
  }
  return TRUE;
}

int WelcomePage::RunChecks(HWND dialog) const {
  if (!CheckFreeSpace(dialog)) return NotEnoughSpace;
  if (!CheckBattery(dialog)) return BatteryLow;
  if (!CheckMemoryLoad(dialog)) return MemoryLoadHigh;
  if (!CheckModel(dialog)) return WrongModel;
  if (!CheckLanguage(dialog)) return LanguageMismatch;
  return WelcomeAccepted;
}

void WelcomePage::ComposeSummary(LPWSTR text) const {
  if (text == NULL || unpacker == NULL) return;
  const DeviceIdentity* device = unpacker->Identity();
  const PackageHeader* package = unpacker->Header();
  const size_t n = kTextBufferChars;

  AppendText(text, n, Text(IDS_SUMMARY_HEADING));
  AppendText(text, n, TEXT("\n"));
  AppendText(text, n, Text(IDS_FROM));
  AppendText(text, n, TEXT(" "));
  AppendText(text, n, Text(IDS_ROM_VERSION));
  AppendText(text, n, device->romVersion, kFieldChars);
  AppendText(text, n, TEXT("\n         "));
  AppendText(text, n, Text(IDS_EXT_ROM_VERSION));
  AppendText(text, n, device->extRomVersion, kFieldChars);
  AppendText(text, n, TEXT("\n\n"));
  AppendText(text, n, Text(IDS_TO));
  AppendText(text, n, TEXT(" "));
  AppendText(text, n, Text(IDS_ROM_VERSION));
  AppendText(text, n, package->romVersion, kFieldChars);
  AppendText(text, n, TEXT("\n     "));
  AppendText(text, n, Text(IDS_EXT_ROM_VERSION));
  AppendText(text, n, package->extRomVersion, kFieldChars);
}

bool WelcomePage::CheckFreeSpace(HWND dialog) const {
  // A failed look-up leaves the value at zero, which fails the check.
  ULARGE_INTEGER freeBytes;
  freeBytes.QuadPart = 0;
  LPWSTR root = new (std::nothrow) WCHAR[kTextBufferChars];
  if (root != NULL) {
    root[0] = 0;
    FindCardRoot(root);
    GetDiskFreeSpaceExW(root, &freeBytes, NULL, NULL);
    delete[] root;
  }
  if (freeBytes.HighPart != 0 || freeBytes.LowPart >= kMinimumFreeBytes) return true;
  ShowError(dialog, Text(IDS_NO_SPACE));
  return false;
}

bool WelcomePage::CheckBattery(HWND dialog) const {
  // A failed reading leaves every field zero, which fails the check.
  SYSTEM_POWER_STATUS_EX status = {};
  GetSystemPowerStatusEx(&status, TRUE);
  if (status.BatteryLifePercent >= kMinimumBatteryPercent) return true;
  ShowError(dialog, Text(IDS_LOW_BATTERY));
  return false;
}

bool WelcomePage::CheckMemoryLoad(HWND dialog) const {
  MEMORYSTATUS memory = {};
  memory.dwLength = sizeof(MEMORYSTATUS);
  GlobalMemoryStatus(&memory);
  if (memory.dwMemoryLoad <= kMaximumMemoryLoad) return true;
  ShowError(dialog, Text(IDS_MEMORY_LOAD));
  return false;
}

bool WelcomePage::CheckModel(HWND dialog) const {
  if (unpacker != NULL && wcscmp(unpacker->Header()->model, unpacker->Identity()->model) == 0) {
    return true;
  }
  // Held by its owner across the message box: a thread ended while the box is open (the program
  // stopped) unwinds through here and must not leave the buffer behind.
  std::unique_ptr<WCHAR[]> text(new (std::nothrow) WCHAR[kTextBufferChars]);
  if (text == NULL) return false;
  if (unpacker != NULL) {
    text[0] = 0;
    LoadStringW(instance, IDS_WRONG_MODEL, text.get(), kTextBufferChars);
    ReplaceTemplateWord(text.get(), TEMPLATE_WORD_MARKER, unpacker->Header()->model);
    ShowError(dialog, text.get());
  }
  return false;
}

bool WelcomePage::CheckLanguage(HWND dialog) const {
  if (unpacker != NULL) {
    const PackageHeader* package = unpacker->Header();
    const DeviceIdentity* device = unpacker->Identity();
    // An empty device code occurs in every package code; two empty languages are equal.
    if (wcsstr(package->code, device->code) != NULL &&
        wcscmp(package->language, device->language) == 0) {
      return true;
    }
  }
  ShowError(dialog, Text(IDS_WRONG_LANGUAGE));
  return false;
}
