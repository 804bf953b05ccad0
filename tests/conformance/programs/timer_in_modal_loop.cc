// A window-less timer's procedure runs from the loop of a modal dialog and from that of a
// message box, on the thread that set it.
#include <windows.h>

#include "conformance.h"
#include "conformance_ids.h"

namespace {

const WCHAR kCaption[] = TEXT("Timer box");
DWORD g_thread = 0;
UINT_PTR g_timer = 0;
HWND g_dialog = NULL;
bool g_in_dialog = false;
bool g_in_box = false;

void CALLBACK EndsDialog(HWND hwnd, UINT message, UINT_PTR id, DWORD) {
  Line() << "timer procedure runs inside the dialog's loop: " << g_in_dialog;
  Line() << "on the thread that set it: " << (GetCurrentThreadId() == g_thread);
  Line() << "window null " << (hwnd == NULL) << ", WM_TIMER " << (message == WM_TIMER)
         << ", its id " << (id == g_timer);
  KillTimer(NULL, id);
  EndDialog(g_dialog, 5);
}

void CALLBACK EndsBox(HWND, UINT, UINT_PTR id, DWORD) {
  Line() << "timer procedure runs inside the message box's loop: " << g_in_box;
  KillTimer(NULL, id);
  HWND box = FindWindowW(NULL, kCaption);
  Line() << "it finds the box: " << (box != NULL);
  if (box != NULL) PostMessageW(box, WM_COMMAND, IDOK, 0);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    g_dialog = dialog;
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  g_thread = GetCurrentThreadId();
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_PLAIN), RT_DIALOG);
  LPCDLGTEMPLATEW dialog_template = static_cast<LPCDLGTEMPLATEW>(LoadResource(instance, found));

  g_timer = SetTimer(NULL, 0, 50, EndsDialog);
  g_in_dialog = true;
  INT_PTR result = DialogBoxIndirectParamW(instance, dialog_template, NULL, DialogProc, 0);
  g_in_dialog = false;
  Line() << "the dialog returned " << static_cast<long>(result);

  g_timer = SetTimer(NULL, 0, 50, EndsBox);
  g_in_box = true;
  int answer = MessageBoxW(NULL, TEXT("Wait for the timer"), kCaption, MB_OK);
  g_in_box = false;
  Line() << "the message box returned " << answer;
  return 0;
}
