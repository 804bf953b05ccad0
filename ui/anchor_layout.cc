#include "ui/anchor_layout.h"

#include <new>

namespace {

const int kNoControl = -1;
const int kWholeExtent = 100;

// The automatic mode of one axis from the control's edges and the client area's centre line.
// A control that touches or spans the centre line follows both edges.
int AutomaticMode(LONG nearEdge, LONG farEdge, int centre) {
  if (farEdge < centre) return AnchorNear;
  if (nearEdge > centre) return AnchorFar;
  return AnchorBoth;
}

void InitAxis(AnchorAxis* axis, int clientExtent, LONG nearEdge, LONG farEdge) {
  axis->mode = AnchorNear;
  axis->linkId = kNoControl;
  axis->offset = clientExtent - (farEdge - nearEdge);
  axis->percent = kWholeExtent;
  axis->referenceId = kNoControl;
  axis->farEdge = 0;
}

// Places one axis of a control whose edges are `lo` and `hi` after the client extent went from
// `oldExtent` to `newExtent`.
void PlaceAxis(const AnchorAxis& axis, LONG lo, LONG hi, int oldExtent, int newExtent,
               int* position, int* size) {
  *size = hi - lo;
  *position = lo;
  int growth = newExtent - oldExtent;
  switch (axis.mode) {
    case AnchorFar:
      *position = hi + growth - *size;
      break;
    case AnchorBoth:
      // A control shrunk to nothing gets back its registered extent plus the growth since then.
      *size = hi > lo ? (hi - lo) + growth : newExtent - axis.offset;
      break;
    default:
      break;
  }
}

}  // namespace

AnchorLayout::AnchorLayout(HWND hDlg) : head(NULL), tail(NULL), dialog(hDlg), width(0), height(0) {
  RECT client = {};
  GetClientRect(dialog, &client);
  width = client.right - client.left;
  height = client.bottom - client.top;
}

AnchorLayout::~AnchorLayout() { Clear(); }

RECT AnchorLayout::ControlRect(HWND control) const {
  RECT rect = {};
  if (GetWindowRect(control, &rect)) {
    MapWindowPoints(NULL, dialog, reinterpret_cast<LPPOINT>(&rect), 2);
  }
  return rect;
}

void AnchorLayout::AddItem(int controlId, int horizontalMode, int verticalMode) {
  AnchorItem* item = new (std::nothrow) AnchorItem;
  if (item == NULL) return;

  RECT rect = ControlRect(GetDlgItem(dialog, controlId));
  item->controlId = controlId;
  InitAxis(&item->horizontal, width, rect.left, rect.right);
  InitAxis(&item->vertical, height, rect.top, rect.bottom);
  item->repaint = 0;
  item->next = NULL;

  RECT client = {};
  GetClientRect(dialog, &client);
  int centreX = (client.right - client.left) / 2;
  int centreY = (client.bottom - client.top) / 2;
  item->horizontal.mode = horizontalMode != AnchorAutomatic
                              ? horizontalMode
                              : AutomaticMode(rect.left, rect.right, centreX);
  item->vertical.mode = verticalMode != AnchorAutomatic
                            ? verticalMode
                            : AutomaticMode(rect.top, rect.bottom, centreY);

  if (tail == NULL) {
    head = item;
  } else {
    tail->next = item;
  }
  tail = item;
}

void AnchorLayout::Relayout(WPARAM sizeKind, LPARAM packedSize) {
  if (sizeKind != SIZE_RESTORED && sizeKind != SIZE_MAXIMIZED) return;
  int newWidth = LOWORD(packedSize);
  int newHeight = HIWORD(packedSize);

  for (AnchorItem* item = head; item != NULL; item = item->next) {
    HWND control = GetDlgItem(dialog, item->controlId);
    RECT rect = ControlRect(control);
    int x, y, cx, cy;
    PlaceAxis(item->horizontal, rect.left, rect.right, width, newWidth, &x, &cx);
    PlaceAxis(item->vertical, rect.top, rect.bottom, height, newHeight, &y, &cy);
    MoveWindow(control, x, y, cx, cy, TRUE);
  }
  width = newWidth;
  height = newHeight;
}

void AnchorLayout::Clear() {
  AnchorItem* item = head;
  while (item != NULL) {
    AnchorItem* next = item->next;
    delete item;
    item = next;
  }
  head = NULL;
  tail = NULL;
}
