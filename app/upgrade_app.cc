#include "app/upgrade_app.h"

#include <new>

#include "package/data_unpacker.h"
#include "ui/page_result.h"

UpgradeApp::~UpgradeApp() { Teardown(); }

HWND UpgradeApp::Init(HINSTANCE hInstance, LPWSTR lpCmdLine, int nShowCmd, LPCWSTR pszClassName,
                      LPCWSTR pszTitle) {
  if (AppFrame::Init(hInstance, lpCmdLine, nShowCmd, pszClassName, pszTitle) == NULL) {
    return mainWindow;
  }
  if (!welcome.Attach(instance, mainWindow, data) || !prepare.Attach(instance, mainWindow, data) ||
      !finish.Attach(instance, mainWindow, data)) {
    return mainWindow;
  }
  if (welcome.Run() == WelcomeAccepted && prepare.Run() == DataPrepared) finish.Run();
  Teardown();
  return mainWindow;
}

int UpgradeApp::CreateData() {
  data = new (std::nothrow) DataUnpacker;
  if (data == NULL) return 0;
  data->Load();
  return 1;
}

int UpgradeApp::BeforeRegister() { return 1; }
