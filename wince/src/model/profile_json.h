// Reading and writing device.json: the helpers every section of the file shares, and the
// sections that have files of their own (cards in profile_cards.cc, faults in profile_faults.cc).
//
// Readers check one value and throw KeyError, naming the dotted key path of the value
// ("battery.percent", "faults[1].ms"), at the first thing wrong; ParseProfile turns it into the
// one-line error. Internal to model/.
#ifndef WINCE_MODEL_PROFILE_JSON_H_
#define WINCE_MODEL_PROFILE_JSON_H_

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include <wince/profile.h>

namespace wce::profile_json {

using json = nlohmann::json;
using ordered_json = nlohmann::ordered_json;

inline constexpr char kFileName[] = "device.json";

// A bad value: the dotted key path ("battery.percent", "faults[1].ms") and what is wrong.
struct KeyError {
  std::string key;
  std::string why;
};

// Throws KeyError{key, why}.
[[noreturn]] void Fail(const std::string& key, std::string why);
// "base.key", or "key" when base is empty.
std::string Join(const std::string& base, std::string_view key);
// Equal without regard to ASCII case.
bool IEquals(std::u16string_view a, std::u16string_view b);

// An object whose keys are all in `allowed`.
void CheckObject(const json& value, const std::string& key,
                 std::initializer_list<std::string_view> allowed);
// A string of valid UTF-8.
std::u16string ReadText(const json& value, const std::string& key);
bool ReadBool(const json& value, const std::string& key);
// An integer in [min, max]; `range` is the wording of the error ("must be ..."), by default
// "must be MIN..MAX".
std::int64_t ReadInt(const json& value, const std::string& key, std::int64_t min, std::int64_t max,
                     const std::string& range = "");
// An integer of 0 or more.
std::uint64_t ReadU64(const json& value, const std::string& key);
// An absolute device path of a file: "\Folder\Name", backslashes only, under 260 characters,
// with no "." or ".." component.
std::u16string ReadDevicePath(const json& value, const std::string& key);

// "cards": fills p->cards, resolving host folders against the device folder `folder`.
void ReadCards(const json& v, const std::filesystem::path& folder, DeviceProfile* p);
// The default card, "Storage Card" on <folder>/fs/Storage Card.
CardSpec DefaultCard(const std::filesystem::path& folder);
// "cards" as SaveProfile writes it (folders inside `folder` relative to it).
ordered_json CardsToJson(const std::filesystem::path& folder, const std::vector<CardSpec>& cards);

// "faults": fills p->faults. Needs p->cards and p->program read first.
void ReadFaults(const json& v, DeviceProfile* p);
// "faults" as SaveProfile writes it: every key of each fault's kind.
ordered_json FaultsToJson(const std::vector<FaultSpec>& faults);

}  // namespace wce::profile_json

#endif  // WINCE_MODEL_PROFILE_JSON_H_
