// A small JSON text builder for the agent's reports: objects, arrays, numbers, booleans and
// strings (UTF-16 in, UTF-8 out, with the escapes JSON requires).
#ifndef KEPLA_WIN32_AGENT_JSON_WRITER_H_
#define KEPLA_WIN32_AGENT_JSON_WRITER_H_

#include <string>
#include <string_view>

namespace kepla_shim {

class JsonWriter {
 public:
  JsonWriter& BeginObject();
  JsonWriter& EndObject();
  JsonWriter& BeginArray();
  JsonWriter& EndArray();
  // The key of the next member of the enclosing object.
  JsonWriter& Key(std::string_view key);
  JsonWriter& String(std::wstring_view text);
  JsonWriter& Number(long long value);
  JsonWriter& Bool(bool value);

  const std::string& text() const { return out_; }

 private:
  void Separate();

  std::string out_;
  bool need_comma_ = false;
};

}  // namespace kepla_shim

#endif  // KEPLA_WIN32_AGENT_JSON_WRITER_H_
