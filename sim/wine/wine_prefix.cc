#include "sim/wine/wine_prefix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <wince/utf.h>
#include "sim/wine/host_process.h"
#include "sim/wine/wine_host.h"

namespace kepla::wine {
namespace fs = std::filesystem;
namespace {

// In BASE: the stamp of the finished prefix. Its name changes when what a base holds changes, so
// that a base made before is made anew.
constexpr char kReadyMark[] = "kepla-ready-2";
constexpr char kBaseMark[] = "kepla-base";  // in a device prefix: the stamp it was made from
const char* const kRegistryFiles[] = {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"};

std::string ReadSmallFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool WriteSmallFile(const fs::path& file, const std::string& text) {
  const fs::path temp = file.string() + ".new";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  std::error_code ec;
  fs::rename(temp, file, ec);
  return !ec;
}

// An exclusive lock on `file` for the life of the object (other holders wait).
class FileLock {
 public:
  explicit FileLock(const fs::path& file) {
    fd_ = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ >= 0) {
      while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) close(fd_);
  }
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Points `link` at `target`, unless it already does.
bool EnsureLink(const fs::path& link, const fs::path& target, std::string* error) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(link, ec))) {
    if (fs::read_symlink(link, ec) == target) return true;
    fs::remove(link, ec);
  } else if (fs::exists(fs::symlink_status(link, ec))) {
    *error = link.string() + ": is in the way (expected a link to " + target.string() + ")";
    return false;
  }
  fs::create_symlink(target, link, ec);
  if (ec && !fs::is_symlink(fs::symlink_status(link))) {
    *error = link.string() + ": " + ec.message();
    return false;
  }
  return true;
}

bool MakeDevicePrefix(const fs::path& prefix, const fs::path& base, const std::string& stamp,
                      std::string* error) {
  std::error_code ec;
  fs::remove_all(prefix, ec);
  fs::create_directories(prefix / "dosdevices", ec);
  if (ec) {
    *error = prefix.string() + ": " + ec.message();
    return false;
  }
  for (const char* name : kRegistryFiles) {
    fs::copy_file(base / name, prefix / name, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      *error = (base / name).string() + ": " + ec.message();
      return false;
    }
  }
  fs::create_symlink(base / "drive_c", prefix / "drive_c", ec);
  if (ec || !WriteSmallFile(prefix / kBaseMark, stamp)) {
    *error = prefix.string() + ": cannot set up the prefix";
    return false;
  }
  return true;
}

// Drive D: is the device's root folder: the entries of fs/, and each card at its name.
bool LinkRootFolder(const fs::path& root, const fs::path& fs_folder,
                    const wce::DeviceProfile& profile, std::string* error) {
  std::error_code ec;
  fs::create_directories(root, ec);
  std::map<fs::path, fs::path> wanted;
  std::set<std::string> cards;
  for (const wce::CardSpec& card : profile.cards) {
    const std::string name = wce::Utf16ToUtf8(card.name);
    wanted[root / name] = card.host;
    cards.insert(name);
  }
  for (const fs::directory_entry& e : fs::directory_iterator(fs_folder, ec)) {
    const std::string name = e.path().filename().string();
    if (cards.count(name) == 0) wanted[root / name] = fs::absolute(e.path());
  }
  for (const fs::directory_entry& e : fs::directory_iterator(root, ec)) {
    if (e.is_symlink() && wanted.count(e.path()) == 0) fs::remove(e.path(), ec);
  }
  for (const auto& [link, target] : wanted) {
    if (!EnsureLink(link, target, error)) return false;
  }
  return true;
}

bool SameBytes(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  if (!fs::exists(b, ec) || fs::file_size(a, ec) != fs::file_size(b, ec)) return false;
  return ReadSmallFile(a) == ReadSmallFile(b);
}

}  // namespace

fs::path DefaultBasePrefix() {
  if (const char* base = std::getenv("KEPLA_WINE_BASE"); base != nullptr && *base != 0) {
    return fs::path(base);
  }
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && *cache != 0) {
    return fs::path(cache) / "kepla" / "wine-base";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) {
    return fs::path(home) / ".cache" / "kepla" / "wine-base";
  }
  return fs::path();
}

bool EnsureBasePrefix(const fs::path& base, std::ostream& note, std::string* error) {
  std::error_code ec;
  // A base made while Wine's 32-bit half was missing cannot run 32-bit programs once it is
  // installed (nor the other way round): the stamp says which halves made it.
  const std::string halves = WineHalves();
  auto ready = [&] {
    const std::string stamp = ReadSmallFile(base / kReadyMark);
    return stamp.size() > halves.size() &&
           stamp.compare(stamp.size() - halves.size(), halves.size(), halves) == 0;
  };
  if (ready()) return true;
  fs::create_directories(base.parent_path(), ec);
  FileLock lock(base.string() + ".lock");
  if (!lock.held()) {
    *error = base.string() + ".lock: cannot be opened";
    return false;
  }
  if (ready()) return true;  // made while we waited

  note << "kepla: making the Wine prefix in " << base.string() << " (once; about a minute)\n";
  fs::remove_all(base, ec);
  const fs::path log = base.string() + ".log";
  fs::remove(log, ec);
  // Made before the build is chosen (the choice runs a probe in it), by the loader that any host
  // with Wine has.
  std::map<std::string, std::string> changes;
  const std::string loader = PrefixLoader(&changes);
  changes.insert({{"WINEPREFIX", base.string()},
                  {"WINEDEBUG", "-all"},
                  {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                  {"DISPLAY", ""},
                  {"WAYLAND_DISPLAY", ""}});
  const std::vector<std::string> env = EnvironmentWith(changes);
  // Windows are left to no window manager, for every program (KEPLA.exe, the conformance
  // programs): there is none on a virtual display, and Wine would wait two seconds for one each
  // time a window is hidden. The device has none either.
  const std::vector<std::vector<std::string>> steps = {
      {loader, "wineboot", "--init"},
      {loader, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/t", "REG_SZ",
       "/d", "N", "/f"},
      {"wineserver", "-w"}};
  for (const std::vector<std::string>& argv : steps) {
    HostProcess::Options options;
    options.argv = argv;
    options.env = env;
    options.output = log;
    std::unique_ptr<HostProcess> process = HostProcess::Start(options, error);
    if (!process) {
      *error += " (install Wine: scripts/deps.sh, or apt-get install wine wine64)";
      return false;
    }
    std::optional<int> status = process->Wait(std::chrono::minutes(10));
    if (!status || *status != 0) {
      *error = "Wine could not make its prefix in " + base.string() + " (see " + log.string() + ")";
      return false;
    }
  }
  if (!fs::exists(base / "system.reg", ec) || !fs::is_directory(base / "drive_c", ec)) {
    *error = "Wine made no prefix in " + base.string() + " (see " + log.string() + ")";
    return false;
  }
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  if (!WriteSmallFile(
          base / kReadyMark,
          std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) +
              halves)) {
    *error = base.string() + ": cannot be written";
    return false;
  }
  return true;
}

std::optional<DeviceWine> PrepareDeviceWine(const fs::path& device_folder,
                                            const wce::DeviceProfile& profile, const fs::path& base,
                                            const fs::path& win32_dir, std::string* error) {
  const fs::path folder = fs::absolute(device_folder) / "wine";
  DeviceWine wine{folder / "prefix", folder / "root", folder / "shim"};
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    *error = folder.string() + ": " + ec.message();
    return std::nullopt;
  }
  FileLock lock(folder / "setup.lock");
  const std::string stamp = ReadSmallFile(base / kReadyMark);
  if (ReadSmallFile(wine.prefix / kBaseMark) != stamp &&
      !MakeDevicePrefix(wine.prefix, fs::absolute(base), stamp, error)) {
    return std::nullopt;
  }
  fs::create_directories(wine.shim, ec);
  const fs::path dosdevices = wine.prefix / "dosdevices";
  if (!EnsureLink(dosdevices / "c:", fs::absolute(base) / "drive_c", error) ||
      !EnsureLink(dosdevices / "d:", wine.root, error) ||
      !EnsureLink(dosdevices / "s:", wine.shim, error) ||
      !LinkRootFolder(wine.root, fs::absolute(device_folder) / "fs", profile, error)) {
    return std::nullopt;
  }
  for (const char* name : {"COREDLL.DLL", "kepla-signal.exe"}) {
    const fs::path from = win32_dir / name;
    const fs::path to = wine.shim / name;
    if (SameBytes(from, to)) continue;
    const fs::path temp = to.string() + ".new";
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(temp, to, ec);
    if (ec) {
      *error = from.string() + ": " + ec.message();
      return std::nullopt;
    }
  }
  return wine;
}

std::string WinePath(std::u16string_view device_path) {
  return "D:" + wce::Utf16ToUtf8(device_path);
}

std::string ShimPath(std::string_view name) { return "S:\\" + std::string(name); }

std::vector<std::string> WineEnvironment(const DeviceWine& wine,
                                         const std::map<std::string, std::string>& more) {
  std::map<std::string, std::string> changes = HostWine().environment;
  changes.insert({{"WINEPREFIX", wine.prefix.string()},
                  {"WINEDEBUG", "-all"},
                  {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                  {"WINEPATH", ShimPath("")},
                  {"WAYLAND_DISPLAY", ""}});
  if (const char* debug = std::getenv("KEPLA_WINEDEBUG"); debug != nullptr && *debug != 0) {
    changes["WINEDEBUG"] = debug;
  }
  for (const auto& [name, value] : more) changes[name] = value;
  return EnvironmentWith(changes);
}

int SignalEventUnderWine(const fs::path& device_folder, std::u16string_view name,
                         const fs::path& win32_dir, std::string* error) {
  std::optional<wce::DeviceProfile> profile = wce::LoadProfile(device_folder, error);
  if (!profile) return 2;
  const fs::path base = DefaultBasePrefix();
  std::ostringstream note;
  if (base.empty() || !EnsureBasePrefix(base, note, error)) {
    if (base.empty()) *error = "no place for the Wine prefix: set KEPLA_WINE_BASE or HOME";
    return 2;
  }
  std::optional<DeviceWine> wine =
      PrepareDeviceWine(device_folder, *profile, base, win32_dir, error);
  if (!wine) return 2;
  HostProcess::Options options;
  options.argv = WineCommand({ShimPath("kepla-signal.exe"), wce::Utf16ToUtf8(name)});
  options.env = WineEnvironment(*wine, {{"DISPLAY", ""}});
  options.cwd = wine->root;
  std::unique_ptr<HostProcess> process = HostProcess::Start(options, error);
  if (!process) return 2;
  std::optional<int> status = process->Wait(std::chrono::seconds(60));
  if (!status) {
    *error = "kepla-signal.exe did not end under Wine";
    return 2;
  }
  return *status == 0 ? 0 : 1;
}

}  // namespace kepla::wine
