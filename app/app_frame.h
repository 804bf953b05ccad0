// A small application base: registers the main window class, creates the main window, routes
// its messages to a virtual window procedure and tears everything down again.
//
// Derived classes supply the data object (CreateData) and a start-up hook (BeforeRegister).
// Thread rules: user-interface thread only.
#ifndef KEPLA_APP_APP_FRAME_H_
#define KEPLA_APP_APP_FRAME_H_

#include <windows.h>

class DataUnpacker;

class AppFrame {
 public:
  // On the first call with a non-null instance, class name and title: stores them, then creates
  // the data object, runs the start-up hook, registers the class and creates the main window,
  // stopping at the first step that fails. Later calls change nothing. Returns the main window,
  // or 0.
  virtual HWND Init(HINSTANCE hInstance, LPWSTR lpCmdLine, int nShowCmd, LPCWSTR pszClassName,
                    LPCWSTR pszTitle);
  // Asks a window of the class that is already open (another copy) to close, then registers the
  // class. Returns 1 when registered, 0 on failure, and -1 (go on) when the other window stays.
  virtual int RegisterWindowClass();
  // Creates, shows and paints the main window. Returns it, or 0.
  virtual HWND CreateMainWindow(LPWSTR lpCmdLine, int nShowCmd);
  // Creates the data object (owned by the frame). Returns non-zero on success.
  virtual int CreateData() = 0;
  // Start-up hook before the class is registered. Returns non-zero to go on.
  virtual int BeforeRegister() = 0;
  // Frees the data object, destroys the main window and unregisters the class. Harmless to repeat.
  virtual void Teardown();
  // The main window's messages: WM_DESTROY goes to OnDestroy, the rest to DefWindowProcW.
  virtual LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // Forgets the main window and posts the quit message (exit code 0). Returns 0.
  virtual LRESULT OnDestroy(HWND hwnd, WPARAM wParam, LPARAM lParam);

  // The window procedure of the class: finds the frame in the window's user data (in the
  // creation parameters for WM_CREATE) and calls its WindowProc.
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  // The stored instance, the main window and the data object (0 / null when absent).
  HINSTANCE Instance() const { return instance; }
  HWND MainWindow() const { return mainWindow; }
  DataUnpacker* Data() const { return data; }

 protected:
  AppFrame();
  // Runs Teardown. Not virtual: applications are deleted through their own type.
  ~AppFrame();
  AppFrame(const AppFrame&) = delete;
  AppFrame& operator=(const AppFrame&) = delete;

  WCHAR className[MAX_PATH];
  WCHAR title[MAX_PATH];
  HINSTANCE instance;  // 0 until Init stores it
  HWND mainWindow;     // 0 while there is no main window
  DataUnpacker* data;  // owned; null until CreateData
};

#endif  // KEPLA_APP_APP_FRAME_H_
