#include "ui/prepare_page.h"

#include <windows.h>
#include <commctrl.h>
#include <aygshell.h>

#include "package/data_unpacker.h"
#include "res/resource.h"
#include "ui/anchor_layout.h"
#include "ui/page_result.h"

namespace {

const WORD kProgressMax = 100;

}  // namespace

PreparePage::~PreparePage() { Reset(); }

INT_PTR PreparePage::Run() { return RunTemplate(IDD_PREPARE); }

void PreparePage::SetSoftKeys(HWND menuBar) {
  LabelSoftKeys(menuBar, IDM_PREPARE_NEXT, Text(IDS_NEXT), IDM_PREPARE_CANCEL, Text(IDS_CANCEL));
}

void PreparePage::Reset() { WizardPage::Reset(); }

INT_PTR PreparePage::OnInitDialog(HWND dialog, UINT, WPARAM, LPARAM) {
  CreateMenuBar(dialog, IDM_PREPARE);
  InitDialog(dialog);
  SetSoftKeys(SHFindMenuBar(dialog));
  SetWindowTextW(GetDlgItem(dialog, IDC_PREPARE_TEXT), Text(IDS_PREPARE_PROMPT));
  SetWindowTextW(dialog, Text(IDS_PAGE_TITLE));

  HWND bar = GetDlgItem(dialog, IDC_PROGRESS);
  SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressMax));
  SendMessageW(bar, PBM_SETSTEP, 1, 0);

  if (layout != NULL) {
    layout->AddItem(IDC_PROGRESS, AnchorAutomatic, AnchorAutomatic);
    layout->AddItem(IDC_PREPARE_TEXT, AnchorAutomatic, AnchorAutomatic);
  }
  UpdateWindow(dialog);
  return TRUE;
}

INT_PTR PreparePage::OnCommand(HWND dialog, UINT, WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case IDM_PREPARE_NEXT: {
      if (unpacker == NULL) break;
      // Messages are dispatched while the image is prepared: with both keys disabled neither
      // command can arrive again meanwhile.
      HWND menuBar = SHFindMenuBar(dialog);
      SHEnableSoftkey(menuBar, 0, TRUE, FALSE);
      SHEnableSoftkey(menuBar, 1, TRUE, FALSE);
      SetWindowTextW(GetDlgItem(dialog, IDC_PREPARE_TEXT), Text(IDS_PREPARING));
      if (unpacker->UnpackData(GetDlgItem(dialog, IDC_PROGRESS))) {
        EndDialog(dialog, DataPrepared);
      } else {
        ShowError(dialog, Text(IDS_PREPARE_FAILED));
        EndDialog(dialog, PreparationFailed);
      }
      break;
    }
    case IDM_PREPARE_CANCEL:
      EndDialog(dialog, Cancelled);
      break;
    default:
      break;
  }
  return TRUE;
}
