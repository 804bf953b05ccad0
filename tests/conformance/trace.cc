#include "conformance.h"

#include <cstdio>

namespace {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
void AppendUtf8(std::string* out, LPCWSTR text) {
  for (const WCHAR* p = text; *p != 0; ++p) {
    unsigned long c = static_cast<unsigned short>(*p);
    if (c >= 0xD800 && c < 0xDC00 && p[1] >= 0xDC00 && p[1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(p[1]) - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      *out += static_cast<char>(c);
    } else if (c < 0x800) {
      *out += static_cast<char>(0xC0 | (c >> 6));
      *out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      *out += static_cast<char>(0xE0 | (c >> 12));
      *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      *out += static_cast<char>(0xF0 | (c >> 18));
      *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      *out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
}

}  // namespace

Line::Line(Only only) : text_(only == Only::kDevice ? "[device only] " : "[desktop only] ") {}

Line::~Line() {
  text_ += '\n';
  std::fwrite(text_.data(), 1, text_.size(), stdout);
  std::fflush(stdout);
}

Line& Line::operator<<(LPCWSTR text) {
  if (text == NULL) {
    text_ += "(null)";
  } else {
    AppendUtf8(&text_, text);
  }
  return *this;
}

Line& Line::operator<<(const char* text) {
  text_ += text;
  return *this;
}

Line& Line::operator<<(const std::string& text) {
  text_ += text;
  return *this;
}

Line& Line::operator<<(bool value) { return *this << YesNo(value); }

Line& Line::operator<<(long long value) {
  text_ += std::to_string(value);
  return *this;
}

Line& Line::operator<<(unsigned long long value) {
  text_ += std::to_string(value);
  return *this;
}

const char* YesNo(bool value) { return value ? "yes" : "no"; }

std::string WaitResult(DWORD result, DWORD count) {
  if (result == WAIT_TIMEOUT) return "WAIT_TIMEOUT";
  if (result == WAIT_FAILED) return "WAIT_FAILED";
  if (result < count) return "WAIT_OBJECT_0+" + std::to_string(result);
  if (result == count) return "WAIT_OBJECT_0+" + std::to_string(count) + " (input)";
  return std::to_string(result);
}

unsigned long LastError() { return GetLastError(); }
