// The soft-key menu bar: a top-level window across the bottom of the screen, owned by the window
// it serves, with one push button per soft key, built from a MENU resource.
//
// A click on an enabled key sends WM_COMMAND(MAKEWPARAM(id, 0), bar) to the owner, as the device
// does, unless the owner is disabled (a modal window above it). The bar answers TB_SETBUTTONINFOW
// with TBIF_TEXT for a key's command id, and goes with its owner.
//
// Thread rules: the owner's thread only.
#ifndef KEPLA_WIN32_SOFT_KEY_BAR_H_
#define KEPLA_WIN32_SOFT_KEY_BAR_H_

#include <windows.h>

namespace kepla_shim {

const int kSoftKeyCount = 2;

// The bar made for `owner` from menu `menu_id` of `module`, or NULL (no such menu, or a window
// could not be made; the last error says why). It becomes the one SHFindMenuBar(owner) answers.
HWND CreateSoftKeyBar(HWND owner, HINSTANCE module, UINT menu_id);
// The newest bar of `owner`, or NULL.
HWND FindSoftKeyBar(HWND owner);
// The key at `index` (0 left, 1 right), or with command id `command` when index < 0; NULL when
// `bar` is no bar or has no such key.
HWND SoftKeyButton(HWND bar, int index, UINT command = 0);

}  // namespace kepla_shim

#endif  // KEPLA_WIN32_SOFT_KEY_BAR_H_
