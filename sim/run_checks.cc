#include "sim/run_checks.h"

#include <windows.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <system_error>

#include <wince/utf.h>
#include <wince/device_path.h>
#include "package/card_paths.h"

namespace kepla {
namespace {

namespace fs = std::filesystem;

fs::path Canonical(const fs::path& path) {
  std::error_code ec;
  fs::path resolved = fs::weakly_canonical(path, ec);
  if (ec) resolved = fs::absolute(path, ec).lexically_normal();
  return resolved;
}

// `path` is `root` or lies below it (both canonical).
bool Within(const fs::path& path, const fs::path& root) {
  if (root.empty()) return false;
  const auto r = std::mismatch(root.begin(), root.end(), path.begin(), path.end()).first;
  return r == root.end() || (std::next(r) == root.end() && r->empty());  // "dir/" ends in ""
}

std::optional<std::string> Clash(const fs::path& resolved, const RunFiles& files) {
  if (Within(resolved, files.device_folder)) {
    return "lies in the device folder " + files.device_folder.string() +
           "; choose a file outside the device";
  }
  for (const RunFiles::Card& card : files.cards) {
    if (Within(resolved, card.host)) {
      return "lies on the card \"" + card.name + "\" (" + card.host.string() +
             "); choose a file outside the device";
    }
  }
  if (files.script_file && Canonical(*files.script_file) == resolved) {
    return "is the script file; choose another file";
  }
  return std::nullopt;
}

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A file below `root` (links not followed) that is the file `st`.
std::optional<fs::path> FindOtherName(const fs::path& root, const struct stat& st) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(
           root, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    struct stat entry {};
    if (::lstat(it->path().c_str(), &entry) == 0 && SameInode(entry, st)) return it->path();
  }
  return std::nullopt;
}

}  // namespace

RunFiles FilesOfRun(const fs::path& device_folder, const wce::DeviceProfile& profile,
                    const std::optional<std::string>& script_file) {
  RunFiles files;
  files.device_folder = Canonical(device_folder);
  for (const wce::CardSpec& card : profile.cards) {
    files.cards.push_back({wce::Utf16ToUtf8(card.name), Canonical(card.host)});
  }
  if (script_file) files.script_file = fs::path(*script_file);
  return files;
}

std::optional<std::string> TranscriptClash(const fs::path& given, const RunFiles& files) {
  return Clash(Canonical(given), files);
}

std::optional<std::string> OpenedTranscriptClash(int fd, const fs::path& given,
                                                 const RunFiles& files) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::string("cannot be examined");
  // Where the opened file lies, as the kernel names it; the path given when it cannot say.
  fs::path resolved;
  std::error_code ec;
  const fs::path link = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
  resolved = !ec && link.is_absolute() ? link : Canonical(given);
  if (auto clash = Clash(resolved, files)) return clash;
  struct stat script {};
  if (files.script_file && ::stat(files.script_file->c_str(), &script) == 0 &&
      SameInode(script, st)) {
    return "is the script file; choose another file";
  }
  if (S_ISREG(st.st_mode) && st.st_nlink > 1) {
    std::vector<fs::path> roots = {files.device_folder};
    for (const RunFiles::Card& card : files.cards) roots.push_back(card.host);
    for (const fs::path& root : roots) {
      if (auto other = FindOtherName(root, st)) {
        return "is another name of " + other->string() +
               ", a file of the device; choose a file outside the device";
      }
    }
  }
  return std::nullopt;
}

bool RunShowsAWindow(const std::u16string& command_line, const fs::path& device_folder,
                     const wce::DeviceProfile& profile) {
  if (command_line == u"uninstall") return false;
  if (command_line != u"install") return true;
  // As the program finds it: the image's name at the root of the card its own path is on.
  WCHAR root[MAX_PATH];
  WCHAR image[MAX_PATH];
  if (!CardRootOfPath(profile.program.c_str(), root) || !PreparedImagePath(root, image)) {
    return true;
  }
  std::vector<wce::Volume> volumes;
  volumes.push_back(wce::Volume{u"", (fs::absolute(device_folder) / "fs").lexically_normal()});
  for (const wce::CardSpec& card : profile.cards) volumes.push_back({card.name, card.host});
  wce::HostLocation where;
  if (wce::MapDevicePath(volumes, image, &where) != ERROR_SUCCESS || !where.exists) return true;
  std::error_code ec;
  return !fs::is_regular_file(where.host, ec);
}

}  // namespace kepla
