// The device profile: what device.json in a device folder says, with its defaults.
//
// device.json is one object; every key is optional and unknown keys are refused:
//   "identity": {"model": "QMR407", "romVersion": "...", "extRomVersion": "...", "answers": true}
//   "battery": {"percent": 0..100 or 255, "fails": false}
//   "memory": {"load": 0..100, "fails": false}
//   "display": {"width": 1..4096, "height": 1..4096, "rotation": 0|90|180|270}
//   "program": "\\Storage Card\\Upgrade\\KEPLA.exe"   (absolute device path, under 260 chars,
//              no "." or ".." component; the same for a fault's "file")
//   "cards": {"Storage Card": "fs/Storage Card"}     (card name -> host folder, relative to the
//            or {"Storage Card": {"path": "...", "freeBytes": N}}   device folder or absolute)
//   "clock": "real" | "xN" | "virtual"
//   "faults": [{"kind": "readError" | "writeError" | "shortRead", "file": "\\...", "offset": N},
//              {"kind": "readStall", "file": "\\...", "offset": N, "ms": N},
//              {"kind": "openStall", "file": "\\...", "ms": N, "skip": N},
//              {"kind": "diskFull" | "cardRemoved", "card": "Storage Card", "bytes": N},
//              {"kind": "threadCreateFails", "count": N},
//              {"kind": "callFails", "call": "WriteFile", "nth": N, "error": CODE},
//              {"kind": "powerOff", "call": "WriteFile", "nth": N}]
// A fault takes only the keys of its kind. A callFails fault names a function of the call log's
// catalogue that can fail (model/call_log.h), a powerOff fault any function of it; "error" is
// optional (the function's own default).
#ifndef WINCE_MODEL_PROFILE_H_
#define WINCE_MODEL_PROFILE_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/clock.h"

namespace wce {

// A storage card: the folder "\<name>" of the device, mapped onto a host folder.
struct CardSpec {
  std::u16string name = u"Storage Card";
  std::filesystem::path host;               // absolute, resolved against the device folder
  std::optional<std::uint64_t> free_bytes;  // overrides the free space the host reports
};

// One failure to inject. Device paths name files ("\Storage Card\fw.bin", case-insensitive).
struct FaultSpec {
  enum class Kind {
    kReadError,     // a read that reaches `offset` of `file` fails (ERROR_READ_FAULT)
    kWriteError,    // a write that reaches `offset` of `file` fails (ERROR_WRITE_FAULT)
    kReadStall,     // a read that reaches `offset` of `file` first waits `ms` device ms
    kShortRead,     // a read that reaches `offset` of `file` delivers only the bytes before it
    kDiskFull,      // `card` accepts `bytes` more bytes of writes, then ERROR_DISK_FULL
    kThreadCreate,  // the next `count` CreateThread calls fail
    kOpenStall,     // the open of `file` that follows `skip` earlier ones first waits `ms`
    kCardRemoved,   // `card` goes from the device once `bytes` more bytes were written to it
    kCallFails,     // the `nth` program call of `call` fails with `error` and does nothing else
    kPowerOff,      // the device loses power just before the `nth` program call of `call`
  };
  Kind kind = Kind::kReadError;
  std::u16string file;
  std::uint64_t offset = 0;
  std::uint32_t ms = 0;
  std::uint64_t bytes = 0;
  std::u16string card = u"Storage Card";
  int count = 1;
  int skip = 0;           // opens of `file` that an open stall lets through before the one it holds
  std::string call = {};  // callFails, powerOff: the function's name
  int nth = 1;            // callFails, powerOff: which of its calls, from 1
  std::optional<std::uint32_t> error =
      {};  // callFails: the last error (else the function's default)
};

struct DeviceProfile {
  // OEM identity answer (cut to the rooms of the answer buffer).
  std::u16string model = u"QMR407";
  std::u16string rom_version = u"1.13.407.2";
  std::u16string ext_rom_version = u"1.13.407 ENG WWE";
  bool identity_answers = true;

  int battery_percent = 100;  // 0..100, or 255 for no reading
  bool battery_fails = false;
  int memory_load = 30;       // per cent
  bool memory_fails = false;  // GlobalMemoryStatus fills nothing (it cannot report a failure)

  int display_width = 240;  // native portrait size
  int display_height = 320;
  int display_rotation = 0;  // 0, 90, 180 or 270

  std::u16string program = u"\\Storage Card\\Upgrade\\KEPLA.exe";
  std::vector<CardSpec>
      cards;  // empty in the file means one card, "Storage Card" -> fs/Storage Card
  ClockSpec clock;
  std::vector<FaultSpec> faults;
};

// Reads `folder`/device.json (a missing file gives the defaults; a link to nothing, a file that
// is not regular, such as a FIFO or a device, and one over 1 MiB are refused unread). The result
// always lists at least one card, with its host folder made absolute. On error returns nullopt and
// sets *error to one line naming the file and the key ("DIR/device.json: battery.percent: must be
// 0..100 or 255").
std::optional<DeviceProfile> LoadProfile(const std::filesystem::path& folder, std::string* error);
// Parses the text of a device.json whose device folder is `folder` (relative card folders are
// resolved against it). Pure apart from making `folder` absolute. On error returns nullopt and
// sets *error to one line naming the key ("battery.percent: must be 0..100 or 255").
std::optional<DeviceProfile> ParseProfile(std::string_view text,
                                          const std::filesystem::path& folder, std::string* error);
// Writes the profile as device.json (every key, pretty-printed; card folders inside `folder` are
// written relative to it). Replaces the file atomically. Returns false and sets *error on failure.
bool SaveProfile(const std::filesystem::path& folder, const DeviceProfile& profile,
                 std::string* error);
// The text SaveProfile writes for `profile` in `folder`, for showing: a host path that is not
// UTF-8 appears with U+FFFD in its place (SaveProfile refuses such a profile).
std::string FormatProfile(const std::filesystem::path& folder, const DeviceProfile& profile);

// Whether `host` lies inside the device folder `folder` (compared as absolute, normalized paths;
// links are not followed). Such a card folder is the device's own storage: the device makes it
// when it is missing. A card folder elsewhere (a real card's mount point) is used only as found.
bool IsInsideDeviceFolder(const std::filesystem::path& folder, const std::filesystem::path& host);
// What keeps `card` of the device in `folder` from serving: "no such folder (card not
// mounted?)" for a missing card folder outside the device folder, "not a folder" for anything
// but a folder, "cannot be reached: REASON" when the host cannot tell; empty when it serves.
// Reads the host file system.
std::string CardFolderProblem(const std::filesystem::path& folder, const CardSpec& card);
// Checks every card of `profile` with CardFolderProblem. On the first problem returns false and
// sets *error to one line naming the file, the card and its host folder
// ("DIR/device.json: cards.Storage Card: /media/me/SDCARD: no such folder (card not mounted?)").
bool CheckCardFolders(const std::filesystem::path& folder, const DeviceProfile& profile,
                      std::string* error);

}  // namespace wce

#endif  // WINCE_MODEL_PROFILE_H_
