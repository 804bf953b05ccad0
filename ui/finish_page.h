// The last wizard page: tells the user how to have the boot loader take up the prepared image.
//
// Thread rules: user-interface thread only.
#ifndef KEPLA_UI_FINISH_PAGE_H_
#define KEPLA_UI_FINISH_PAGE_H_

#include "ui/wizard_page.h"

// The instruction text is longer than the other pages' buffers; this one holds it with room.
const size_t kFinishTextChars = 520;

class FinishPage final : public WizardPage {
 public:
  FinishPage() = default;
  ~FinishPage();

  INT_PTR Run() override;
  // The left key is blank and disabled; the right one is Close.
  void SetSoftKeys(HWND menuBar) override;
  void Reset() override;
  INT_PTR OnInitDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
  // Close ends the dialog with FinishClosed; other commands are ignored.
  INT_PTR OnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
};

#endif  // KEPLA_UI_FINISH_PAGE_H_
