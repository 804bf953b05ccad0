// UTF-8 <-> UTF-16 conversion for texts that cross between the host (files, terminals, JSON) and
// the device (WCHAR texts).
#ifndef WINCE_UTF_H_
#define WINCE_UTF_H_

#include <string>
#include <string_view>

namespace wce {

// Converts UTF-8 to UTF-16. Returns false (and leaves *out unspecified) for ill-formed input:
// bad lead or continuation bytes, overlong forms, surrogates, code points past U+10FFFF.
bool Utf8ToUtf16(std::string_view text, std::u16string* out);

// Appends code point `c` to *out as UTF-8; a value that is no character (a surrogate, a value past
// U+10FFFF) is appended as U+FFFD.
void AppendUtf8(char32_t c, std::string* out);

// Converts UTF-16 to code points. A lone surrogate becomes U+FFFD; never fails.
std::u32string Utf16ToUtf32(std::u16string_view text);

// Converts UTF-16 to UTF-8. A lone surrogate becomes U+FFFD; never fails.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace wce

#endif  // WINCE_UTF_H_
