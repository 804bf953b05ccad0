#include <wince/device_path.h>

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

#include <wince/utf.h>
#include "host/fold_case.h"

namespace wce {
namespace {

bool IsBadNameChar(char16_t c) {
  return c < 0x20 || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' ||
         c == u'>' || c == u'|';
}

bool HasLoneSurrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

// Splits an absolute device path into its components; empty components and "." are dropped.
DWORD SplitComponents(std::u16string_view path, std::vector<std::u16string_view>* out) {
  if (path.empty() || path.front() != u'\\') return ERROR_PATH_NOT_FOUND;
  if (HasLoneSurrogate(path)) return ERROR_INVALID_NAME;
  std::size_t start = 1;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string_view::npos) end = path.size();
    const std::u16string_view part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == u".") continue;
    if (part == u"..") return ERROR_INVALID_NAME;
    if (std::any_of(part.begin(), part.end(), IsBadNameChar)) return ERROR_INVALID_NAME;
    out->push_back(part);
  }
  return ERROR_SUCCESS;
}

// The host spelling of `name` inside `dir`: the name itself when it exists, else the first entry
// (in byte order) that differs from it only in case.
std::optional<std::string> FindEntry(const std::filesystem::path& dir, std::u16string_view name) {
  std::string exact = Utf16ToUtf8(name);
  struct stat st;
  if (lstat((dir / exact).c_str(), &st) == 0) return exact;
  DIR* listing = opendir(dir.c_str());
  if (listing == nullptr) return std::nullopt;
  std::optional<std::string> best;
  std::u16string wide;
  while (const dirent* entry = readdir(listing)) {
    const std::string_view host_name = entry->d_name;
    if (host_name == "." || host_name == "..") continue;
    if (!Utf8ToUtf16(host_name, &wide) || !EqualsNoCase(wide, name)) continue;
    if (!best || host_name < *best) best = std::string(host_name);
  }
  closedir(listing);
  return best;
}

// The index of the card named by `first`, or 0 (the root volume).
std::size_t FindVolume(std::span<const Volume> volumes, std::u16string_view first) {
  for (std::size_t i = 1; i < volumes.size(); ++i) {
    if (EqualsNoCase(volumes[i].name, first)) return i;
  }
  return 0;
}

}  // namespace

bool IsReservedName(std::u16string_view name) {
  static const std::u16string sidecar(std::begin(kSidecarHostName), std::end(kSidecarHostName) - 1);
  static const std::u16string temp(std::begin(kSidecarTempHostName),
                                   std::end(kSidecarTempHostName) - 1);
  return EqualsNoCase(name, sidecar) || EqualsNoCase(name, temp);
}

bool IsInsideVolume(const std::filesystem::path& host, const std::filesystem::path& root) {
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(host, ec);
  if (ec) return false;
  const std::filesystem::path real_root = std::filesystem::canonical(root, ec);
  if (ec) return false;
  auto [root_end, unused] =
      std::mismatch(real_root.begin(), real_root.end(), real.begin(), real.end());
  return root_end == real_root.end();
}

DWORD MapDevicePath(std::span<const Volume> volumes, std::u16string_view path, HostLocation* out) {
  if (path.size() >= MAX_PATH) return ERROR_FILENAME_EXCED_RANGE;
  std::vector<std::u16string_view> parts;
  if (const DWORD error = SplitComponents(path, &parts); error != ERROR_SUCCESS) return error;
  if (std::any_of(parts.begin(), parts.end(), IsReservedName)) return ERROR_ACCESS_DENIED;

  HostLocation where;
  std::size_t first = 0;
  if (!parts.empty()) {
    where.volume = FindVolume(volumes, parts.front());
    if (where.volume != 0) first = 1;
  }
  const std::filesystem::path& root = volumes[where.volume].host;
  where.host = root;
  for (std::u16string_view part : parts) {
    where.device += u'\\';
    where.device += part;
  }
  if (where.device.empty()) where.device = u"\\";
  if (first == parts.size()) {
    // The root or a card's root folder.
    struct stat st;
    where.exists = stat(root.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (!where.exists) return ERROR_PATH_NOT_FOUND;
    *out = std::move(where);
    return ERROR_SUCCESS;
  }

  where.leaf = parts.back();
  for (std::size_t i = first; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    std::optional<std::string> host_name = FindEntry(where.host, parts[i]);
    if (!host_name) {
      if (!last) return ERROR_PATH_NOT_FOUND;
      where.host /= Utf16ToUtf8(parts[i]);
      where.exists = false;
      break;
    }
    where.host /= *host_name;
    struct stat st;
    if (lstat(where.host.c_str(), &st) != 0) return ERROR_PATH_NOT_FOUND;
    if (S_ISLNK(st.st_mode) && !IsInsideVolume(where.host, root)) return ERROR_ACCESS_DENIED;
    if (!last && (stat(where.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
      return ERROR_PATH_NOT_FOUND;
    }
    where.exists = true;
  }
  *out = std::move(where);
  return ERROR_SUCCESS;
}

}  // namespace wce
