#include "sim/device_report.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <vector>

#include <wince/profile.h>
#include <wince/utf.h>
#include <wince/card_attributes.h>
#include <wince/running_programs.h>
#include <wince/device_path.h>
#include "sim/card_files.h"
#include "sim/card_volume.h"
#include "sim/device_folder.h"
#include "tools/package_file.h"
#include "tools/terminal_text.h"

namespace kepla {
namespace {

using nlohmann::ordered_json;
namespace fs = std::filesystem;

constexpr std::size_t kMostFilesListed = 500;
// The longest device path the program opens: its buffers hold MAX_PATH (260) characters with
// the terminator.
constexpr std::size_t kLongestDevicePath = 259;

std::string U8(std::u16string_view text) { return wce::Utf16ToUtf8(text); }

// The layer's own bookkeeping files, which the device never lists. A name that is not UTF-8 is
// none of them.
bool IsReservedHostName(const fs::path& path) {
  std::u16string name;
  return wce::Utf8ToUtf16(path.filename().native(), &name) && wce::IsReservedName(name);
}

// Whether the device sees `entry`, found in the volume whose host folder is `root`: a link must
// lead to something inside that volume, as the layer's path mapping and searches demand (a link
// out of it, or to nothing, is neither listed nor opened).
bool DeviceSees(const fs::directory_entry& entry, const fs::path& root) {
  std::error_code ec;
  return !entry.is_symlink(ec) || wce::IsInsideVolume(entry.path(), root);
}

// Files under a card's host folder, as device paths, folders first within each folder (at most
// kMostFilesListed: *more is set when there are others). A folder below that cannot be read is
// passed over. Sets *error when the card's folder cannot be read, or the listing stopped early.
ordered_json ListCard(const wce::CardSpec& card, const wce::CardAttributes& attributes, bool* more,
                      std::string* error) {
  ordered_json files = ordered_json::array();
  std::error_code ec;
  std::vector<fs::path> entries;
  fs::directory_iterator(card.host, ec);
  if (ec) *error = "cannot be read: " + ec.message();
  auto it = fs::recursive_directory_iterator(card.host,
                                             fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (IsReservedHostName(it->path()) || !DeviceSees(*it, card.host)) continue;
    if (entries.size() == kMostFilesListed) {
      *more = true;
      break;
    }
    entries.push_back(it->path());
  }
  if (ec && error->empty()) *error = "listed only in part: " + ec.message();
  std::sort(entries.begin(), entries.end());
  for (const fs::path& host : entries) {
    std::string device = "\\";
    device += U8(card.name);
    for (const fs::path& part : host.lexically_relative(card.host)) {
      device += '\\';
      device += part.string();
    }
    ordered_json file;
    file["path"] = device;
    const bool folder = fs::is_directory(host, ec);
    file["folder"] = folder;
    file["bytes"] = fs::is_regular_file(host, ec) ? fs::file_size(host, ec) : 0;
    file["hidden"] = (attributes.Get(host) & FILE_ATTRIBUTE_HIDDEN) != 0;
    files.push_back(std::move(file));
  }
  return files;
}

// What the existing card folder `host` is on, and where it keeps file attributes.
void AddVolumeReport(const fs::path& host, ordered_json* report) {
  const std::optional<CardVolume> volume = DescribeCardVolume(host);
  (*report)["fileSystem"] = volume ? volume->file_system : "";
  (*report)["mountPoint"] = volume && volume->is_mount_point;
  switch (wce::AttributeFormOf(host)) {
    case wce::AttributeForm::kFat:
      (*report)["attributesKept"] = "fat";
      break;
    case wce::AttributeForm::kExtendedAttribute:
      (*report)["attributesKept"] = "extendedAttribute";
      break;
    case wce::AttributeForm::kRecord:
      (*report)["attributesKept"] = "deviceFolder";
      break;
  }
}

ordered_json CardReport(const fs::path& dir, const wce::CardSpec& card,
                        const wce::CardAttributes& attributes) {
  ordered_json report;
  report["name"] = U8(card.name);
  report["host"] = card.host.string();
  std::error_code ec;
  const bool exists = fs::is_directory(card.host, ec);
  report["exists"] = exists;
  // Why kepla would refuse the card (a folder inside the device folder is made when missing).
  if (std::string problem = wce::CardFolderProblem(dir, card); !problem.empty()) {
    report["problem"] = problem;
  }
  if (card.free_bytes) {
    report["freeBytes"] = *card.free_bytes;
    report["freeFrom"] = "profile";
  } else if (exists) {
    const fs::space_info space = fs::space(card.host, ec);
    report["freeBytes"] = ec ? 0 : static_cast<std::uint64_t>(space.available);
    report["freeFrom"] = "host";
  }
  if (exists) AddVolumeReport(card.host, &report);
  std::string unreadable;
  bool more = false;
  report["files"] = exists ? ListCard(card, attributes, &more, &unreadable) : ordered_json::array();
  if (more) report["moreFiles"] = true;
  if (!unreadable.empty()) report["problem"] = unreadable;
  return report;
}

// The program's own folder as a device path ("\Storage Card\Upgrade\"), and where the device
// finds it: mapped as the layer maps it (cards by name, case-blind; no link out of the volume).
// Returns false when the device cannot reach it.
bool ProgramFolderHost(const fs::path& dir, const wce::DeviceProfile& profile,
                       std::u16string* device_folder, wce::HostLocation* where,
                       fs::path* volume_root) {
  const std::u16string& program = profile.program;
  *device_folder = program.substr(0, program.rfind(u'\\') + 1);
  std::vector<wce::Volume> volumes;
  std::error_code ec;
  const fs::path root = fs::absolute(dir / "fs", ec);
  volumes.push_back(wce::Volume{u"", (ec ? dir / "fs" : root).lexically_normal()});
  for (const wce::CardSpec& card : profile.cards) volumes.push_back({card.name, card.host});
  if (wce::MapDevicePath(volumes, *device_folder, where) != ERROR_SUCCESS || !where->exists) {
    return false;
  }
  *volume_root = volumes[where->volume].host;
  return true;
}

// Whether the program's package search would take the entry named `name`: the device lists it
// (a UTF-8 name that is none of the layer's own files) and it holds ".bin" (case-sensitive).
bool IsPackageName(const fs::path& name) {
  std::u16string device_name;
  return wce::Utf8ToUtf16(name.native(), &device_name) && !wce::IsReservedName(device_name) &&
         name.native().find(".bin") != std::string::npos;
}

// The entries the program would take for packages, in `folder` of the volume at `root`, in the
// host's directory order: the order in which the device lists them, so the first is the one the
// program takes. Sets *error when the folder cannot be read (the program then finds nothing).
std::vector<fs::path> PackageCandidates(const fs::path& folder, const fs::path& root,
                                        std::string* error) {
  std::error_code ec;
  std::vector<fs::path> candidates;
  auto it = fs::directory_iterator(folder, ec);
  if (ec && error) *error = "cannot be read: " + ec.message();
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (IsPackageName(it->path().filename()) && DeviceSees(*it, root)) {
      candidates.push_back(it->path());
    }
  }
  return candidates;
}

// Why the program cannot take the entry at `path` as its package, without opening anything but
// a regular file; empty when its trailer can be read. `device_chars` is the length of its device
// path in UTF-16 characters. Sets *bytes to its size when it is a regular file.
std::string UnusablePackage(const fs::path& path, std::size_t device_chars, std::uint64_t* bytes) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (fs::is_regular_file(status)) {
    *bytes = static_cast<std::uint64_t>(fs::file_size(path, ec));
  }
  if (device_chars > kLongestDevicePath) {
    return "its device path has " + std::to_string(device_chars) +
           " characters; the program opens paths of at most " + std::to_string(kLongestDevicePath);
  }
  // The device lists such a name but refuses to open it, as it refuses it in any path.
  std::u16string name;
  wce::Utf8ToUtf16(path.filename().native(), &name);
  const wce::Volume alone[] = {wce::Volume{u"", path.parent_path()}};
  wce::HostLocation where;
  if (wce::MapDevicePath(alone, u"\\" + name, &where) == ERROR_INVALID_NAME) {
    return "the device opens no name holding a control character or any of / : * ? \" < > |";
  }
  if (fs::is_directory(status)) return "a folder: the program cannot read it as a package";
  if (!fs::is_regular_file(status)) return "not a regular file: the program cannot read it";
  if (*bytes <= pkg::kTrailerSize) {
    return ByteCount(*bytes) + ": the program reads the header only from a package of more than " +
           std::to_string(pkg::kTrailerSize) + " bytes";
  }
  return "";
}

ordered_json PackageReports(const std::u16string& device_folder, const fs::path& folder,
                            const fs::path& root) {
  ordered_json packages = ordered_json::array();
  std::vector<fs::path> candidates = PackageCandidates(folder, root, nullptr);
  const fs::path taken = candidates.empty() ? fs::path() : candidates.front();
  std::sort(candidates.begin(), candidates.end());
  for (const fs::path& path : candidates) {
    ordered_json package;
    package["name"] = path.filename().string();
    std::u16string name;
    wce::Utf8ToUtf16(path.filename().native(), &name);
    std::uint64_t bytes = 0;
    std::string error = UnusablePackage(path, device_folder.size() + name.size(), &bytes);
    pkg::PackageInfo info;
    if (error.empty() && !pkg::ReadPackageInfo(path, &info, &error) && error.empty()) {
      error = "cannot be read";
    }
    if (!error.empty()) {
      package["bytes"] = bytes;
      package["error"] = error;
    } else {
      package["bytes"] = info.package_bytes;
      package["imageBytes"] = info.image_bytes;
      package["preparable"] = info.preparable;
      package["language"] = U8(info.fields.language);
      package["code"] = U8(info.fields.code);
      package["model"] = U8(info.fields.model);
      package["romVersion"] = U8(info.fields.romVersion);
      package["extRomVersion"] = U8(info.fields.extRomVersion);
    }
    package["taken"] = path == taken;
    packages.push_back(std::move(package));
  }
  return packages;
}

ordered_json ProgramReports(const fs::path& dir) {
  ordered_json programs = ordered_json::array();
  for (const wce::RunningProgram& p : wce::ListRunningPrograms(dir)) {
    ordered_json program;
    program["pid"] = p.pid;
    program["program"] = U8(p.program);
    ordered_json windows = ordered_json::array();
    for (const wce::RunningWindow& w : p.windows) {
      windows.push_back({{"class", U8(w.window_class)}, {"title", U8(w.title)}});
    }
    program["windows"] = std::move(windows);
    ordered_json events = ordered_json::array();
    for (const std::u16string& e : p.events) events.push_back(U8(e));
    program["events"] = std::move(events);
    programs.push_back(std::move(program));
  }
  return programs;
}

std::string Bytes(std::uint64_t n) { return ByteCount(n); }

}  // namespace

std::string Printable(std::string_view text) { return pkg::ForTerminal(text); }

namespace {

std::string Str(const ordered_json& v) {
  return v.is_string() ? Printable(v.get<std::string>()) : v.dump();
}

// "  on fuse.fusefat (its own mount point); attributes kept in the device folder"
std::string VolumeLine(const ordered_json& card) {
  const std::string file_system = Str(card["fileSystem"]);
  std::string text =
      "  on " + (file_system.empty() ? std::string("an unknown file system") : file_system);
  if (card["mountPoint"].get<bool>()) text += " (its own mount point)";
  if (!IsFatFamily(file_system)) text += ", not a FAT volume";
  const std::string kept = Str(card["attributesKept"]);
  text += kept == "fat"                 ? "; attributes kept in the FAT entries"
          : kept == "extendedAttribute" ? "; attributes kept in extended attributes"
                                        : "; attributes kept in the device folder (attributes/)";
  return text;
}

}  // namespace

std::optional<ordered_json> GatherDeviceReport(const fs::path& dir, std::string* error) {
  if (!CheckDeviceFolder(dir, error)) return std::nullopt;
  std::error_code ec;
  std::optional<wce::DeviceProfile> profile = wce::LoadProfile(dir, error);
  if (!profile) return std::nullopt;

  ordered_json report;
  report["folder"] = fs::absolute(dir, ec).lexically_normal().string();
  report["profile"] = ordered_json::parse(wce::FormatProfile(dir, *profile));
  std::vector<wce::Volume> volumes{wce::Volume{}};
  for (const wce::CardSpec& card : profile->cards) volumes.push_back({card.name, card.host});
  const wce::CardAttributes attributes(dir, volumes);
  ordered_json cards = ordered_json::array();
  for (const wce::CardSpec& card : profile->cards) {
    cards.push_back(CardReport(dir, card, attributes));
  }
  report["cards"] = std::move(cards);
  std::u16string program_folder;
  wce::HostLocation where;
  fs::path volume_root;
  const bool reachable = ProgramFolderHost(dir, *profile, &program_folder, &where, &volume_root);
  report["programFolder"] = U8(program_folder);
  std::string unreadable;
  if (reachable) {
    PackageCandidates(where.host, volume_root, &unreadable);
  } else {
    unreadable = "cannot be reached on the device";  // the wizard finds no package either
  }
  if (!unreadable.empty()) report["programFolderProblem"] = unreadable;
  report["packages"] =
      reachable ? PackageReports(program_folder, where.host, volume_root) : ordered_json::array();
  report["programs"] = ProgramReports(dir);
  return report;
}

namespace {

// What the program's folder holds, as the package search sees it; nullopt when the profile cannot
// be read or the folder cannot be reached.
struct ProgramFolderListing {
  std::u16string folder;
  std::size_t candidates = 0;
  std::string unreadable;  // why it cannot be listed, or empty
};

std::optional<ProgramFolderListing> ListProgramFolder(const fs::path& dir) {
  std::optional<wce::DeviceProfile> profile = wce::LoadProfile(dir, nullptr);
  if (!profile) return std::nullopt;
  ProgramFolderListing listing;
  wce::HostLocation where;
  fs::path volume_root;
  if (!ProgramFolderHost(dir, *profile, &listing.folder, &where, &volume_root)) {
    return std::nullopt;
  }
  listing.candidates = PackageCandidates(where.host, volume_root, &listing.unreadable).size();
  return listing;
}

}  // namespace

std::optional<std::string> ProgramFolderWithoutPackage(const fs::path& dir) {
  std::optional<ProgramFolderListing> listing = ListProgramFolder(dir);
  if (!listing || listing->candidates != 0 || !listing->unreadable.empty()) return std::nullopt;
  return U8(listing->folder);
}

std::optional<std::string> ProgramFolderUnreadable(const fs::path& dir) {
  std::optional<ProgramFolderListing> listing = ListProgramFolder(dir);
  if (!listing || listing->unreadable.empty()) return std::nullopt;
  return Printable(U8(listing->folder)) + " " + listing->unreadable;
}

std::string FormatDeviceReport(const ordered_json& r) {
  std::string out;
  auto line = [&out](const std::string& text) { out += text + "\n"; };
  const ordered_json& p = r["profile"];
  line("Device folder " + Str(r["folder"]));
  line("  identity: model " + Str(p["identity"]["model"]) + ", ROM " +
       Str(p["identity"]["romVersion"]) + ", extended ROM \"" +
       Str(p["identity"]["extRomVersion"]) + "\"" +
       (p["identity"]["answers"].get<bool>() ? "" : " (the identity query fails)"));
  const int percent = p["battery"]["percent"].get<int>();
  line("  battery " +
       (percent == 255 ? std::string("unknown (255)") : std::to_string(percent) + " %") +
       (p["battery"]["fails"].get<bool>() ? " (status query fails)" : "") + ", memory load " +
       Str(p["memory"]["load"]) + " %" +
       (p["memory"]["fails"].get<bool>() ? " (status query fails)" : ""));
  line("  display " + Str(p["display"]["width"]) + "x" + Str(p["display"]["height"]) +
       ", rotation " + Str(p["display"]["rotation"]) + ", clock " + Str(p["clock"]));
  line("  program " + Str(p["program"]));
  if (p["faults"].empty()) {
    line("  faults: none");
  } else {
    for (const auto& fault : p["faults"]) line("  fault " + fault.dump());
  }
  for (const auto& card : r["cards"]) {
    std::string head = "Card \"" + Str(card["name"]) + "\" at " + Str(card["host"]);
    if (!card["exists"].get<bool>()) {
      line(head + (card.contains("problem") ? ": " + Str(card["problem"]) : " (missing)"));
      continue;
    }
    head += ", " + Bytes(card["freeBytes"].get<std::uint64_t>()) + " free";
    if (card["freeFrom"] == "profile") head += " (as device.json says)";
    line(head);
    if (card.contains("fileSystem")) line(VolumeLine(card));
    if (card.contains("problem")) {
      line("  (" + Str(card["problem"]) + ")");
    } else if (card["files"].empty()) {
      line("  (empty)");
    }
    for (const auto& file : card["files"]) {
      std::string entry = "  " + Str(file["path"]);
      if (file["folder"].get<bool>()) {
        entry += "\\";
      } else {
        entry += "  " + Bytes(file["bytes"].get<std::uint64_t>());
      }
      if (file["hidden"].get<bool>()) entry += "  hidden";
      line(entry);
    }
    if (card.contains("moreFiles")) {
      line("  (only " + std::to_string(card["files"].size()) + " are listed; the card holds more)");
    }
  }
  if (r.contains("programFolderProblem")) {
    line("The program's folder " + Str(r["programFolder"]) + " " + Str(r["programFolderProblem"]));
  } else if (r["packages"].empty()) {
    line("No package in the program's folder " + Str(r["programFolder"]));
  } else {
    line("Packages in the program's folder " + Str(r["programFolder"]) + ":");
    const bool several = r["packages"].size() > 1;
    for (const auto& pk : r["packages"]) {
      // Several names hold ".bin": the wizard takes the first the device lists, and only it.
      const std::string taken =
          several && pk.value("taken", false) ? " (the wizard takes this one: listed first)" : "";
      if (pk.contains("error")) {
        line("  " + Str(pk["name"]) + ": " + Str(pk["error"]) + taken);
        continue;
      }
      line("  " + Str(pk["name"]) + ", " + Bytes(pk["bytes"].get<std::uint64_t>()) +
           (pk["preparable"].get<bool>() ? "" : " (too small or too large to prepare)") + taken);
      line("    model \"" + Str(pk["model"]) + "\", language \"" + Str(pk["language"]) +
           "\", code \"" + Str(pk["code"]) + "\"");
      line("    ROM \"" + Str(pk["romVersion"]) + "\", extended ROM \"" + Str(pk["extRomVersion"]) +
           "\"");
    }
  }
  if (r["programs"].empty()) {
    line("No program running");
  } else {
    for (const auto& program : r["programs"]) {
      line("Running: " + Str(program["program"]) + " (process " + Str(program["pid"]) + ")");
      for (const auto& w : program["windows"]) {
        line("  window \"" + Str(w["title"]) + "\" of class " + Str(w["class"]));
      }
      for (const auto& e : program["events"]) line("  event " + Str(e));
    }
  }
  return out;
}

}  // namespace kepla
