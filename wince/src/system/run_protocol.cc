#include "system/run_protocol.h"

#include <nlohmann/json.hpp>

#include <wince/utf.h>

namespace wce {
namespace {

using nlohmann::json;

std::optional<json> Parse(std::string_view text) {
  json value = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded() || !value.is_object()) return std::nullopt;
  return value;
}

// Reads a UTF-8 string member into UTF-16; false when missing or ill-formed.
bool GetText(const json& object, const char* key, std::u16string* out) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return false;
  return Utf8ToUtf16(it->get_ref<const std::string&>(), out);
}

template <typename T>
bool GetNumber(const json& object, const char* key, T* out) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_number_integer()) return false;
  *out = it->get<T>();
  return true;
}

constexpr std::pair<RunRequest::Op, const char*> kOps[] = {
    {RunRequest::Op::kPing, "ping"},         {RunRequest::Op::kSend, "send"},
    {RunRequest::Op::kIsWindow, "iswindow"}, {RunRequest::Op::kSetEvent, "setevent"},
    {RunRequest::Op::kHasEvent, "hasevent"},
};

}  // namespace

std::string EncodeProgram(const PublishedProgram& program) {
  json windows = json::array();
  for (const PublishedWindow& w : program.windows) {
    windows.push_back({{"hwnd", w.hwnd},
                       {"class", Utf16ToUtf8(w.window_class)},
                       {"title", Utf16ToUtf8(w.title)}});
  }
  json events = json::array();
  for (const std::u16string& name : program.events) events.push_back(Utf16ToUtf8(name));
  json entry = {{"pid", program.pid},
                {"program", Utf16ToUtf8(program.program)},
                {"windows", windows},
                {"events", events}};
  return entry.dump(2) + "\n";
}

std::optional<PublishedProgram> DecodeProgram(std::string_view text) {
  auto entry = Parse(text);
  if (!entry) return std::nullopt;
  PublishedProgram program;
  if (!GetNumber(*entry, "pid", &program.pid) || program.pid <= 0) return std::nullopt;
  if (!GetText(*entry, "program", &program.program)) return std::nullopt;
  auto windows = entry->find("windows");
  auto events = entry->find("events");
  if (windows == entry->end() || !windows->is_array()) return std::nullopt;
  if (events == entry->end() || !events->is_array()) return std::nullopt;
  for (const json& w : *windows) {
    PublishedWindow window;
    if (!w.is_object() || !GetNumber(w, "hwnd", &window.hwnd) ||
        !GetText(w, "class", &window.window_class) || !GetText(w, "title", &window.title)) {
      return std::nullopt;
    }
    program.windows.push_back(std::move(window));
  }
  for (const json& e : *events) {
    std::u16string name;
    if (!e.is_string() || !Utf8ToUtf16(e.get_ref<const std::string&>(), &name)) {
      return std::nullopt;
    }
    program.events.push_back(std::move(name));
  }
  return program;
}

std::string EncodeRequest(const RunRequest& request) {
  json line = {{"op", ""}};
  for (const auto& [op, name] : kOps) {
    if (op == request.op) line["op"] = name;
  }
  switch (request.op) {
    case RunRequest::Op::kSend:
      line["msg"] = request.msg;
      line["wparam"] = request.wparam;
      line["lparam"] = request.lparam;
      [[fallthrough]];
    case RunRequest::Op::kIsWindow:
      line["hwnd"] = request.hwnd;
      break;
    case RunRequest::Op::kSetEvent:
    case RunRequest::Op::kHasEvent:
      line["name"] = Utf16ToUtf8(request.name);
      break;
    case RunRequest::Op::kPing:
      break;
  }
  return line.dump();
}

std::optional<RunRequest> DecodeRequest(std::string_view text) {
  auto line = Parse(text);
  if (!line) return std::nullopt;
  auto op = line->find("op");
  if (op == line->end() || !op->is_string()) return std::nullopt;
  RunRequest request;
  bool known = false;
  for (const auto& [value, name] : kOps) {
    if (*op == name) {
      request.op = value;
      known = true;
    }
  }
  if (!known) return std::nullopt;
  switch (request.op) {
    case RunRequest::Op::kSend:
      if (!GetNumber(*line, "msg", &request.msg) || !GetNumber(*line, "wparam", &request.wparam) ||
          !GetNumber(*line, "lparam", &request.lparam)) {
        return std::nullopt;
      }
      [[fallthrough]];
    case RunRequest::Op::kIsWindow:
      if (!GetNumber(*line, "hwnd", &request.hwnd)) return std::nullopt;
      break;
    case RunRequest::Op::kSetEvent:
    case RunRequest::Op::kHasEvent:
      if (!GetText(*line, "name", &request.name)) return std::nullopt;
      break;
    case RunRequest::Op::kPing:
      break;
  }
  return request;
}

std::string EncodeReply(const RunReply& reply) {
  return json{{"ok", reply.ok}, {"result", reply.result}}.dump();
}

std::optional<RunReply> DecodeReply(std::string_view text) {
  auto line = Parse(text);
  if (!line) return std::nullopt;
  auto ok = line->find("ok");
  if (ok == line->end() || !ok->is_boolean()) return std::nullopt;
  RunReply reply;
  reply.ok = ok->get<bool>();
  if (!GetNumber(*line, "result", &reply.result)) return std::nullopt;
  return reply;
}

}  // namespace wce
