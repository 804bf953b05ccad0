// The first wizard page: greets the user with the package's model, shows the device's and the
// package's ROM versions, and on Next runs the pre-flight checks.
//
// Thread rules: user-interface thread only.
#ifndef KEPLA_UI_WELCOME_PAGE_H_
#define KEPLA_UI_WELCOME_PAGE_H_

#include "ui/wizard_page.h"

class WelcomePage final : public WizardPage {
 public:
  WelcomePage() = default;
  ~WelcomePage();

  INT_PTR Run() override;
  void SetSoftKeys(HWND menuBar) override;
  void Reset() override;
  INT_PTR OnInitDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
  // Next runs the checks and ends the dialog with the first failure's code, or WelcomeAccepted;
  // Cancel ends it with Cancelled; other commands are ignored.
  INT_PTR OnCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;

  // Appends the six-line version summary (device "From", package "To") to `text`, a buffer of
  // kTextBufferChars characters. Each version is shown with at most 31 characters, and the
  // summary never runs past the buffer. Does nothing for a null buffer or without a data object.
  void ComposeSummary(LPWSTR text) const;

  // The pre-flight checks. Each returns true when it passes; a failing one has shown its message,
  // owned by `dialog` (the model check shows none without a data object or working memory).
  // Free space on the storage card: at least 200 MiB (209,715,200 bytes).
  bool CheckFreeSpace(HWND dialog) const;
  // Battery: at least 60 per cent, or no reading (255).
  bool CheckBattery(HWND dialog) const;
  // Memory load: at most 75 per cent.
  bool CheckMemoryLoad(HWND dialog) const;
  // Package model equal to the device model (case-sensitive).
  bool CheckModel(HWND dialog) const;
  // Device region code found within the package's, and equal languages.
  bool CheckLanguage(HWND dialog) const;

 private:
  // Runs the checks in page order and returns the code of the first that fails, or
  // WelcomeAccepted.
  int RunChecks(HWND dialog) const;
};

#endif  // KEPLA_UI_WELCOME_PAGE_H_
