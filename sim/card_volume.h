// What host file system a card's folder lies on, as the host reports it: a phone's bootloader
// reads only FAT volumes, so a card on anything else never reaches the phone.
#ifndef KEPLA_SIM_CARD_VOLUME_H_
#define KEPLA_SIM_CARD_VOLUME_H_

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kepla {

struct CardVolume {
  std::string file_system;            // "vfat", "exfat", "fuse.fusefat", "ext4", ...
  std::filesystem::path mount_point;  // of the mount that holds the folder; empty when unknown
  bool is_mount_point = false;        // the folder itself is that mount point
};

// The mount of /proc/self/mountinfo text `mountinfo` whose mount point is the longest prefix (by
// components) of `real_path` (absolute, links resolved). nullopt when no line parses. Pure.
std::optional<CardVolume> VolumeFromMountInfo(std::string_view mountinfo,
                                              const std::filesystem::path& real_path);

// The volume of the existing folder `folder`: from /proc/self/mountinfo, else from statfs (the
// file system's magic number, named when known; no mount point then). nullopt when the folder
// cannot be resolved. Reads only.
std::optional<CardVolume> DescribeCardVolume(const std::filesystem::path& folder);

// Whether `file_system` (as in CardVolume) is one a phone reads: vfat, msdos, exfat, or a FUSE
// file system whose subtype names FAT ("fuse.fusefat", "fuseblk.exfat", ...). A FUSE mount that
// gives no subtype is not taken for one.
bool IsFatFamily(std::string_view file_system);

}  // namespace kepla

#endif  // KEPLA_SIM_CARD_VOLUME_H_
