// DialogBoxIndirectParamW from a template in a loaded resource: WM_INITDIALOG is the first
// message the dialog procedure gets, carries the parameter and comes before the dialog is shown
// but after its owner is disabled; a WM_SIZE caused inside WM_INITDIALOG arrives there; messages
// posted then run before the dialog is shown; EndDialog's result is returned once the dialog is
// gone and the owner enabled again; a dialog destroyed with its owner returns 0.
#include <windows.h>

#include "conformance.h"
#include "conformance_ids.h"

namespace {

const LPARAM kParameter = 0x2468;
HWND g_owner = NULL;
HWND g_dialog = NULL;
bool g_in_init = false;
bool g_destroy_owner = false;

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      g_dialog = dialog;
      g_in_init = true;
      Line() << "WM_INITDIALOG begins";
      if (g_destroy_owner) {
        PostMessageW(dialog, WM_APP, 0, 0);
        g_in_init = false;
        return TRUE;
      }
      Line() << "its lParam is the parameter: " << (lParam == kParameter);
      Line() << "the dialog is visible: " << (IsWindowVisible(dialog) != FALSE);
      Line() << "the owner is enabled: " << (IsWindowEnabled(g_owner) != FALSE);
      WCHAR text[32] = {};
      GetWindowTextW(GetDlgItem(dialog, IDC_PLAIN_TEXT), text, 32);
      Line() << "its static text says " << text;
      Line() << "its OK button exists: " << (GetDlgItem(dialog, IDOK) != NULL);
      MoveWindow(dialog, 4, 30, 170, 95, TRUE);
      PostMessageW(dialog, WM_APP, 0, 0);
      Line() << "WM_INITDIALOG ends";
      g_in_init = false;
      return TRUE;
    }
    case WM_SIZE:
      Line() << "WM_SIZE " << static_cast<unsigned>(LOWORD(lParam)) << " x "
             << static_cast<unsigned>(HIWORD(lParam)) << (g_in_init ? " inside WM_INITDIALOG" : "");
      return FALSE;
    case WM_APP:
      if (g_destroy_owner) {
        DestroyWindow(g_owner);
        return TRUE;
      }
      Line() << "in the dialog's loop: the dialog is visible: "
             << (IsWindowVisible(dialog) != FALSE);
      Line() << "in the dialog's loop: the owner is enabled: "
             << (IsWindowEnabled(g_owner) != FALSE);
      EndDialog(dialog, 77);
      Line() << "after EndDialog the dialog still exists: " << (IsWindow(dialog) != FALSE);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = TEXT("DialogOwner");
  RegisterClassW(&wc);
  g_owner = CreateWindowExW(0, wc.lpszClassName, TEXT("Owner"), WS_POPUP | WS_VISIBLE, 0, 0, 200,
                            200, NULL, NULL, instance, NULL);

  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_PLAIN), RT_DIALOG);
  Line() << "FindResourceW found the template: " << (found != NULL);
  Line() << "it has bytes: " << (SizeofResource(instance, found) > sizeof(DLGTEMPLATE));
  LPCDLGTEMPLATEW dialog_template = static_cast<LPCDLGTEMPLATEW>(LoadResource(instance, found));

  INT_PTR result =
      DialogBoxIndirectParamW(instance, dialog_template, g_owner, DialogProc, kParameter);
  Line() << "DialogBoxIndirectParamW returned " << static_cast<long>(result);
  Line() << "the dialog is gone: " << (IsWindow(g_dialog) == FALSE);
  Line() << "the owner is enabled: " << (IsWindowEnabled(g_owner) != FALSE);

  // A dialog destroyed with its owner ends its loop and returns 0.
  g_destroy_owner = true;
  result = DialogBoxIndirectParamW(instance, dialog_template, g_owner, DialogProc, kParameter);
  Line() << "destroyed with its owner it returned " << static_cast<long>(result);
  Line() << "the dialog is gone: " << (IsWindow(g_dialog) == FALSE);
  Line() << "the owner is gone: " << (IsWindow(g_owner) == FALSE);
  return 0;
}
