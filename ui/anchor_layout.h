// Keeps the controls of a page dialog placed when its client area changes size (chiefly when the
// display rotates while the page is open).
//
// Thread rules: user-interface thread only, inside the dialog procedure of the page.
#ifndef KEPLA_UI_ANCHOR_LAYOUT_H_
#define KEPLA_UI_ANCHOR_LAYOUT_H_

#include <windows.h>

// What a control does on one axis when the client area changes size.
enum AnchorMode {
  AnchorAutomatic = 0,  // at registration only: chosen from the control's place (never stored)
  AnchorNear = 1,       // keeps its position and extent
  AnchorFar = 2,        // keeps its extent and moves with the far edge of the client area
  AnchorBoth = 3,       // keeps its near edge; its extent follows the client area
};

// One axis of a registered control. linkId, percent, referenceId and farEdge keep their
// defaults (no placement against another control, no percentage sizing) and take no part in
// the placement.
struct AnchorAxis {
  int mode;         // AnchorNear, AnchorFar or AnchorBoth
  int linkId;       // -1: none
  int offset;       // client extent minus the control's extent, at registration
  int percent;      // 100
  int referenceId;  // -1: the client area
  BYTE farEdge;     // 0
};

struct AnchorItem {
  int controlId;
  AnchorAxis horizontal;
  AnchorAxis vertical;
  BYTE repaint;  // 0
  AnchorItem* next;
};

// Owns its items, a list in registration order.
class AnchorLayout {
 public:
  // Records `dialog` and its current client size (zero when it cannot be read).
  explicit AnchorLayout(HWND dialog);
  // Frees the items.
  ~AnchorLayout();
  AnchorLayout(const AnchorLayout&) = delete;
  AnchorLayout& operator=(const AnchorLayout&) = delete;

  // Registers control `controlId` of the dialog with a mode per axis (AnchorMode). An automatic
  // mode becomes AnchorNear when the control lies wholly before the centre line of the client
  // area, AnchorFar when wholly after it, else AnchorBoth. A control that cannot be allocated is
  // not registered.
  void AddItem(int controlId, int horizontalMode, int verticalMode);

  // Handles WM_SIZE: `sizeKind` and `packedSize` are its wParam and lParam. Only SIZE_RESTORED
  // and SIZE_MAXIMIZED act: every control is moved and sized by the change of the client size
  // since the previous pass, and the new size is recorded. Other kinds change nothing.
  void Relayout(WPARAM sizeKind, LPARAM packedSize);

  // Frees every item; the layout is then empty (its dialog and size stay).
  void Clear();

  const AnchorItem* Head() const { return head; }
  int Width() const { return width; }
  int Height() const { return height; }

 private:
  // The control's rectangle in the dialog's client coordinates (all zero when it has none).
  RECT ControlRect(HWND control) const;

  AnchorItem* head;
  AnchorItem* tail;
  HWND dialog;
  int width;  // client size at the last pass
  int height;
};

#endif  // KEPLA_UI_ANCHOR_LAYOUT_H_
