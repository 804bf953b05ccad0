// WM_QUIT reaching the loop of a modal dialog: the loop ends, DialogBoxIndirectParamW returns
// IDOK (no EndDialog stored another result), the dialog is gone, and the quit message is there
// once for the caller's loop with its exit code.
#include <windows.h>

#include "conformance.h"
#include "conformance_ids.h"

namespace {

HWND g_dialog = NULL;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    g_dialog = dialog;
    PostQuitMessage(7);
    Line() << "WM_INITDIALOG posts WM_QUIT(7)";
    return TRUE;
  }
  if (message == WM_COMMAND) Line() << "the dialog gets WM_COMMAND";
  return FALSE;
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = TEXT("QuitInDialogOwner");
  RegisterClassW(&wc);
  HWND owner = CreateWindowExW(0, wc.lpszClassName, TEXT("Owner"), WS_POPUP | WS_VISIBLE, 0, 0, 200,
                               200, NULL, NULL, instance, NULL);
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_PLAIN), RT_DIALOG);
  LPCDLGTEMPLATEW dialog_template = static_cast<LPCDLGTEMPLATEW>(LoadResource(instance, found));

  INT_PTR result = DialogBoxIndirectParamW(instance, dialog_template, owner, DialogProc, 0);
  Line() << "DialogBoxIndirectParamW returned " << static_cast<long>(result);
  Line() << "the dialog is gone: " << (IsWindow(g_dialog) == FALSE);

  // Other messages (the owner's painting) may come first; WM_QUIT comes once.
  MSG msg;
  int quits = 0;
  while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) {
      DispatchMessageW(&msg);
      continue;
    }
    if (quits++ == 0)
      Line() << "the caller finds WM_QUIT with wParam " << static_cast<unsigned>(msg.wParam);
  }
  Line() << "WM_QUIT messages found: " << quits;
  DestroyWindow(owner);
  return 0;
}
