#include "package/descramble.h"

namespace {

BYTE SwapNibbles(BYTE b) { return (BYTE)((b << 4) | (b >> 4)); }

}  // namespace

BOOL descramble(LPBYTE buffer, DWORD length) {
  if (buffer == NULL || length == 0 || (length & 1) != 0) return FALSE;
  for (DWORD i = 0; i < length; i += 2) {
    BYTE first = buffer[i];
    buffer[i] = SwapNibbles(buffer[i + 1]);
    buffer[i + 1] = SwapNibbles(first);
  }
  return TRUE;
}
