#include "sim/wine/wine_host.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>

#include "sim/wine/host_process.h"

namespace kepla::wine {
namespace fs = std::filesystem;
namespace {

// Whether `wine --version` runs: the wrapper starts the 32-bit loader when it is installed.
bool Runs32BitLoader() {
  HostProcess::Options probe;
  probe.argv = {"wine", "--version"};
  probe.env = EnvironmentWith({{"WINEDEBUG", "-all"}});
  std::string error;
  std::unique_ptr<HostProcess> process = HostProcess::Start(probe, &error);
  if (!process) return false;
  std::optional<int> status = process->Wait(std::chrono::seconds(30));
  return status && *status == 0;
}

// Wine's 64-bit loader: wine64 on the PATH, else where Debian keeps it. Empty when neither.
std::string Find64BitLoader() {
  if (const char* path = std::getenv("PATH"); path != nullptr) {
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
      if (folder.empty()) continue;
      const fs::path candidate = fs::path(folder) / "wine64";
      if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
  }
  const char* debian = "/usr/lib/wine/wine64";
  return access(debian, X_OK) == 0 ? std::string(debian) : std::string();
}

WineHost Decide() {
  if (!Runs32BitLoader()) {
    if (std::string loader = Find64BitLoader(); !loader.empty()) {
      return WineHost{"x86_64", loader, {{"WINELOADER", loader}}};
    }
  }
  // Also where no Wine is installed: starting "wine" then fails with a message that says so.
  return WineHost{"i686", "wine", {}};
}

}  // namespace

const WineHost& HostWine() {
  static const WineHost host = Decide();
  return host;
}

std::vector<std::string> WineCommand(std::vector<std::string> args) {
  args.insert(args.begin(), HostWine().loader);
  return args;
}

fs::path Win32BuildDir(const fs::path& builds, const std::string& arch) {
  if (builds.empty()) return fs::path();
  return builds / ("win32-" + arch);
}

}  // namespace kepla::wine
