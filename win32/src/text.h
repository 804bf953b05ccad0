// UTF-8 <-> UTF-16 with the platform's own conversions (an unpaired surrogate or a byte that is
// not UTF-8 becomes U+FFFD). Pure: any thread.
#ifndef KEPLA_WIN32_TEXT_H_
#define KEPLA_WIN32_TEXT_H_

#include <string>
#include <string_view>

namespace kepla_shim {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace kepla_shim

#endif  // KEPLA_WIN32_TEXT_H_
