#include "app/app_frame.h"

#include "package/data_unpacker.h"

AppFrame::AppFrame() : instance(NULL), mainWindow(NULL), data(NULL) {
  className[0] = 0;
  title[0] = 0;
}

AppFrame::~AppFrame() { AppFrame::Teardown(); }

HWND AppFrame::Init(HINSTANCE hInstance, LPWSTR lpCmdLine, int nShowCmd, LPCWSTR pszClassName,
                    LPCWSTR pszTitle) {
  if (instance == NULL && mainWindow == NULL && hInstance != NULL && pszClassName != NULL &&
      pszTitle != NULL) {
    wcscpy(className, pszClassName);
    wcscpy(title, pszTitle);
    // Stays set when a later step fails, so that a second Init does nothing.
    instance = hInstance;
    if (CreateData() && BeforeRegister() && RegisterWindowClass()) {
      mainWindow = CreateMainWindow(lpCmdLine, nShowCmd);
    }
  }
  return mainWindow;
}

int AppFrame::RegisterWindowClass() {
  HWND running = FindWindowW(className, NULL);
  if (running != NULL) {
    SendMessageW(running, WM_CLOSE, 0, 0);
    if (FindWindowW(className, NULL) != NULL) return -1;
  }
  WNDCLASSW wc = {};
  wc.style = CS_NOCLOSE;
  wc.lpfnWndProc = StaticWindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = instance;
  wc.hIcon = NULL;
  wc.hCursor = LoadCursorW(NULL, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszMenuName = NULL;
  wc.lpszClassName = className;
  return RegisterClassW(&wc) != 0 ? 1 : 0;
}

HWND AppFrame::CreateMainWindow(LPWSTR, int nShowCmd) {
  HWND hwnd = CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, instance, this);
  if (!IsWindow(hwnd)) return NULL;
  SetWindowLongW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ShowWindow(hwnd, nShowCmd);
  UpdateWindow(hwnd);
  return hwnd;
}

void AppFrame::Teardown() {
  if (data != NULL) {
    delete data;
    data = NULL;
  }
  if (mainWindow != NULL) {
    // WM_DESTROY runs OnDestroy, which clears the handle already.
    DestroyWindow(mainWindow);
    mainWindow = NULL;
  }
  // Unregistering a class that is no longer registered fails quietly.
  UnregisterClassW(className, instance);
  instance = NULL;
}

LRESULT AppFrame::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) return OnDestroy(hwnd, wParam, lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT AppFrame::OnDestroy(HWND, WPARAM, LPARAM) {
  mainWindow = NULL;
  PostQuitMessage(0);
  return 0;
}

LRESULT CALLBACK AppFrame::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  AppFrame* frame = reinterpret_cast<AppFrame*>(GetWindowLongW(hwnd, GWL_USERDATA));
  // The user data is set only once CreateWindowExW has returned.
  if (message == WM_CREATE) {
    frame = static_cast<AppFrame*>(reinterpret_cast<LPCREATESTRUCTW>(lParam)->lpCreateParams);
  }
  if (frame == NULL) return DefWindowProcW(hwnd, message, wParam, lParam);
  return frame->WindowProc(hwnd, message, wParam, lParam);
}
