#include "host/attribute_store.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include <wince/device_path.h>
#include <wince/utf.h>
#include "host/errors.h"

namespace wce {
namespace {

// Wine and Samba keep DOS attributes in this extended attribute, as "0x" and hexadecimal digits:
// a card prepared on either side reads the same on the other.
constexpr char kXattrName[] = "user.DOSATTRIB";
// What earlier versions of the layer wrote (decimal text); still read, replaced on the next write.
constexpr char kOldXattrName[] = "user.kepla.attributes";

// The bits of a "0x..." value; nullopt for another form (Samba's binary forms, for one).
std::optional<DWORD> ParseDosAttrib(const char* text, ssize_t length) {
  if (length < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return std::nullopt;
  DWORD bits = 0;
  for (ssize_t i = 2; i < length; ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c == 0) {
      break;
    } else {
      return std::nullopt;
    }
    if (bits > 0x0FFFFFFF) return std::nullopt;
    bits = bits * 16 + static_cast<DWORD>(digit);
  }
  return bits;
}

bool OnFat(const std::filesystem::path& host) {
  struct statfs fs;
  return statfs(host.c_str(), &fs) == 0 && fs.f_type == MSDOS_SUPER_MAGIC;
}

// FAT keeps the attribute byte with the same bit values as the device.
bool FatAttributes(const std::filesystem::path& host, DWORD* bits, const DWORD* replace) {
  const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  __u32 value = 0;
  bool ok = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) == 0;
  if (ok && replace != nullptr) {
    value = (value & ~AttributeStore::kStored) | (*replace & AttributeStore::kStored);
    ok = ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &value) == 0;
  }
  close(fd);
  if (ok && bits != nullptr) *bits = value & AttributeStore::kStored;
  return ok;
}

bool XattrUnsupported(int error_number) { return error_number == ENOTSUP; }

using SidecarMap = std::map<std::string, DWORD>;

SidecarMap ReadSidecar(const std::filesystem::path& file) {
  SidecarMap map;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 10 || line[8] != ' ') continue;
    map[line.substr(9)] = static_cast<DWORD>(std::strtoul(line.substr(0, 8).c_str(), nullptr, 16));
  }
  return map;
}

std::filesystem::path TempOf(const std::filesystem::path& file) {
  std::filesystem::path temp = file;
  temp += ".new";
  return temp;
}

DWORD WriteSidecar(const std::filesystem::path& file, const SidecarMap& map) {
  if (map.empty()) {
    if (unlink(file.c_str()) != 0 && errno != ENOENT) return Win32ErrorFromErrno(errno);
    return ERROR_SUCCESS;
  }
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const std::filesystem::path temp = TempOf(file);
  {
    std::ofstream out(temp, std::ios::trunc);
    char hex[16];
    for (const auto& [name, bits] : map) {
      std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(bits));
      out << hex << ' ' << name << '\n';
    }
    out.flush();
    if (!out) return ERROR_WRITE_FAULT;
  }
  if (rename(temp.c_str(), file.c_str()) != 0) return Win32ErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

// `path` relative to `root` when it lies below it (by components, no link followed).
bool Below(const std::filesystem::path& path, const std::filesystem::path& root,
           std::filesystem::path* relative) {
  auto [root_end, path_at] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  if (root_end != root.end() || path_at == path.end()) return false;
  *relative = path.lexically_relative(root);
  return true;
}

}  // namespace

std::vector<AttributeStore::CardRecord> AttributeStore::CardRecordsOf(
    const std::filesystem::path& device_folder, std::span<const Volume> volumes) {
  std::vector<CardRecord> cards;
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::absolute(device_folder, ec) / "attributes";
  for (std::size_t i = 1; i < volumes.size(); ++i) {
    std::filesystem::path root = std::filesystem::absolute(volumes[i].host, ec).lexically_normal();
    if (!root.has_filename()) root = root.parent_path();
    cards.push_back(CardRecord{root, folder / (Utf16ToUtf8(volumes[i].name) + ".attributes")});
  }
  return cards;
}

AttributeStore::Form AttributeStore::FormFor(const std::filesystem::path& folder) {
  if (OnFat(folder) && FatAttributes(folder, nullptr, nullptr)) return Form::kFat;
  char text[64];
  if (getxattr(folder.c_str(), kXattrName, text, sizeof text) >= 0 || !XattrUnsupported(errno)) {
    return Form::kExtendedAttribute;
  }
  return Form::kRecord;
}

DWORD AttributeStore::Get(const std::filesystem::path& host) const {
  if (sidecar_only_) return GetRecord(host);
  DWORD bits = 0;
  if (OnFat(host) && FatAttributes(host, &bits, nullptr)) return bits;
  char text[64] = {};
  ssize_t n = getxattr(host.c_str(), kXattrName, text, sizeof text - 1);
  if (n > 0) return ParseDosAttrib(text, n).value_or(0) & kStored;
  if (n < 0 && XattrUnsupported(errno)) return GetRecord(host);
  n = getxattr(host.c_str(), kOldXattrName, text, sizeof text - 1);
  if (n > 0) return static_cast<DWORD>(std::strtoul(text, nullptr, 10)) & kStored;
  return 0;
}

DWORD AttributeStore::Set(const std::filesystem::path& host, DWORD attributes) {
  attributes &= kStored;
  if (sidecar_only_) return SetRecord(host, attributes);
  if (OnFat(host) && FatAttributes(host, nullptr, &attributes)) return ERROR_SUCCESS;
  int result;
  if (attributes == 0) {
    result = removexattr(host.c_str(), kXattrName);
    if (result != 0 && errno == ENODATA) result = 0;
  } else {
    char text[16];
    const int length = std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(attributes));
    result = setxattr(host.c_str(), kXattrName, text, static_cast<std::size_t>(length), 0);
  }
  if (result == 0) {
    removexattr(host.c_str(), kOldXattrName);  // an earlier version's record, if any
    return ERROR_SUCCESS;
  }
  if (XattrUnsupported(errno)) return SetRecord(host, attributes);
  return Win32ErrorFromErrno(errno);
}

AttributeStore::Place AttributeStore::PlaceOf(const std::filesystem::path& host) const {
  const std::filesystem::path normal = host.lexically_normal();
  const CardRecord* best = nullptr;
  std::filesystem::path relative;
  for (const CardRecord& card : cards_) {
    std::filesystem::path below;
    if (!Below(normal, card.root, &below)) continue;
    if (best == nullptr || card.root.native().size() > best->root.native().size()) {
      best = &card;
      relative = below;
    }
  }
  if (best == nullptr)
    return Place{host.parent_path() / kSidecarHostName, host.filename().string(), nullptr};
  return Place{best->record, relative.generic_string(), best};
}

void AttributeStore::MoveOldSidecar(const std::filesystem::path& host, const Place& place) const {
  const std::filesystem::path folder = host.lexically_normal().parent_path();
  const std::filesystem::path old = folder / kSidecarHostName;
  if (access(old.c_str(), F_OK) != 0) return;
  std::string prefix = folder.lexically_relative(place.card->root).generic_string();
  prefix = prefix == "." ? "" : prefix + "/";
  SidecarMap record = ReadSidecar(place.record);
  for (const auto& [name, bits] : ReadSidecar(old)) {
    if ((bits & kStored) != 0) record.emplace(prefix + name, bits & kStored);
  }
  if (WriteSidecar(place.record, record) != ERROR_SUCCESS) return;
  unlink(old.c_str());
  unlink(TempOf(old).c_str());
}

void AttributeStore::Forget(const std::filesystem::path& host) {
  MutexLock lock(sidecar_mu_);
  const Place place = PlaceOf(host);
  if (place.card != nullptr) MoveOldSidecar(host, place);
  if (access(place.record.c_str(), F_OK) != 0) return;
  SidecarMap map = ReadSidecar(place.record);
  if (map.erase(place.name) > 0) WriteSidecar(place.record, map);
}

DWORD AttributeStore::GetRecord(const std::filesystem::path& host) const {
  MutexLock lock(sidecar_mu_);
  const Place place = PlaceOf(host);
  if (place.card != nullptr && !read_only_) MoveOldSidecar(host, place);
  const SidecarMap map = ReadSidecar(place.record);
  if (auto it = map.find(place.name); it != map.end()) return it->second & kStored;
  if (place.card != nullptr && read_only_) {
    // An earlier version's sidecar on the card, not yet moved.
    const SidecarMap old = ReadSidecar(host.lexically_normal().parent_path() / kSidecarHostName);
    if (auto it = old.find(host.filename().string()); it != old.end()) return it->second & kStored;
  }
  return 0;
}

DWORD AttributeStore::SetRecord(const std::filesystem::path& host, DWORD attributes) {
  const Place place = PlaceOf(host);
  if (place.name.find('\n') != std::string::npos) return ERROR_INVALID_NAME;
  MutexLock lock(sidecar_mu_);
  if (place.card != nullptr) MoveOldSidecar(host, place);
  SidecarMap map = ReadSidecar(place.record);
  if (attributes == 0) {
    if (map.erase(place.name) == 0) return ERROR_SUCCESS;
  } else {
    map[place.name] = attributes;
  }
  return WriteSidecar(place.record, map);
}

}  // namespace wce
