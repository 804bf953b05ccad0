// MapDialogRect: dialog units to pixels by the dialog's base units, x * baseX / 4 and
// y * baseY / 8 rounded to the nearest pixel (halves away from zero, as MulDiv rounds); the
// dialog and its controls are placed and sized by the same rule. The base units themselves
// depend on the font and are not printed.
#include <windows.h>

#include "conformance.h"
#include "conformance_ids.h"

namespace {

// MulDiv(value, base, divisor) for small values: rounds to nearest, halves away from zero.
LONG Scale(LONG value, LONG base, LONG divisor) {
  LONG product = value * base;
  return product >= 0 ? (product + divisor / 2) / divisor : (product - divisor / 2) / divisor;
}

LONG Truncated(LONG value, LONG base, LONG divisor) { return value * base / divisor; }

void Check(HWND dialog) {
  RECT base = {0, 0, 4, 8};
  Line() << "MapDialogRect succeeds: " << (MapDialogRect(dialog, &base) != FALSE);
  const LONG base_x = base.right;
  const LONG base_y = base.bottom;
  Line() << "the base units are positive: " << (base_x > 0 && base_y > 0);
  bool nearest = true;
  bool truncated = true;
  bool distinguishes = false;
  for (LONG v = -40; v <= 400; ++v) {
    RECT r = {v, v, v, v};
    MapDialogRect(dialog, &r);
    nearest = nearest && r.left == Scale(v, base_x, 4) && r.right == Scale(v, base_x, 4) &&
              r.top == Scale(v, base_y, 8) && r.bottom == Scale(v, base_y, 8);
    truncated = truncated && r.left == Truncated(v, base_x, 4) && r.top == Truncated(v, base_y, 8);
    distinguishes = distinguishes || Scale(v, base_x, 4) != Truncated(v, base_x, 4) ||
                    Scale(v, base_y, 8) != Truncated(v, base_y, 8);
  }
  Line() << "every value rounds to the nearest pixel: " << nearest;
  if (distinguishes) Line() << "which is not truncation: " << !truncated;

  // The template's rectangles (conformance.rc) as MapDialogRect gives them.
  RECT client;
  GetClientRect(dialog, &client);
  RECT size = {0, 0, 100, 60};
  MapDialogRect(dialog, &size);
  Line() << "the dialog's client area is its template size mapped: "
         << (client.right == size.right && client.bottom == size.bottom);
  HWND text = GetDlgItem(dialog, IDC_PLAIN_TEXT);
  RECT placed;
  GetWindowRect(text, &placed);
  MapWindowPoints(NULL, dialog, reinterpret_cast<POINT*>(&placed), 2);
  RECT expected = {4, 4, 4 + 80, 4 + 10};
  MapDialogRect(dialog, &expected);
  Line() << "the static text lies at its template rectangle mapped: "
         << (placed.left == expected.left && placed.top == expected.top &&
             placed.right - placed.left == Scale(80, base_x, 4) &&
             placed.bottom - placed.top == Scale(10, base_y, 8));
  HWND button = GetDlgItem(dialog, IDOK);
  GetWindowRect(button, &placed);
  MapWindowPoints(NULL, dialog, reinterpret_cast<POINT*>(&placed), 2);
  Line() << "the button lies at its template rectangle mapped: "
         << (placed.left == Scale(30, base_x, 4) && placed.top == Scale(40, base_y, 8) &&
             placed.right - placed.left == Scale(40, base_x, 4) &&
             placed.bottom - placed.top == Scale(14, base_y, 8));
  Line() << "MapDialogRect of a control fails: " << (MapDialogRect(text, &size) == FALSE);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    Check(dialog);
    EndDialog(dialog, 1);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(IDD_PLAIN), RT_DIALOG);
  LPCDLGTEMPLATEW dialog_template = static_cast<LPCDLGTEMPLATEW>(LoadResource(instance, found));
  DialogBoxIndirectParamW(instance, dialog_template, NULL, DialogProc, 0);
  return 0;
}
