// The C library's wide-string functions for WCHAR (char16_t) texts.
#include <windows.h>

size_t wcslen(const WCHAR* s) {
  const WCHAR* p = s;
  while (*p) ++p;
  return static_cast<size_t>(p - s);
}

int wcscmp(const WCHAR* a, const WCHAR* b) {
  while (*a && *a == *b) ++a, ++b;
  return static_cast<int>(static_cast<unsigned>(*a)) - static_cast<int>(static_cast<unsigned>(*b));
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t n) {
  for (; n > 0; --n, ++a, ++b) {
    if (*a != *b || *a == 0) {
      return static_cast<int>(static_cast<unsigned>(*a)) -
             static_cast<int>(static_cast<unsigned>(*b));
    }
  }
  return 0;
}

static WCHAR FoldAscii(WCHAR c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<WCHAR>(c + 32) : c;
}

int _wcsicmp(const WCHAR* a, const WCHAR* b) {
  while (*a && FoldAscii(*a) == FoldAscii(*b)) ++a, ++b;
  return static_cast<int>(FoldAscii(*a)) - static_cast<int>(FoldAscii(*b));
}

WCHAR* wcscpy(WCHAR* dst, const WCHAR* src) {
  WCHAR* d = dst;
  while ((*d++ = *src++) != 0) {
  }
  return dst;
}

WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, size_t n) {
  size_t i = 0;
  for (; i < n && src[i]; ++i) dst[i] = src[i];
  for (; i < n; ++i) dst[i] = 0;
  return dst;
}

WCHAR* wcscat(WCHAR* dst, const WCHAR* src) {
  wcscpy(dst + wcslen(dst), src);
  return dst;
}

WCHAR* wcsncat(WCHAR* dst, const WCHAR* src, size_t n) {
  WCHAR* d = dst + wcslen(dst);
  for (; n > 0 && *src; --n) *d++ = *src++;
  *d = 0;
  return dst;
}

const WCHAR* wcsstr(const WCHAR* hay, const WCHAR* needle) {
  if (*needle == 0) return hay;
  for (; *hay; ++hay) {
    const WCHAR* h = hay;
    const WCHAR* n = needle;
    while (*n && *h == *n) ++h, ++n;
    if (*n == 0) return hay;
  }
  return nullptr;
}

WCHAR* wcsstr(WCHAR* hay, const WCHAR* needle) {
  return const_cast<WCHAR*>(wcsstr(static_cast<const WCHAR*>(hay), needle));
}

const WCHAR* wcschr(const WCHAR* s, WCHAR c) {
  for (;; ++s) {
    if (*s == c) return s;
    if (*s == 0) return nullptr;
  }
}

WCHAR* wcschr(WCHAR* s, WCHAR c) {
  return const_cast<WCHAR*>(wcschr(static_cast<const WCHAR*>(s), c));
}

const WCHAR* wcsrchr(const WCHAR* s, WCHAR c) {
  const WCHAR* found = nullptr;
  for (;; ++s) {
    if (*s == c) found = s;
    if (*s == 0) return found;
  }
}

WCHAR* wcsrchr(WCHAR* s, WCHAR c) {
  return const_cast<WCHAR*>(wcsrchr(static_cast<const WCHAR*>(s), c));
}
