#include "tools/terminal_text.h"

#include <cstdio>

#include <wince/utf.h>

namespace kepla::pkg {
namespace {

// The length of the UTF-8 sequence at the start of `text`, or 0 when it is not a well-formed one.
std::size_t SequenceLength(std::string_view text) {
  const unsigned char lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = lead < 0x80                   ? 1
                             : lead >= 0xC2 && lead < 0xE0 ? 2
                             : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5 ? 4
                                                           : 0;
  std::u16string unused;
  if (length == 0 || length > text.size() || !wce::Utf8ToUtf16(text.substr(0, length), &unused)) {
    return 0;
  }
  return length;
}

void AppendEscape(const char* format, unsigned value, std::string* out) {
  char escape[8];
  std::snprintf(escape, sizeof(escape), format, value);
  *out += escape;
}

}  // namespace

std::string ForTerminal(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = SequenceLength(text);
    const unsigned char first = static_cast<unsigned char>(text[0]);
    if (length == 0) {
      AppendEscape("\\x%02x", first, &out);
      text.remove_prefix(1);
      continue;
    }
    if (first == '\n') {
      out += "\\n";
    } else if (first == '\r') {
      out += "\\r";
    } else if (first == '\t') {
      out += "\\t";
    } else if (first < 0x20 || first == 0x7F) {
      AppendEscape("\\x%02x", first, &out);
    } else if (first == 0xC2 && static_cast<unsigned char>(text[1]) < 0xA0) {
      AppendEscape("\\u%04x", static_cast<unsigned char>(text[1]), &out);  // U+0080..U+009F
    } else {
      out.append(text.substr(0, length));
    }
    text.remove_prefix(length);
  }
  return out;
}

}  // namespace kepla::pkg
