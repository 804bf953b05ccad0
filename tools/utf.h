// UTF-8 <-> UTF-16 for the package texts shown and taken on the command line.
#ifndef KEPLA_TOOLS_UTF_H_
#define KEPLA_TOOLS_UTF_H_

#include <optional>
#include <string>
#include <string_view>

namespace kepla::pkg {

// Converts UTF-8 to UTF-16; nullopt for bytes that are not UTF-8 (overlong forms, surrogates,
// values above U+10FFFF and cut sequences included).
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);
// Converts UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_UTF_H_
