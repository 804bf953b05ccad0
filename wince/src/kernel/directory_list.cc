// Directory listings for FindFirstFileW: wildcard match, find data, the cards in the root.
#include <dirent.h>

#include <algorithm>
#include <cstring>

#include <wince/utf.h>
#include "kernel/filesystem.h"
#include "host/fold_case.h"
#include "host/wildcard.h"

namespace wce {
namespace {

// Seconds between 1601-01-01 (FILETIME's epoch) and 1970-01-01.
constexpr std::uint64_t kEpochGapSeconds = 11644473600ull;

FILETIME ToFileTime(const struct timespec& ts) {
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(ts.tv_sec) + kEpochGapSeconds) * 10000000ull +
      static_cast<std::uint64_t>(ts.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

bool IsValidPattern(std::u16string_view pattern) {
  return std::none_of(pattern.begin(), pattern.end(), [](char16_t c) {
    return c < 0x20 || c == u'/' || c == u':' || c == u'"' || c == u'<' || c == u'>' || c == u'|';
  });
}

}  // namespace

FileSystem::FoundEntry FileSystem::FindDataOf(std::u16string_view name,
                                              const std::filesystem::path& host,
                                              const struct stat& st, bool volume_root) const {
  FoundEntry entry;
  entry.attributes = AttributesOf(host, st, volume_root);
  entry.created = ToFileTime(st.st_mtim);
  entry.last_write = ToFileTime(st.st_mtim);
  entry.last_access = ToFileTime(st.st_atim);
  if (!S_ISDIR(st.st_mode)) entry.size = static_cast<std::uint64_t>(st.st_size);
  entry.name = name.substr(0, MAX_PATH - 1);
  return entry;
}

DWORD FileSystem::List(std::u16string_view pattern, std::vector<FoundEntry>* entries) const {
  entries->clear();
  if (pattern.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  const std::size_t slash = pattern.rfind(u'\\');
  if (slash == std::u16string_view::npos) return ERROR_PATH_NOT_FOUND;
  const std::u16string_view name_pattern = pattern.substr(slash + 1);
  if (!IsValidPattern(name_pattern)) return ERROR_INVALID_NAME;
  HostLocation dir;
  if (const DWORD error = Map(pattern.substr(0, slash + 1), &dir); error != ERROR_SUCCESS) {
    return error;
  }
  struct stat st;
  if (!dir.exists || stat(dir.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return ERROR_PATH_NOT_FOUND;
  }
  if (name_pattern.empty()) return ERROR_FILE_NOT_FOUND;
  const std::filesystem::path& root = volumes_[dir.volume].host;
  const bool device_root = dir.volume == 0 && dir.leaf.empty();

  if (!device_root) {
    // A folder lists itself and its parent first, as desktop Win32 does; the root folder, like a
    // drive's root, lists neither. A card's root is a folder of the root.
    const bool card_root = dir.leaf.empty();
    const std::filesystem::path folder = dir.host.lexically_normal();
    std::filesystem::path parent = volumes_[0].host;
    if (!card_root) parent = (folder.has_filename() ? folder : folder.parent_path()).parent_path();
    const std::pair<std::u16string_view, const std::filesystem::path*> dots[] = {{u".", &dir.host},
                                                                                 {u"..", &parent}};
    for (const auto& [name, host] : dots) {
      struct stat dot_st;
      if (!MatchesWildcard(name_pattern, name) || stat(host->c_str(), &dot_st) != 0) continue;
      entries->push_back(FindDataOf(name, *host, dot_st, card_root && name == u"."));
    }
  }

  if (DIR* listing = opendir(dir.host.c_str())) {
    std::u16string name;
    while (const dirent* entry = readdir(listing)) {
      const std::string_view host_name = entry->d_name;
      if (host_name == "." || host_name == "..") continue;
      if (!Utf8ToUtf16(host_name, &name) || IsReservedName(name)) continue;
      if (!MatchesWildcard(name_pattern, name)) continue;
      // A card in the root is listed below, as the card.
      if (device_root && std::any_of(volumes_.begin() + 1, volumes_.end(),
                                     [&](const Volume& v) { return EqualsNoCase(v.name, name); })) {
        continue;
      }
      const std::filesystem::path host = dir.host / host_name;
      struct stat entry_st;
      if (lstat(host.c_str(), &entry_st) != 0) continue;
      if (S_ISLNK(entry_st.st_mode) &&
          (!IsInsideVolume(host, root) || stat(host.c_str(), &entry_st) != 0)) {
        continue;
      }
      entries->push_back(FindDataOf(name, host, entry_st, false));
    }
    closedir(listing);
  }
  if (device_root) {
    for (std::size_t i = 1; i < volumes_.size(); ++i) {
      struct stat card_st;
      if (IsRemoved(i) || !MatchesWildcard(name_pattern, volumes_[i].name) ||
          stat(volumes_[i].host.c_str(), &card_st) != 0) {
        continue;
      }
      entries->push_back(FindDataOf(volumes_[i].name, volumes_[i].host, card_st, true));
    }
  }
  return entries->empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
}

}  // namespace wce
