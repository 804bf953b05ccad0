// The package's scrambling of its first block and its trailer.
#ifndef KEPLA_PACKAGE_DESCRAMBLE_H_
#define KEPLA_PACKAGE_DESCRAMBLE_H_

#include <windows.h>

// Transforms `buffer` in place: each pair of bytes, read as four hexadecimal digits, is written
// back with its digits reversed (12 34 becomes 43 21). The transform is its own inverse, so it
// also scrambles. Returns FALSE, leaving the buffer untouched, for a null buffer or a length
// that is zero or odd. Touches only the caller's buffer: any thread may call.
BOOL descramble(LPBYTE buffer, DWORD length);

#endif  // KEPLA_PACKAGE_DESCRAMBLE_H_
