#include <wince/utf.h>

#include <utf8/cpp17.h>
#include <utf8/unchecked.h>

#include <iterator>

namespace wce {
namespace {

bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

}  // namespace

bool Utf8ToUtf16(std::string_view text, std::u16string* out) {
  out->clear();
  // The library refuses bad lead and continuation bytes, cut sequences, overlong forms, encoded
  // surrogates and values past U+10FFFF; what it accepts converts without further checks.
  if (!utf8::is_valid(text)) return false;
  out->reserve(text.size());
  utf8::unchecked::utf8to16(text.begin(), text.end(), std::back_inserter(*out));
  return true;
}

void AppendUtf8(char32_t c, std::string* out) {
  utf8::unchecked::append(IsScalarValue(c) ? c : char32_t{0xFFFD}, std::back_inserter(*out));
}

std::u32string Utf16ToUtf32(std::u16string_view text) {
  // By hand: the library refuses a lone surrogate, where we want U+FFFD.
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    out.push_back(c);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : Utf16ToUtf32(text)) AppendUtf8(c, &out);
  return out;
}

}  // namespace wce
