#include "sim/card_volume.h"

#include <sys/statfs.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

namespace kepla {
namespace {

namespace fs = std::filesystem;

// mountinfo writes space, tab, newline and backslash in paths as "\" and three octal digits.
std::string Unescape(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() &&
        std::all_of(field.begin() + i + 1, field.begin() + i + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (end > at) fields.push_back(line.substr(at, end - at));
    at = end + 1;
  }
  return fields;
}

// The number of components of `root` when it is `path` or a folder above it, else 0.
std::size_t PrefixLength(const fs::path& root, const fs::path& path) {
  auto [root_end, unused] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  if (root_end != root.end()) return 0;
  return static_cast<std::size_t>(std::distance(root.begin(), root.end())) + 1;
}

std::string NameOfMagic(unsigned long magic) {
  switch (magic) {
    case 0x4d44:
      return "vfat";
    case 0x2011BAB0:
      return "exfat";
    case 0xEF53:
      return "ext4";
    case 0x65735546:
      return "fuse";
    case 0x01021994:
      return "tmpfs";
    case 0x9123683E:
      return "btrfs";
    case 0x58465342:
      return "xfs";
    case 0x794c7630:
      return "overlay";
    case 0x6969:
      return "nfs";
    case 0x5346544e:
      return "ntfs";
    default:
      break;
  }
  char text[32];
  std::snprintf(text, sizeof text, "0x%lx", magic);
  return text;
}

}  // namespace

std::optional<CardVolume> VolumeFromMountInfo(std::string_view mountinfo,
                                              const fs::path& real_path) {
  std::optional<CardVolume> best;
  std::size_t best_length = 0;
  std::size_t at = 0;
  while (at < mountinfo.size()) {
    const std::size_t end = std::min(mountinfo.find('\n', at), mountinfo.size());
    const std::vector<std::string_view> fields = Fields(mountinfo.substr(at, end - at));
    at = end + 1;
    // id parent major:minor root mount-point options [optional...] - type source super-options
    const auto dash = std::find(fields.begin(), fields.end(), std::string_view("-"));
    if (fields.size() < 5 || dash == fields.end() || dash + 1 == fields.end() ||
        dash - fields.begin() < 6) {
      continue;
    }
    const fs::path mount_point = Unescape(fields[4]);
    const std::size_t length = PrefixLength(mount_point, real_path);
    // Later lines are mounted over earlier ones at the same place.
    if (length == 0 || length < best_length) continue;
    best_length = length;
    best = CardVolume{Unescape(*(dash + 1)), mount_point, mount_point == real_path};
  }
  return best;
}

std::optional<CardVolume> DescribeCardVolume(const fs::path& folder) {
  std::error_code ec;
  const fs::path real = fs::canonical(folder, ec);
  if (ec) return std::nullopt;
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  if (std::optional<CardVolume> volume = VolumeFromMountInfo(text.str(), real)) return volume;
  struct statfs fs_info;
  if (statfs(real.c_str(), &fs_info) != 0) return std::nullopt;
  return CardVolume{NameOfMagic(static_cast<unsigned long>(fs_info.f_type)), {}, false};
}

bool IsFatFamily(std::string_view file_system) {
  std::string name(file_system);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name == "vfat" || name == "msdos" || name == "exfat" || name == "fat") return true;
  for (std::string_view fuse : {"fuse.", "fuseblk."}) {
    if (name.rfind(fuse, 0) == 0) return name.find("fat", fuse.size()) != std::string::npos;
  }
  return false;
}

}  // namespace kepla
