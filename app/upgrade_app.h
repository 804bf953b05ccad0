// The upgrade wizard's application: owns the data object and the three pages, and runs the pages
// in order inside Init.
//
// Thread rules: user-interface thread only.
#ifndef KEPLA_APP_UPGRADE_APP_H_
#define KEPLA_APP_UPGRADE_APP_H_

#include "app/app_frame.h"
#include "ui/finish_page.h"
#include "ui/prepare_page.h"
#include "ui/welcome_page.h"

class UpgradeApp final : public AppFrame {
 public:
  UpgradeApp() = default;
  // Tears down before the pages go (Finish, Prepare, Welcome).
  ~UpgradeApp();

  // Sets up the frame, attaches the pages and runs Welcome, then Prepare when Welcome accepted,
  // then Finish when the data was prepared; then tears down. Returns 0 after a run. When the frame
  // cannot be set up returns 0 at once; when a page cannot be attached returns the main window,
  // which stays alive.
  HWND Init(HINSTANCE hInstance, LPWSTR lpCmdLine, int nShowCmd, LPCWSTR pszClassName,
            LPCWSTR pszTitle) override;
  // Creates the data object and loads it (the outcome shows later as empty fields). Returns 0
  // only when it cannot be allocated.
  int CreateData() override;
  // Returns 1.
  int BeforeRegister() override;

 private:
  WelcomePage welcome;
  PreparePage prepare;
  FinishPage finish;
};

#endif  // KEPLA_APP_UPGRADE_APP_H_
