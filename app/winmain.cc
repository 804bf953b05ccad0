// The process entry: chooses the run mode, keeps the device awake and runs the wizard.
#include <windows.h>

#include <new>

#include "app/keep_awake.h"
#include "app/upgrade_app.h"
#include "package/data_unpacker.h"
#include "res/resource.h"

namespace {

// A wizard run, whatever its pages returned.
const int kExitWizardRan = 16;
// Another copy closed, a prepared image removed, or no memory for the application.
const int kExitDone = 0;

// The application object. After a wizard run it is neither destroyed nor freed: it goes with the
// process.
UpgradeApp* NewUpgradeApp() { return new (std::nothrow) UpgradeApp; }

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR lpCmdLine, int nShowCmd) {
  // Read-only texts inside the string table, held for the whole run.
  LPCWSTR className = reinterpret_cast<LPCWSTR>(LoadStringW(hInstance, IDS_CLASS_NAME, NULL, 0));
  LPCWSTR title = reinterpret_cast<LPCWSTR>(LoadStringW(hInstance, IDS_MAIN_TITLE, NULL, 0));
  LPCWSTR commandLine = lpCmdLine != NULL ? lpCmdLine : TEXT("");

  KeepAwake::Start();

  if (wcscmp(commandLine, TEXT("uninstall")) == 0) {
    HWND running = FindWindowW(className, title);
    if (running != NULL) SendMessageW(running, WM_CLOSE, 0, 0);
    KeepAwake::Stop();
    return kExitDone;
  }

  // "install" ends when it removed a prepared image and runs the wizard when there was none;
  // any other command line removes a leftover image quietly and runs the wizard.
  if (wcscmp(commandLine, TEXT("install")) == 0) {
    if (DeletePreparedImage()) {
      KeepAwake::Stop();
      return kExitDone;
    }
  } else {
    DeletePreparedImage();
  }

  UpgradeApp* app = NewUpgradeApp();
  if (app == NULL) {
    KeepAwake::Stop();
    return kExitDone;
  }
  if (app->Init(hInstance, lpCmdLine, nShowCmd, className, title) == NULL) {
    // The wizard has run (or could not start): the application and the keep-awake guard are
    // left to process exit.
    return kExitWizardRan;
  }

  MSG msg;
  while (GetMessageW(&msg, NULL, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  delete app;
  KeepAwake::Stop();
  return static_cast<int>(msg.wParam);
}
