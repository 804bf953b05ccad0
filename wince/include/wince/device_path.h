// Device paths ("\Storage Card\Upgrade\fw.bin") and where they lead on the host.
//
// The device's root "\" is the device folder's fs/; a card "\<card name>" is its own host folder,
// which may lie anywhere (a real SD card's mount point, for one). A device path never leads out of
// the volume it names:
//   - it must be absolute (start with '\') and shorter than MAX_PATH characters;
//   - ".." components, host-only forms ('/', "C:"), wildcards and control characters are refused;
//   - a host symbolic link on the way must lead to a place inside the same volume.
// Names match case-blind, as on the device: when a component does not exist with the spelling
// given, the host directory is listed and an entry that differs only in case is taken (the first
// in byte order if there are several). Links are checked at the time of the lookup only.
#ifndef WINCE_DEVICE_PATH_H_
#define WINCE_DEVICE_PATH_H_

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include <windows.h>

namespace wce {

// A part of the device's name space backed by one host folder.
struct Volume {
  std::u16string name;         // the card's folder name; empty for the root "\" (fs/)
  std::filesystem::path host;  // absolute host folder
};

// Where a device path leads.
struct HostLocation {
  std::size_t volume = 0;      // index into the volumes given to MapDevicePath
  std::filesystem::path host;  // existing components carry their host spelling
  std::u16string device;       // "\" + the components as given, joined by '\'
  std::u16string leaf;         // the last component as given; empty for a volume's root
  bool exists = false;         // the host has an entry at `host` (the parent folder always exists)
};

// Host names reserved for the layer's own bookkeeping: the attribute sidecar and the temporary
// file it is rewritten through. No device path may name them (in any case) and no search lists
// them.
inline constexpr char kSidecarHostName[] = ".kepla-attributes";
inline constexpr char kSidecarTempHostName[] = ".kepla-attributes.new";
bool IsReservedName(std::u16string_view name);

// Maps `path` onto the host. volumes[0] is the root "\"; the others are cards, matched by name
// (case-blind) on the first component. Returns ERROR_SUCCESS and fills *out, or:
//   ERROR_FILENAME_EXCED_RANGE  MAX_PATH characters or more;
//   ERROR_PATH_NOT_FOUND        empty, relative, or a folder on the way is missing or no folder;
//   ERROR_INVALID_NAME          "..", '/', ':', wildcards, control characters, lone surrogates;
//   ERROR_ACCESS_DENIED         a link leads out of the volume (or nowhere), or a reserved name.
// Reads the host file system (lstat, directory listings); changes nothing. Thread-safe.
DWORD MapDevicePath(std::span<const Volume> volumes, std::u16string_view path, HostLocation* out);

// True when `host`, with every link followed, lies inside `root` (or is it). False when it cannot
// be resolved (a dangling link, a missing folder).
bool IsInsideVolume(const std::filesystem::path& host, const std::filesystem::path& root);

}  // namespace wce

#endif  // WINCE_DEVICE_PATH_H_
