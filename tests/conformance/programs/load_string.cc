// LoadStringW's copy form at its limits: it copies at most cchBufferMax - 1 of the stored units
// (the terminator the resource compiler keeps inside the count is one of them) plus a terminator
// and returns the count copied; 0 for a missing string. Its read-only form differs between the
// device (a null buffer) and the desktop (cchBufferMax 0).
#include <windows.h>

#include "conformance.h"
#include "conformance_ids.h"

namespace {

void Copy(HINSTANCE instance, UINT id, int size) {
  WCHAR buffer[32];
  for (WCHAR& c : buffer) c = TEXT('#');
  INT_PTR count = LoadStringW(instance, id, buffer, size);
  int terminator = -1;
  for (int i = 0; i < size; ++i) {
    if (buffer[i] == 0) {
      terminator = i;
      break;
    }
  }
  Line() << "string " << id << " into " << size << " units: returns " << static_cast<long>(count)
         << ", text \"" << (terminator >= 0 ? buffer : TEXT("(unterminated)"))
         << "\", first terminator at " << terminator;
}

}  // namespace

int ConformanceMain(HINSTANCE instance, LPCWSTR) {
  // The resource compiler stores "Hello" with its terminator: 6 units.
  for (int size : {32, 7, 6, 5, 2}) Copy(instance, IDS_HELLO, size);
  Copy(instance, IDS_EMPTY, 32);
  Copy(instance, IDS_OTHER_BLOCK, 32);
  Copy(instance, IDS_UNUSED_SLOT, 32);

  WCHAR buffer[4] = {TEXT('#'), TEXT('#'), TEXT('#'), 0};
  Line() << "string " << IDS_HELLO << " into 1 unit returns "
         << static_cast<long>(LoadStringW(instance, IDS_HELLO, buffer, 1));
#ifdef UNDER_CE
  // The device always terminates what it copies: with room for one unit, an empty text.
  Line(Only::kDevice) << "the buffer then holds an empty text: " << (buffer[0] == 0);
#endif
  Line() << "a missing string returns "
         << static_cast<long>(LoadStringW(instance, IDS_MISSING_BLOCK, buffer, 4));

#ifdef UNDER_CE
  // The device's read-only form: a null buffer returns a pointer to the text in the resource.
  LPCWSTR text = reinterpret_cast<LPCWSTR>(LoadStringW(instance, IDS_HELLO, NULL, 0));
  Line(Only::kDevice) << "LoadStringW(NULL, 0) points at " << text;
  Line(Only::kDevice) << "for a missing string it returns 0: "
                      << (LoadStringW(instance, IDS_MISSING_BLOCK, NULL, 0) == 0);
#else
  // Desktop Win32: a null buffer gives 0; cchBufferMax 0 writes a pointer into the buffer.
  Line(Only::kDesktop) << "LoadStringW(NULL, 0) returns "
                       << static_cast<long>(LoadStringW(instance, IDS_HELLO, NULL, 0));
  LPCWSTR text = NULL;
  int length = LoadStringW(instance, IDS_HELLO, reinterpret_cast<LPWSTR>(&text), 0);
  Line(Only::kDesktop) << "LoadStringW(&pointer, 0) returns " << length << " and points at "
                       << text;
#endif
  return 0;
}
