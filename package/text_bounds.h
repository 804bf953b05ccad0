// Bounded copies into the fixed wide-character buffers of the package code.
#ifndef KEPLA_PACKAGE_TEXT_BOUNDS_H_
#define KEPLA_PACKAGE_TEXT_BOUNDS_H_

#include <windows.h>

// Copies `source` into `text`, which holds `textChars` characters including the terminator,
// cutting it to what fits. The result is always terminated. Returns TRUE when nothing was cut.
BOOL CopyTextCut(LPWSTR text, DWORD textChars, LPCWSTR source);

// Writes `folder` followed directly by `name` into `path` (MAX_PATH characters). A result longer
// than MAX_PATH - 1 characters is refused: `path` is left empty and FALSE returned.
BOOL JoinPath(LPWSTR path, LPCWSTR folder, LPCWSTR name);

// Reads the UTF-16LE text stored in a fixed room of `roomBytes` bytes, stopping at its zero
// character or at the end of the room, into `text` (room for `textChars` characters including
// the terminator; a longer text is cut). Never reads outside the room; `text` is always
// terminated. An odd last byte of the room is ignored.
void ReadFieldText(const BYTE* room, DWORD roomBytes, LPWSTR text, DWORD textChars);

#endif  // KEPLA_PACKAGE_TEXT_BOUNDS_H_
