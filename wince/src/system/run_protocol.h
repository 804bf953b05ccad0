// What travels through the run folder: the <pid>.json entry of a program, and the one-line
// requests and replies of its socket. Pure encoding and decoding over JSON text (UTF-8).
#ifndef WINCE_SYSTEM_RUN_PROTOCOL_H_
#define WINCE_SYSTEM_RUN_PROTOCOL_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "system/run_folder.h"

namespace wce {

std::string EncodeProgram(const PublishedProgram& program);
// Nullopt for text that is not a complete entry (a torn or foreign file).
std::optional<PublishedProgram> DecodeProgram(std::string_view text);

struct RunRequest {
  enum class Op { kPing, kSend, kIsWindow, kSetEvent, kHasEvent };
  Op op = Op::kPing;
  std::uint64_t hwnd = 0;  // kSend, kIsWindow
  std::uint32_t msg = 0;   // kSend
  std::uint64_t wparam = 0;
  std::int64_t lparam = 0;
  std::u16string name;  // kSetEvent, kHasEvent
};

struct RunReply {
  bool ok = false;          // the window existed / the event existed and was set / ...
  std::int64_t result = 0;  // kSend: the window procedure's result
};

// One line each, without the terminating '\n'.
std::string EncodeRequest(const RunRequest& request);
std::optional<RunRequest> DecodeRequest(std::string_view line);
std::string EncodeReply(const RunReply& reply);
std::optional<RunReply> DecodeReply(std::string_view line);

}  // namespace wce

#endif  // WINCE_SYSTEM_RUN_PROTOCOL_H_
