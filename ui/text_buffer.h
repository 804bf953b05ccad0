// Bounded text building for the pages' fixed-size wide-character buffers.
#ifndef KEPLA_UI_TEXT_BUFFER_H_
#define KEPLA_UI_TEXT_BUFFER_H_

#include <windows.h>

#include <cstddef>

// Every working text buffer of the pages holds this many characters, terminator included.
const size_t kTextBufferChars = MAX_PATH;

// Appends at most `maxChars` characters of `piece` to the zero-terminated text in `buffer`, which
// holds `capacity` characters including the terminator, and never more than still fits: the
// result is always terminated and within the buffer. A null piece appends nothing.
void AppendText(LPWSTR buffer, size_t capacity, LPCWSTR piece, size_t maxChars = (size_t)-1);

#endif  // KEPLA_UI_TEXT_BUFFER_H_
