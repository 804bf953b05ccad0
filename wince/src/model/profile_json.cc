// device.json: the checked reading of single values, shared by every section of the file.
#include "model/profile_json.h"

#include <algorithm>

#include <wince/utf.h>

namespace wce::profile_json {
namespace {

constexpr std::size_t kMaxPath = 260;  // device paths hold at most 259 characters

}  // namespace

[[noreturn]] void Fail(const std::string& key, std::string why) {
  throw KeyError{key, std::move(why)};
}

std::string Join(const std::string& base, std::string_view key) {
  return base.empty() ? std::string(key) : base + "." + std::string(key);
}

bool IEquals(std::u16string_view a, std::u16string_view b) {
  auto fold = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

void CheckObject(const json& value, const std::string& key,
                 std::initializer_list<std::string_view> allowed) {
  if (!value.is_object()) Fail(key, "must be an object");
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (std::find(allowed.begin(), allowed.end(), it.key()) == allowed.end()) {
      Fail(Join(key, it.key()), "unknown key");
    }
  }
}

std::u16string ReadText(const json& value, const std::string& key) {
  if (!value.is_string()) Fail(key, "must be a string");
  std::u16string text;
  if (!Utf8ToUtf16(value.get_ref<const std::string&>(), &text)) Fail(key, "is not valid UTF-8");
  return text;
}

bool ReadBool(const json& value, const std::string& key) {
  if (!value.is_boolean()) Fail(key, "must be true or false");
  return value.get<bool>();
}

// An integer in [min, max]; `range` is the wording of the error.
std::int64_t ReadInt(const json& value, const std::string& key, std::int64_t min, std::int64_t max,
                     const std::string& range) {
  const std::string why =
      range.empty() ? "must be " + std::to_string(min) + ".." + std::to_string(max) : range;
  if (!value.is_number_integer()) Fail(key, "must be an integer (" + why.substr(8) + ")");
  if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(max)) {
    Fail(key, why);
  }
  const std::int64_t v = value.get<std::int64_t>();
  if (v < min || v > max) Fail(key, why);
  return v;
}

std::uint64_t ReadU64(const json& value, const std::string& key) {
  if (!value.is_number_integer()) Fail(key, "must be an integer (0 or more)");
  if (!value.is_number_unsigned()) Fail(key, "must be 0 or more");
  return value.get<std::uint64_t>();
}

// An absolute device path of a file: "\Folder\Name", backslashes only, under 260 characters,
// with no "." or ".." component. Tools join such a path onto host folders, so it must not be able
// to step out of the device (which refuses ".." itself when the program runs).
std::u16string ReadDevicePath(const json& value, const std::string& key) {
  std::u16string path = ReadText(value, key);
  const bool ok = path.size() >= 2 && path.size() < kMaxPath && path.front() == u'\\' &&
                  path.back() != u'\\' && path.find(u'/') == std::u16string::npos &&
                  path.find(u"\\\\") == std::u16string::npos;
  if (!ok) {
    Fail(key,
         "must be an absolute device path with backslashes (\\Folder\\File), under 260 "
         "characters");
  }
  for (std::size_t start = 1; start <= path.size();) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string_view part = std::u16string_view(path).substr(start, end - start);
    if (part == u"." || part == u"..") Fail(key, "must not hold \".\" or \"..\" components");
    start = end + 1;
  }
  return path;
}

}  // namespace wce::profile_json
