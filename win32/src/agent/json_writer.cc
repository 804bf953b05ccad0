#include "agent/json_writer.h"

#include <cstdio>

#include "text.h"

namespace kepla_shim {

void JsonWriter::Separate() {
  if (need_comma_) out_.push_back(',');
  need_comma_ = true;
}

JsonWriter& JsonWriter::BeginObject() {
  Separate();
  out_.push_back('{');
  need_comma_ = false;
  return *this;
}

JsonWriter& JsonWriter::EndObject() {
  out_.push_back('}');
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::BeginArray() {
  Separate();
  out_.push_back('[');
  need_comma_ = false;
  return *this;
}

JsonWriter& JsonWriter::EndArray() {
  out_.push_back(']');
  need_comma_ = true;
  return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  Separate();
  out_.push_back('"');
  out_.append(key);
  out_.append("\":");
  need_comma_ = false;
  return *this;
}

JsonWriter& JsonWriter::String(std::wstring_view text) {
  Separate();
  out_.push_back('"');
  for (char c : Utf8FromWide(text)) {
    switch (c) {
      case '"':
        out_.append("\\\"");
        break;
      case '\\':
        out_.append("\\\\");
        break;
      case '\n':
        out_.append("\\n");
        break;
      case '\r':
        out_.append("\\r");
        break;
      case '\t':
        out_.append("\\t");
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(c));
          out_.append(escaped);
        } else {
          out_.push_back(c);
        }
    }
  }
  out_.push_back('"');
  return *this;
}

JsonWriter& JsonWriter::Number(long long value) {
  Separate();
  out_.append(std::to_string(value));
  return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
  Separate();
  out_.append(value ? "true" : "false");
  return *this;
}

}  // namespace kepla_shim
