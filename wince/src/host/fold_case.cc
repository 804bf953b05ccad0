#include "host/fold_case.h"

namespace wce {
namespace {

// Latin Extended-A pairs its letters upper/lower, starting on an even code point except in the
// run U+0139..U+0148 and U+0179..U+017E, where the capital sits on the odd code point.
char16_t FoldLatinExtendedA(char16_t c) {
  if (c == u'\u0130') return u'i';       // capital I with dot above
  if (c == u'\u0178') return u'\u00FF';  // capital Y with diaeresis
  const bool odd_capitals =
      (c >= u'\u0139' && c <= u'\u0148') || (c >= u'\u0179' && c <= u'\u017E');
  if (odd_capitals) return (c & 1) ? static_cast<char16_t>(c + 1) : c;
  if (c == u'\u0131' || c == u'\u0138' || c == u'\u0149' || c == u'\u017F') return c;
  return (c & 1) ? c : static_cast<char16_t>(c + 1);
}

}  // namespace

char16_t FoldCase(char16_t c) {
  if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x100 && c <= 0x17F) return FoldLatinExtendedA(c);
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
  if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
  return c;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

}  // namespace wce
