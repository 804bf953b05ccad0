// The second wizard page: on Next it prepares the upgrade image while a progress bar advances.
//
// Thread rules: user-interface thread only. The preparation runs inside OnCommand; the data
// object keeps dispatching this thread's messages meanwhile.
#ifndef KEPLA_UI_PREPARE_PAGE_H_
#define KEPLA_UI_PREPARE_PAGE_H_

#include "ui/wizard_page.h"

class PreparePage final : public WizardPage {
 public:
  PreparePage() = default;
  ~PreparePage();

  INT_PTR Run() override;
  void SetSoftKeys(HWND menuBar) override;
  void Reset() override;
  INT_PTR OnInitDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
  // Next (with a data object) disables both soft keys for good, prepares the image and ends the
  // dialog with DataPrepared, or, after an error message, PreparationFailed. Next without a data
  // object is ignored. Cancel ends the dialog with Cancelled; other commands are ignored.
  INT_PTR OnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
};

#endif  // KEPLA_UI_PREPARE_PAGE_H_
