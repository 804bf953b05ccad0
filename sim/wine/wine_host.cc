#include "sim/wine/wine_host.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

#include "sim/wine/host_process.h"
#include "sim/wine/wine_prefix.h"

#ifndef KEPLA_WIN32_BUILDS
#define KEPLA_WIN32_BUILDS ""
#endif

namespace kepla::wine {
namespace fs = std::filesystem;
namespace {

std::string FindOnPath(const std::string& name) {
  if (const char* path = std::getenv("PATH"); path != nullptr) {
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
      if (folder.empty()) continue;
      const fs::path candidate = fs::path(folder) / name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
  }
  return std::string();
}

// Wine's 64-bit loader: wine64 on the PATH, else where Debian keeps it. Empty when neither.
std::string Find64BitLoader() {
  if (std::string loader = FindOnPath("wine64"); !loader.empty()) return loader;
  const char* debian = "/usr/lib/wine/wine64";
  return access(debian, X_OK) == 0 ? std::string(debian) : std::string();
}

WineHost With64BitLoader(const std::string& loader, std::string why) {
  return WineHost{"x86_64", loader, {{"WINELOADER", loader}}, std::move(why)};
}

// Starts the 32-bit kepla-probe.exe under `wine` in the base prefix; true when its line came back.
bool ProbeRuns(const std::string& wine) {
  const fs::path probe = Win32BuildDir(Win32Builds(), "i686") / "kepla-probe.exe";
  std::error_code ec;
  if (!fs::exists(probe, ec)) return false;
  const fs::path base = DefaultBasePrefix();
  if (base.empty()) return false;
  std::string error;
  if (!EnsureBasePrefix(base, std::cerr, &error)) return false;

  const fs::path output = base.string() + ".probe-" + std::to_string(getpid()) + ".log";
  HostProcess::Options options;
  options.argv = {wine, probe.string()};
  options.env = EnvironmentWith({{"WINEPREFIX", base.string()},
                                 {"WINEDEBUG", "-all"},
                                 {"WINEDLLOVERRIDES", "mscoree,mshtml="},
                                 {"WINELOADER", ""},
                                 {"DISPLAY", ""},
                                 {"WAYLAND_DISPLAY", ""}});
  options.output = output;
  std::unique_ptr<HostProcess> process = HostProcess::Start(options, &error);
  bool runs = false;
  if (process) {
    std::optional<int> status = process->Wait(std::chrono::seconds(60));
    std::ifstream in(output);
    std::ostringstream text;
    text << in.rdbuf();
    runs = status && *status == 0 && text.str().find(kProbeLine) != std::string::npos;
  }
  fs::remove(output, ec);
  return runs;
}

}  // namespace

WineHost ChooseWineHost(const WineHostFacts& facts) {
  const std::string& wanted = facts.override_build;
  if (wanted == "i686") {
    return WineHost{"i686",
                    facts.wine.empty() ? "wine" : facts.wine,
                    {},
                    "KEPLA_WINE_BUILD=i686 chooses the 32-bit build"};
  }
  if (wanted == "x86_64") {
    return With64BitLoader(facts.loader64.empty() ? "wine64" : facts.loader64,
                           "KEPLA_WINE_BUILD=x86_64 chooses the 64-bit build");
  }
  const std::string ignored =
      wanted.empty() ? std::string()
                     : " (KEPLA_WINE_BUILD=" + wanted + " is neither i686 nor x86_64: ignored)";
  if (facts.wine.empty() && facts.loader64.empty()) {
    return WineHost{"", "wine", {}, "no Wine is installed (scripts/deps.sh installs it)" + ignored};
  }
  if (!facts.wine.empty() && facts.probe_runs && facts.probe_runs()) {
    return WineHost{"i686", facts.wine, {}, "the 32-bit build's probe runs under Wine" + ignored};
  }
  if (facts.loader64.empty()) {
    return WineHost{
        "", "wine", {}, "Wine runs no 32-bit program here and has no 64-bit loader" + ignored};
  }
  return With64BitLoader(
      facts.loader64,
      "this host runs no 32-bit Win32 program under Wine (its 32-bit half is missing, or the "
      "kernel cannot run 32-bit programs); the 64-bit Win32 build runs instead" +
          ignored);
}

const WineHost& HostWine() {
  static const WineHost host = [] {
    WineHostFacts facts;
    if (const char* build = std::getenv("KEPLA_WINE_BUILD"); build != nullptr) {
      facts.override_build = build;
    }
    facts.wine = FindOnPath("wine");
    facts.loader64 = Find64BitLoader();
    facts.probe_runs = [wine = facts.wine] { return ProbeRuns(wine); };
    return ChooseWineHost(facts);
  }();
  return host;
}

std::string PrefixLoader(std::map<std::string, std::string>* environment) {
  if (std::string loader = Find64BitLoader(); !loader.empty()) {
    (*environment)["WINELOADER"] = loader;
    return loader;
  }
  return "wine";
}

std::string WineHalves() {
  const std::string loader = Find64BitLoader();
  if (loader.empty()) return " wine";
  // Wine starts a 32-bit program with the loader beside the 64-bit one, named without "64".
  const std::string loader32 = loader.substr(0, loader.size() - 2);
  const bool has32 = loader.ends_with("64") && access(loader32.c_str(), X_OK) == 0;
  return has32 ? " wine64+wine32" : " wine64";
}

std::vector<std::string> WineCommand(std::vector<std::string> args) {
  args.insert(args.begin(), HostWine().loader);
  return args;
}

fs::path Win32BuildDir(const fs::path& builds, const std::string& arch) {
  if (builds.empty()) return fs::path();
  return builds / ("win32-" + arch);
}

fs::path Win32Builds() { return fs::path(KEPLA_WIN32_BUILDS); }

}  // namespace kepla::wine
