// device.json: the storage cards (card name -> host folder) and the checks of their host folders.
#include <algorithm>
#include <system_error>

#include <wince/utf.h>
#include <wince/profile.h>
#include "model/profile_json.h"

namespace wce {
namespace profile_json {
namespace {

std::filesystem::path ResolveHost(const std::filesystem::path& folder, const std::string& text) {
  std::filesystem::path host(text);
  if (host.is_relative()) host = folder / host;
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(host, ec);
  return (ec ? host : absolute).lexically_normal();
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

}  // namespace

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

CardSpec DefaultCard(const std::filesystem::path& folder) {
  return CardSpec{u"Storage Card", ResolveHost(folder, "fs/Storage Card"), {}};
}

ordered_json CardsToJson(const std::filesystem::path& folder, const std::vector<CardSpec>& cards) {
  ordered_json out = ordered_json::object();
  std::vector<CardSpec> list = cards;
  if (list.empty()) list.push_back(CardSpec{});
  for (const CardSpec& card : list) {
    const std::string name = Utf16ToUtf8(card.name);
    if (card.free_bytes) {
      out[name] = {{"path", HostText(folder, card)}, {"freeBytes", *card.free_bytes}};
    } else {
      out[name] = HostText(folder, card);
    }
  }
  return out;
}

}  // namespace profile_json

using profile_json::Join;
using profile_json::kFileName;

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
