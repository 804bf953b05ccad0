#include "ui/template_word.h"

#include <new>

#include "ui/text_buffer.h"

bool ReplaceTemplateWord(LPWSTR text, LPCWSTR marker, LPCWSTR replacement) {
  if (text == NULL || marker == NULL || replacement == NULL) return false;
  LPWSTR found = wcsstr(text, marker);
  if (found == NULL) return false;

  size_t markerChars = wcslen(marker);
  size_t resultChars = wcslen(text) - markerChars + wcslen(replacement);
  if (resultChars + 1 > kTextBufferChars) return false;

  // The result fits, so the tail (a part of it) fits the working buffer too.
  LPWSTR tail = new (std::nothrow) WCHAR[kTextBufferChars];
  if (tail == NULL) return false;
  wcscpy(tail, found + markerChars);
  *found = 0;
  wcscat(text, replacement);
  wcscat(text, tail);
  delete[] tail;
  return true;
}
