// A message box owned by a dialog, answered by another thread: the helper finds the box by its
// caption, sees the dialog disabled under it, and answers OK; MessageBoxW returns IDOK and the
// dialog is enabled again.
#include <windows.h>

#include "conformance.h"
#include "conformance_ids.h"

namespace {

const WCHAR kCaption[] = TEXT("Conformance box");
HWND g_dialog = NULL;

DWORD WINAPI Helper(LPVOID) {
  // The box is found by its caption once it is on the screen.
  HWND box = NULL;
  for (int tries = 0; tries < 1000; ++tries) {
    box = FindWindowW(NULL, kCaption);
    if (box != NULL && IsWindowVisible(box)) break;
    Sleep(10);
  }
  Line() << "the helper finds the box on the screen: " << (box != NULL && IsWindowVisible(box));
  if (box == NULL) return 1;
  Line() << "its owner dialog is enabled: " << (IsWindowEnabled(g_dialog) != FALSE);
  WCHAR title[64] = {};
  GetWindowTextW(box, title, 64);
  Line() << "its title is " << title;
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    g_dialog = dialog;
    PostMessageW(dialog, WM_APP, 0, 0);
    return TRUE;
  }
  if (message == WM_APP) {
    HANDLE helper = CreateThread(NULL, 0, Helper, NULL, 0, NULL);
    int answer = MessageBoxW(dialog, TEXT("Shall we?"), kCaption, MB_OK);
    Line() << "MessageBoxW returned " << answer;
    Line() << "the helper ended: " << (WaitForSingleObject(helper, 10000) == WAIT_OBJECT_0);
    CloseHandle(helper);
    Line() << "the box is gone: " << (FindWindowW(NULL, kCaption) == NULL);
    Line() << "the dialog is enabled again: " << (IsWindowEnabled(dialog) != FALSE);
    EndDialog(dialog, answer);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_PLAIN), RT_DIALOG);
  LPCDLGTEMPLATEW dialog_template = static_cast<LPCDLGTEMPLATEW>(LoadResource(instance, found));
  INT_PTR result = DialogBoxIndirectParamW(instance, dialog_template, NULL, DialogProc, 0);
  Line() << "the dialog returned " << static_cast<long>(result);
  return 0;
}
