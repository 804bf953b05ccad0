#include "ui/text_buffer.h"

void AppendText(LPWSTR buffer, size_t capacity, LPCWSTR piece, size_t maxChars) {
  if (buffer == NULL || piece == NULL || capacity == 0) return;
  size_t used = wcslen(buffer);
  if (used + 1 >= capacity) return;
  size_t room = capacity - 1 - used;
  wcsncat(buffer, piece, maxChars < room ? maxChars : room);
}
