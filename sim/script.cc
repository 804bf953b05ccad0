#include "sim/script.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <wince/utf.h>
#include "tools/file_kind.h"

namespace kepla {
namespace {

constexpr std::uint32_t kLongestWaitMs = 24u * 3600u * 1000u;
constexpr std::size_t kLargestScriptFile = 1u << 20;  // bytes

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool ParseNumber(std::string_view text, std::uint64_t* value) {
  if (text.empty()) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

// Parses one action; on error sets *why (without the place).
std::optional<ScriptStep> ParseStep(std::string_view item, std::string* why) {
  ScriptStep step;
  const std::size_t colon = item.find(':');
  const std::string word = Lower(Trim(item.substr(0, colon)));
  const std::string_view arg = colon == std::string_view::npos ? "" : Trim(item.substr(colon + 1));
  const bool has_arg = colon != std::string_view::npos;

  if (word == "left" || word == "right" || word == "ok") {
    if (has_arg) {
      *why = "\"" + word + "\" takes no argument";
      return std::nullopt;
    }
    step.kind = word == "left"    ? ScriptStep::Kind::kLeft
                : word == "right" ? ScriptStep::Kind::kRight
                                  : ScriptStep::Kind::kOk;
    return step;
  }
  if (word == "rotate") {
    std::uint64_t degrees = 0;
    if (!ParseNumber(arg, &degrees) || degrees > 270 || degrees % 90 != 0) {
      *why = "the angle must be 0, 90, 180 or 270";
      return std::nullopt;
    }
    step.kind = ScriptStep::Kind::kRotate;
    step.degrees = static_cast<int>(degrees);
    return step;
  }
  if (word == "wait") {
    std::uint64_t ms = 0;
    if (!ParseNumber(arg, &ms) || ms > kLongestWaitMs) {
      *why =
          "the time must be a whole number of milliseconds, 0 to " + std::to_string(kLongestWaitMs);
      return std::nullopt;
    }
    step.kind = ScriptStep::Kind::kWait;
    step.ms = static_cast<std::uint32_t>(ms);
    return step;
  }
  if (word == "signal") {
    if (arg.empty()) {
      *why = "the event name is missing (signal:EVENT)";
      return std::nullopt;
    }
    if (!wce::Utf8ToUtf16(arg, &step.event)) {
      *why = "the event name is not valid UTF-8";
      return std::nullopt;
    }
    step.kind = ScriptStep::Kind::kSignal;
    return step;
  }
  *why = word.empty() ? "empty action"
                      : "unknown action; expected left, right, ok, rotate:DEG, signal:EVENT or "
                        "wait:MS";
  return std::nullopt;
}

// Splits `text` at commas and parses each piece, appending to *steps. `place` names the text in
// errors ("script" or "FILE:LINE").
bool ParseInto(std::string_view text, const std::string& place, std::vector<ScriptStep>* steps,
               std::string* error) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item = text.substr(
        start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    std::string why;
    auto step = ParseStep(item, &why);
    if (!step) {
      if (error) {
        *error = place + ": action " + std::to_string(steps->size() + 1) + ", \"" +
                 std::string(Trim(item)) + "\": " + why;
      }
      return false;
    }
    steps->push_back(std::move(*step));
    if (comma == std::string_view::npos) return true;
    start = comma + 1;
  }
}

}  // namespace

std::string ScriptStep::Text() const {
  switch (kind) {
    case Kind::kLeft:
      return "left";
    case Kind::kRight:
      return "right";
    case Kind::kOk:
      return "ok";
    case Kind::kRotate:
      return "rotate:" + std::to_string(degrees);
    case Kind::kSignal:
      return "signal:" + wce::Utf16ToUtf8(event);
    case Kind::kWait:
      return "wait:" + std::to_string(ms);
  }
  return "";
}

std::optional<wce::Action> ScriptStep::ToAction() const {
  switch (kind) {
    case Kind::kLeft:
      return wce::PressSoftKey{0};
    case Kind::kRight:
      return wce::PressSoftKey{1};
    case Kind::kOk:
      return wce::DismissMessageBox{};
    case Kind::kRotate:
      return wce::Rotate{degrees};
    case Kind::kSignal:
      return wce::SignalEvent{event};
    case Kind::kWait:
      return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::vector<ScriptStep>> ParseScript(std::string_view text, std::string* error) {
  std::vector<ScriptStep> steps;
  if (Trim(text).empty()) return steps;  // nothing to press: just wait for the program to end
  if (!ParseInto(text, "script", &steps, error)) return std::nullopt;
  return steps;
}

std::optional<std::vector<ScriptStep>> ParseScriptFile(std::string_view text,
                                                       const std::string& name,
                                                       std::string* error) {
  std::vector<ScriptStep> steps;
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view content = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (const std::size_t hash = content.find('#'); hash != std::string_view::npos) {
      content = content.substr(0, hash);
    }
    content = Trim(content);
    if (content.empty()) continue;
    if (content.back() == ',') content.remove_suffix(1);  // a list may run on to the next line
    if (!ParseInto(content, name + ":" + std::to_string(number), &steps, error)) {
      return std::nullopt;
    }
  }
  return steps;
}

std::optional<std::vector<ScriptStep>> LoadScriptFile(const std::string& path, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<std::vector<ScriptStep>> {
    if (error) *error = path + ": " + why;
    return std::nullopt;
  };
  // Opened without blocking, so that a FIFO is refused below instead of waiting for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(std::string("cannot be read: ") + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const std::string kind = pkg::FileKind(st.st_mode);
    ::close(fd);
    // A folder reads as nothing, a FIFO may block, and a device such as /dev/zero never ends.
    if (S_ISDIR(st.st_mode)) return fail("is a folder, not a file");
    return fail("is " + kind + ", not a regular file");
  }
  // The size the file reports may be wrong (a file of /proc reports 0), so reading stops one byte
  // past the bound, whatever the size said.
  std::string text;
  char buffer[65536];
  bool failed = false;
  int read_errno = 0;
  while (text.size() <= kLargestScriptFile) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      failed = true;
      read_errno = errno;
      break;
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (failed) return fail(std::string("cannot be read: ") + std::strerror(read_errno));
  if (text.size() > kLargestScriptFile) {
    return fail("is larger than 1 MiB, the most a script file may hold");
  }
  return ParseScriptFile(text, path, error);
}

}  // namespace kepla
