// device.json: the faults to inject, each a kind and the keys of its kind.
#include <algorithm>
#include <string>

#include "host/utf.h"
#include "model/call_log.h"
#include "model/profile.h"
#include "model/profile_json.h"

namespace wce::profile_json {
namespace {

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
    {FaultSpec::Kind::kCallFails, "callFails"},
    {FaultSpec::Kind::kPowerOff, "powerOff"},
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
    case FaultSpec::Kind::kCallFails:
      return {{"call", "nth", "error"}, {"call", "nth"}};
    case FaultSpec::Kind::kPowerOff:
      return {{"call", "nth"}, {"call", "nth"}};
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
  CheckObject(
      v, key,
      {"kind", "file", "offset", "ms", "bytes", "card", "count", "skip", "call", "nth", "error"});
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
         "cardRemoved, threadCreateFails, callFails or powerOff");
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
  if (v.contains("call")) {
    fault.call = Utf16ToUtf8(ReadText(v["call"], Join(key, "call")));
    const CallInfo* info = FindCall(fault.call);
    if (info == nullptr) {
      Fail(Join(key, "call"), "\"" + fault.call + "\" is not a recorded platform call");
    }
    if (fault.kind == FaultSpec::Kind::kCallFails && !info->can_fail) {
      Fail(Join(key, "call"), "\"" + fault.call + "\" cannot fail on the device");
    }
  }
  if (v.contains("nth"))
    fault.nth = static_cast<int>(ReadInt(v["nth"], Join(key, "nth"), 1, 1000000000));
  if (v.contains("error")) {
    fault.error = static_cast<std::uint32_t>(ReadInt(v["error"], Join(key, "error"), 1, 0xFFFF));
  }
  if (fault.kind == FaultSpec::Kind::kDiskFull || fault.kind == FaultSpec::Kind::kCardRemoved) {
    const bool known = std::any_of(p.cards.begin(), p.cards.end(),
                                   [&](const CardSpec& c) { return IEquals(c.name, fault.card); });
    if (!known) Fail(Join(key, "card"), "names no card of this device");
  }
  return fault;
}

}  // namespace

void ReadFaults(const json& v, DeviceProfile* p) {
  if (!v.is_array()) Fail("faults", "must be a list of faults");
  for (std::size_t i = 0; i < v.size(); ++i) {
    p->faults.push_back(ReadFault(v[i], "faults[" + std::to_string(i) + "]", *p));
  }
}

ordered_json FaultsToJson(const std::vector<FaultSpec>& faults) {
  ordered_json out = ordered_json::array();
  for (const FaultSpec& f : faults) {
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
      if (key == "call") item["call"] = f.call;
      if (key == "nth") item["nth"] = f.nth;
      if (key == "error" && f.error) item["error"] = *f.error;
    }
    out.push_back(std::move(item));
  }
  return out;
}

}  // namespace wce::profile_json
