// device.json: strict reading (every key checked, unknown keys refused) and writing.
#include <wince/profile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <set>
#include <string_view>
#include <system_error>

#include <nlohmann/json.hpp>

#include <wince/utf.h>

namespace wce {
namespace {

using json = nlohmann::json;
using ordered_json = nlohmann::ordered_json;

constexpr char kFileName[] = "device.json";
constexpr std::size_t kMaxPath = 260;              // device paths hold at most 259 characters
constexpr std::size_t kMaxProfileBytes = 1 << 20;  // a real profile is some hundred bytes

// A bad value: the dotted key path ("battery.percent", "faults[1].ms") and what is wrong.
struct KeyError {
  std::string key;
  std::string why;
};

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
                     const std::string& range = "") {
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

void ReadIdentity(const json& v, DeviceProfile* p) {
  const std::string key = "identity";
  CheckObject(v, key, {"model", "romVersion", "extRomVersion", "answers"});
  if (v.contains("model")) p->model = ReadText(v["model"], Join(key, "model"));
  if (v.contains("romVersion")) p->rom_version = ReadText(v["romVersion"], Join(key, "romVersion"));
  if (v.contains("extRomVersion")) {
    p->ext_rom_version = ReadText(v["extRomVersion"], Join(key, "extRomVersion"));
  }
  if (v.contains("answers")) p->identity_answers = ReadBool(v["answers"], Join(key, "answers"));
}

void ReadBattery(const json& v, DeviceProfile* p) {
  CheckObject(v, "battery", {"percent", "fails"});
  if (v.contains("percent")) {
    const std::int64_t percent =
        ReadInt(v["percent"], "battery.percent", 0, 255, "must be 0..100 or 255");
    if (percent > 100 && percent != 255) Fail("battery.percent", "must be 0..100 or 255");
    p->battery_percent = static_cast<int>(percent);
  }
  if (v.contains("fails")) p->battery_fails = ReadBool(v["fails"], "battery.fails");
}

void ReadMemory(const json& v, DeviceProfile* p) {
  CheckObject(v, "memory", {"load", "fails"});
  if (v.contains("load"))
    p->memory_load = static_cast<int>(ReadInt(v["load"], "memory.load", 0, 100));
  if (v.contains("fails")) p->memory_fails = ReadBool(v["fails"], "memory.fails");
}

void ReadDisplay(const json& v, DeviceProfile* p) {
  CheckObject(v, "display", {"width", "height", "rotation"});
  if (v.contains("width")) {
    p->display_width = static_cast<int>(ReadInt(v["width"], "display.width", 1, 4096));
  }
  if (v.contains("height")) {
    p->display_height = static_cast<int>(ReadInt(v["height"], "display.height", 1, 4096));
  }
  if (v.contains("rotation")) {
    const std::string why = "must be 0, 90, 180 or 270";
    const std::int64_t r = ReadInt(v["rotation"], "display.rotation", 0, 270, why);
    if (r % 90 != 0) Fail("display.rotation", why);
    p->display_rotation = static_cast<int>(r);
  }
}

std::filesystem::path ResolveHost(const std::filesystem::path& folder, const std::string& text) {
  std::filesystem::path host(text);
  if (host.is_relative()) host = folder / host;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(host, ec);
  return (ec ? host : absolute).lexically_normal();
}

void ReadCards(const json& v, const std::filesystem::path& folder, DeviceProfile* p) {
  if (!v.is_object()) Fail("cards", "must be an object (card name -> host folder)");
  if (v.empty()) Fail("cards", "must name at least one card");
  for (auto it = v.begin(); it != v.end(); ++it) {
    const std::string key = Join("cards", it.key());
    CardSpec card;
    if (!Utf8ToUtf16(it.key(), &card.name)) Fail(key, "card name is not valid UTF-8");
    if (card.name.empty() || card.name == u"." || card.name == u".." ||
        card.name.find_first_of(u"\\/") != std::u16string::npos) {
      Fail(key, "card name must be a folder name (no slashes, not empty)");
    }
    for (const CardSpec& other : p->cards) {
      if (IEquals(other.name, card.name)) Fail(key, "names the same card as another (case-blind)");
    }
    const json& value = it.value();
    std::string host;
    if (value.is_string()) {
      host = value.get<std::string>();
    } else if (value.is_object()) {
      CheckObject(value, key, {"path", "freeBytes"});
      if (!value.contains("path")) Fail(Join(key, "path"), "is missing");
      if (!value["path"].is_string()) Fail(Join(key, "path"), "must be a string");
      host = value["path"].get<std::string>();
      if (value.contains("freeBytes"))
        card.free_bytes = ReadU64(value["freeBytes"], Join(key, "freeBytes"));
    } else {
      Fail(key, "must be a host folder or an object {\"path\": ..., \"freeBytes\": N}");
    }
    if (host.empty()) Fail(value.is_object() ? Join(key, "path") : key, "must not be empty");
    card.host = ResolveHost(folder, host);
    p->cards.push_back(std::move(card));
  }
}

struct FaultKindName {
  FaultSpec::Kind kind;
  std::string_view name;
};
constexpr FaultKindName kFaultKinds[] = {
    {FaultSpec::Kind::kReadError, "readError"},
    {FaultSpec::Kind::kWriteError, "writeError"},
    {FaultSpec::Kind::kReadStall, "readStall"},
    {FaultSpec::Kind::kShortRead, "shortRead"},
    {FaultSpec::Kind::kDiskFull, "diskFull"},
    {FaultSpec::Kind::kThreadCreate, "threadCreateFails"},
    {FaultSpec::Kind::kOpenStall, "openStall"},
    {FaultSpec::Kind::kCardRemoved, "cardRemoved"},
};

std::string_view FaultKindText(FaultSpec::Kind kind) {
  for (const auto& k : kFaultKinds) {
    if (k.kind == kind) return k.name;
  }
  return "readError";
}

// The keys a fault of `kind` takes besides "kind", and which of them it needs.
struct FaultKeys {
  std::vector<std::string_view> allowed;
  std::vector<std::string_view> required;
};

FaultKeys KeysOf(FaultSpec::Kind kind) {
  switch (kind) {
    case FaultSpec::Kind::kReadError:
    case FaultSpec::Kind::kWriteError:
    case FaultSpec::Kind::kShortRead:
      return {{"file", "offset"}, {"file"}};
    case FaultSpec::Kind::kReadStall:
      return {{"file", "offset", "ms"}, {"file", "ms"}};
    case FaultSpec::Kind::kOpenStall:
      return {{"file", "ms", "skip"}, {"file", "ms"}};
    case FaultSpec::Kind::kDiskFull:
    case FaultSpec::Kind::kCardRemoved:
      return {{"card", "bytes"}, {"bytes"}};
    case FaultSpec::Kind::kThreadCreate:
      return {{"count"}, {}};
  }
  return {};
}

// The first folder of a device path ("Storage Card" of "\Storage Card\fw.bin"); empty for a file
// in the root.
std::u16string_view FirstFolder(std::u16string_view path) {
  const std::size_t end = path.find(u'\\', 1);
  return end == std::u16string_view::npos ? std::u16string_view() : path.substr(1, end - 1);
}

// A fault's file lies on a card of the device, or in the folder tree the program itself lies in
// (a program off the cards, as in \Windows\): a first folder that is neither is a card that the
// device does not have, and the fault would never fire.
void CheckFaultVolume(std::u16string_view file, const std::string& key, const DeviceProfile& p) {
  const std::u16string_view first = FirstFolder(file);
  if (first.empty() || IEquals(first, FirstFolder(p.program))) return;
  const bool known = std::any_of(p.cards.begin(), p.cards.end(),
                                 [&](const CardSpec& c) { return IEquals(c.name, first); });
  if (!known) Fail(key, "\"" + Utf16ToUtf8(first) + "\" names no card of this device");
}

FaultSpec ReadFault(const json& v, const std::string& key, const DeviceProfile& p) {
  CheckObject(v, key, {"kind", "file", "offset", "ms", "bytes", "card", "count", "skip"});
  if (!v.contains("kind")) Fail(Join(key, "kind"), "is missing");
  if (!v["kind"].is_string()) Fail(Join(key, "kind"), "must be a string");
  const std::string kind_text = v["kind"].get<std::string>();
  FaultSpec fault;
  const FaultKindName* found = nullptr;
  for (const auto& k : kFaultKinds) {
    if (k.name == kind_text) found = &k;
  }
  if (found == nullptr) {
    Fail(Join(key, "kind"),
         "must be readError, writeError, readStall, openStall, shortRead, diskFull, "
         "cardRemoved or threadCreateFails");
  }
  fault.kind = found->kind;
  const FaultKeys keys = KeysOf(fault.kind);
  for (auto it = v.begin(); it != v.end(); ++it) {
    if (it.key() != "kind" &&
        std::find(keys.allowed.begin(), keys.allowed.end(), it.key()) == keys.allowed.end()) {
      Fail(Join(key, it.key()), "is not used by a " + kind_text + " fault");
    }
  }
  for (std::string_view required : keys.required) {
    if (!v.contains(required)) Fail(Join(key, required), "is missing");
  }
  if (v.contains("file")) {
    fault.file = ReadDevicePath(v["file"], Join(key, "file"));
    CheckFaultVolume(fault.file, Join(key, "file"), p);
  }
  if (v.contains("offset")) fault.offset = ReadU64(v["offset"], Join(key, "offset"));
  if (v.contains("ms"))
    fault.ms = static_cast<std::uint32_t>(ReadInt(v["ms"], Join(key, "ms"), 1, 3600000));
  if (v.contains("bytes")) fault.bytes = ReadU64(v["bytes"], Join(key, "bytes"));
  if (v.contains("count"))
    fault.count = static_cast<int>(ReadInt(v["count"], Join(key, "count"), 1, 1000000));
  if (v.contains("skip"))
    fault.skip = static_cast<int>(ReadInt(v["skip"], Join(key, "skip"), 0, 1000000));
  if (v.contains("card")) fault.card = ReadText(v["card"], Join(key, "card"));
  if (fault.kind == FaultSpec::Kind::kDiskFull || fault.kind == FaultSpec::Kind::kCardRemoved) {
    const bool known = std::any_of(p.cards.begin(), p.cards.end(),
                                   [&](const CardSpec& c) { return IEquals(c.name, fault.card); });
    if (!known) Fail(Join(key, "card"), "names no card of this device");
  }
  return fault;
}

void ReadFaults(const json& v, DeviceProfile* p) {
  if (!v.is_array()) Fail("faults", "must be a list of faults");
  for (std::size_t i = 0; i < v.size(); ++i) {
    p->faults.push_back(ReadFault(v[i], "faults[" + std::to_string(i) + "]", *p));
  }
}

DeviceProfile ReadProfile(const json& root, const std::filesystem::path& folder) {
  CheckObject(root, "",
              {"identity", "battery", "memory", "display", "program", "cards", "clock", "faults"});
  DeviceProfile p;
  if (root.contains("identity")) ReadIdentity(root["identity"], &p);
  if (root.contains("battery")) ReadBattery(root["battery"], &p);
  if (root.contains("memory")) ReadMemory(root["memory"], &p);
  if (root.contains("display")) ReadDisplay(root["display"], &p);
  if (root.contains("program")) p.program = ReadDevicePath(root["program"], "program");
  if (root.contains("cards")) {
    ReadCards(root["cards"], folder, &p);
  } else {
    p.cards.push_back(CardSpec{u"Storage Card", ResolveHost(folder, "fs/Storage Card"), {}});
  }
  if (root.contains("clock")) {
    if (!root["clock"].is_string()) Fail("clock", "must be a string");
    auto clock = ClockSpec::Parse(root["clock"].get<std::string>());
    if (!clock) Fail("clock", "must be \"real\", \"xN\" (N from 0.001 to 1000) or \"virtual\"");
    p.clock = *clock;
  }
  if (root.contains("faults")) ReadFaults(root["faults"], &p);
  return p;
}

// The card's host folder as the file says it: relative when it lies inside the device folder.
std::string HostText(const std::filesystem::path& folder, const CardSpec& card) {
  if (card.host.empty()) return "fs/" + Utf16ToUtf8(card.name);
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::absolute(folder, ec).lexically_normal();
  if (!ec) {
    const std::filesystem::path rel = card.host.lexically_normal().lexically_relative(base);
    if (!rel.empty() && *rel.begin() != ".." && rel.is_relative()) return rel.generic_string();
  }
  return card.host.generic_string();
}

ordered_json ToJson(const std::filesystem::path& folder, const DeviceProfile& p) {
  ordered_json root;
  root["identity"] = {{"model", Utf16ToUtf8(p.model)},
                      {"romVersion", Utf16ToUtf8(p.rom_version)},
                      {"extRomVersion", Utf16ToUtf8(p.ext_rom_version)},
                      {"answers", p.identity_answers}};
  root["battery"] = {{"percent", p.battery_percent}, {"fails", p.battery_fails}};
  root["memory"] = {{"load", p.memory_load}, {"fails", p.memory_fails}};
  root["display"] = {
      {"width", p.display_width}, {"height", p.display_height}, {"rotation", p.display_rotation}};
  root["program"] = Utf16ToUtf8(p.program);
  ordered_json cards = ordered_json::object();
  std::vector<CardSpec> list = p.cards;
  if (list.empty()) list.push_back(CardSpec{});
  for (const CardSpec& card : list) {
    const std::string name = Utf16ToUtf8(card.name);
    if (card.free_bytes) {
      cards[name] = {{"path", HostText(folder, card)}, {"freeBytes", *card.free_bytes}};
    } else {
      cards[name] = HostText(folder, card);
    }
  }
  root["cards"] = std::move(cards);
  root["clock"] = p.clock.ToString();
  ordered_json faults = ordered_json::array();
  for (const FaultSpec& f : p.faults) {
    ordered_json item;
    item["kind"] = std::string(FaultKindText(f.kind));
    for (std::string_view key : KeysOf(f.kind).allowed) {
      if (key == "file") item["file"] = Utf16ToUtf8(f.file);
      if (key == "offset") item["offset"] = f.offset;
      if (key == "ms") item["ms"] = f.ms;
      if (key == "bytes") item["bytes"] = f.bytes;
      if (key == "card") item["card"] = Utf16ToUtf8(f.card);
      if (key == "count") item["count"] = f.count;
      if (key == "skip") item["skip"] = f.skip;
    }
    faults.push_back(std::move(item));
  }
  root["faults"] = std::move(faults);
  return root;
}

// Parses `text` as JSON, setting *duplicate to the dotted path of the first key that an object
// holds twice ("battery.percent", "faults[1].ms"): the library would keep the last one silently.
// Throws json::exception on a syntax error.
json ParseNoDuplicateKeys(std::string_view text, std::string* duplicate) {
  struct Frame {
    bool object;
    std::string path;
    std::set<std::string> keys;
    std::string key;        // in an object: the key of the value being read
    std::size_t index = 0;  // in a list: the index of the value being read
  };
  std::vector<Frame> stack;
  auto child_path = [&stack]() -> std::string {
    if (stack.empty()) return "";
    const Frame& top = stack.back();
    return top.object ? Join(top.path, top.key) : top.path + "[" + std::to_string(top.index) + "]";
  };
  auto element_done = [&stack] {
    if (!stack.empty() && !stack.back().object) ++stack.back().index;
  };
  json::parser_callback_t callback = [&](int, json::parse_event_t event, json& parsed) {
    switch (event) {
      case json::parse_event_t::object_start:
      case json::parse_event_t::array_start:
        stack.push_back(Frame{event == json::parse_event_t::object_start, child_path(), {}, {}});
        break;
      case json::parse_event_t::key:
        stack.back().key = parsed.get<std::string>();
        if (!stack.back().keys.insert(stack.back().key).second && duplicate->empty()) {
          *duplicate = Join(stack.back().path, stack.back().key);
        }
        break;
      case json::parse_event_t::object_end:
      case json::parse_event_t::array_end:
        stack.pop_back();
        element_done();
        break;
      case json::parse_event_t::value:
        element_done();
        break;
    }
    return true;
  };
  return json::parse(text, callback);
}

}  // namespace

std::optional<DeviceProfile> ParseProfile(std::string_view text,
                                          const std::filesystem::path& folder, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<DeviceProfile> {
    if (error) *error = why;
    return std::nullopt;
  };
  json root;
  std::string duplicate;
  try {
    root = ParseNoDuplicateKeys(text, &duplicate);
  } catch (const json::exception& e) {
    // A syntax error (parse_error), or a number too large for any type (out_of_range, "1e400").
    std::string what = e.what();
    // Drop the library's "[json.exception.parse_error.101] " tag.
    if (auto pos = what.find("] "); pos != std::string::npos) what = what.substr(pos + 2);
    return fail("not valid JSON: " + what);
  }
  if (!duplicate.empty()) return fail(duplicate + ": is given twice");
  try {
    return ReadProfile(root, folder);
  } catch (const KeyError& e) {
    return fail(e.key.empty() ? e.why : e.key + ": " + e.why);
  }
}

std::optional<DeviceProfile> LoadProfile(const std::filesystem::path& folder, std::string* error) {
  const std::filesystem::path file = folder / kFileName;
  const std::string name = file.string();
  auto fail = [&](const std::string& why) -> std::optional<DeviceProfile> {
    if (error) *error = name + ": " + why;
    return std::nullopt;
  };
  std::error_code ec;
  const auto status = std::filesystem::status(file, ec);
  if (!std::filesystem::exists(status)) {
    // No profile at all means the defaults; a link to nothing is a profile that went missing.
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec))) {
      return fail("is a link to nothing");
    }
    json empty = json::object();
    return ReadProfile(empty, folder);
  }
  if (std::filesystem::is_directory(status)) return fail("is a folder, not a file");
  // A FIFO or a device would block the read or never end; nor is a profile a large file.
  if (!std::filesystem::is_regular_file(status)) return fail("is not a regular file");
  std::ifstream in(file, std::ios::binary);
  if (!in) return fail(std::string("cannot be read: ") + std::strerror(errno));
  std::string text(kMaxProfileBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kMaxProfileBytes) return fail("larger than 1 MiB");
  std::string why;
  auto profile = ParseProfile(text, folder, &why);
  if (!profile) return fail(why);
  return profile;
}

std::string FormatProfile(const std::filesystem::path& folder, const DeviceProfile& profile) {
  // A host path that is not UTF-8 (a card's folder) is shown with U+FFFD in its place.
  return ToJson(folder, profile).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
         "\n";
}

bool SaveProfile(const std::filesystem::path& folder, const DeviceProfile& profile,
                 std::string* error) {
  const std::filesystem::path file = folder / kFileName;
  const std::filesystem::path temp = folder / (std::string(kFileName) + ".tmp");
  auto fail = [&](const std::string& why) {
    if (error) *error = file.string() + ": " + why;
    return false;
  };
  std::string text;
  try {
    text = ToJson(folder, profile).dump(2) + "\n";
  } catch (const nlohmann::json::type_error&) {
    // Written with U+FFFD in its place, the path would name another folder.
    return fail("a card's folder has a name that is not UTF-8, which device.json cannot hold");
  }
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return fail(std::string("cannot be written: ") + std::strerror(errno));
    out << text;
    out.flush();
    if (!out) return fail(std::string("cannot be written: ") + std::strerror(errno));
  }
  std::error_code ec;
  std::filesystem::rename(temp, file, ec);
  if (ec) {
    const std::string reason = ec.message();
    std::filesystem::remove(temp, ec);  // clears ec: the reason is taken first
    return fail("cannot be written: " + reason);
  }
  return true;
}

bool IsInsideDeviceFolder(const std::filesystem::path& folder, const std::filesystem::path& host) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::absolute(folder, ec).lexically_normal();
  const std::filesystem::path rel =
      std::filesystem::absolute(host, ec).lexically_normal().lexically_relative(base);
  return !ec && !rel.empty() && *rel.begin() != "..";
}

namespace {

std::filesystem::path CardHostFolder(const std::filesystem::path& folder, const CardSpec& card) {
  if (card.host.empty()) return folder / "fs" / card.name;
  return card.host.is_absolute() ? card.host : folder / card.host;
}

}  // namespace

std::string CardFolderProblem(const std::filesystem::path& folder, const CardSpec& card) {
  const std::filesystem::path host = CardHostFolder(folder, card);
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(host, ec);
  if (std::filesystem::is_directory(status)) return "";
  if (ec && ec != std::errc::no_such_file_or_directory) return "cannot be reached: " + ec.message();
  if (std::filesystem::exists(status)) return "not a folder";
  if (IsInsideDeviceFolder(folder, host)) return "";
  return "no such folder (card not mounted?)";
}

bool CheckCardFolders(const std::filesystem::path& folder, const DeviceProfile& profile,
                      std::string* error) {
  for (const CardSpec& card : profile.cards) {
    const std::string problem = CardFolderProblem(folder, card);
    if (problem.empty()) continue;
    const std::filesystem::path host = CardHostFolder(folder, card);
    if (error) {
      *error = (folder / kFileName).string() + ": " + Join("cards", Utf16ToUtf8(card.name)) + ": " +
               host.string() + ": " + problem;
    }
    return false;
  }
  return true;
}

}  // namespace wce
