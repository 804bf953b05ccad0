#include "ui/finish_page.h"

#include <windows.h>
#include <commctrl.h>
#include <aygshell.h>

#include <new>

#include "res/resource.h"
#include "ui/anchor_layout.h"
#include "ui/page_result.h"
#include "ui/text_buffer.h"

FinishPage::~FinishPage() { Reset(); }

INT_PTR FinishPage::Run() { return RunTemplate(IDD_FINISH); }

void FinishPage::SetSoftKeys(HWND menuBar) {
  // The left key has no use here: an empty label, and disabled.
  LabelSoftKeys(menuBar, IDM_FINISH_LEFT, TEXT(""), IDM_FINISH_CLOSE, Text(IDS_CLOSE), true);
}

void FinishPage::Reset() { WizardPage::Reset(); }

INT_PTR FinishPage::OnInitDialog(HWND dialog, UINT, WPARAM, LPARAM) {
  CreateMenuBar(dialog, IDM_FINISH);
  InitDialog(dialog);
  SetSoftKeys(SHFindMenuBar(dialog));

  // Without working memory the text keeps its template text.
  LPWSTR text = new (std::nothrow) WCHAR[kFinishTextChars];
  if (text != NULL) {
    text[0] = 0;
    AppendText(text, kFinishTextChars, Text(IDS_FINISH_HEADING));
    AppendText(text, kFinishTextChars, Text(IDS_FINISH_STEPS));
    SetWindowTextW(GetDlgItem(dialog, IDC_FINISH_TEXT), text);
    delete[] text;
  }

  SetWindowTextW(dialog, Text(IDS_PAGE_TITLE));
  if (layout != NULL) layout->AddItem(IDC_FINISH_TEXT, AnchorBoth, AnchorBoth);
  UpdateWindow(dialog);
  return TRUE;
}

INT_PTR FinishPage::OnCommand(HWND dialog, UINT, WPARAM wParam, LPARAM) {
  if (LOWORD(wParam) == IDM_FINISH_CLOSE) EndDialog(dialog, FinishClosed);
  return TRUE;
}
