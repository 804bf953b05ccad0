// How this host starts Wine programs, and which of the two Win32 builds it runs.
//
// Wine runs a 32-bit Win32 program with its 32-bit loader, itself a 32-bit host program. Whether
// that works cannot be read off the machine: the 32-bit half of Wine may be missing (Debian's
// `wine` wrapper then answers `wine --version` with the 64-bit loader), or installed on a kernel
// that cannot execute 32-bit programs ("Exec format error"). So the choice is made by what runs:
// the 32-bit build's kepla-probe.exe is started under `wine`, and when its line comes back the
// 32-bit build (the faithful one: the device is 32-bit) is used; otherwise the 64-bit build runs
// under Wine's 64-bit loader, started directly. KEPLA_WINE_BUILD=i686|x86_64 overrides the probe.
//
// Thread rules: HostWine() may be called from any thread; the first call decides, once per process.
#ifndef KEPLA_SIM_WINE_WINE_HOST_H_
#define KEPLA_SIM_WINE_WINE_HOST_H_

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kepla::wine {

struct WineHost {
  // "i686" or "x86_64": the build that runs here; empty when no Wine runs at all.
  std::string arch;
  // What starts a Wine program: "wine", or the path of the 64-bit loader.
  std::string loader;
  // Set in the environment of every Wine program (WINELOADER for a loader started directly, so
  // that the programs Wine starts itself use it too).
  std::map<std::string, std::string> environment;
  // One line: why this build, or why none ("the 32-bit probe ran", "no Wine is installed", ...).
  std::string why;
};

// What the choice is made from. HostWine() gathers it from this host; tests give their own.
struct WineHostFacts {
  std::string override_build;  // the value of KEPLA_WINE_BUILD, empty when unset
  std::string wine;            // the `wine` command's path, empty when it is not installed
  std::string loader64;        // Wine's 64-bit loader, empty when there is none
  // Starts the 32-bit probe under `wine`; true when its line came back. Not called where the
  // override decides or no Wine is installed.
  std::function<bool()> probe_runs;
};

// The choice, from `facts` alone.
WineHost ChooseWineHost(const WineHostFacts& facts);

// This host's choice. The first call makes the base prefix if it is not made yet (the probe runs
// in it) and runs the probe once: a second or two.
const WineHost& HostWine();

// The loader that makes the base prefix, before the choice is known: the 64-bit loader where
// there is one (a prefix it makes runs 32-bit programs too, where the host can), else "wine".
// `environment` receives what it needs set.
std::string PrefixLoader(std::map<std::string, std::string>* environment);

// Which halves of Wine this host has installed, as a line for the base prefix's stamp:
// " wine64+wine32", " wine64", " wine".
std::string WineHalves();

// The command that runs `args` (a program and its arguments) under this host's Wine.
std::vector<std::string> WineCommand(std::vector<std::string> args);

// The folder of one architecture's Win32 build inside the folder that holds both:
// BUILDS/win32-ARCH.
std::filesystem::path Win32BuildDir(const std::filesystem::path& builds, const std::string& arch);

// The folder that holds both Win32 builds of this build of KEPLA (empty when they were not built).
std::filesystem::path Win32Builds();

// The line kepla-probe.exe prints when it runs.
inline constexpr char kProbeLine[] = "kepla-probe: the 32-bit Win32 build runs";

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_WINE_HOST_H_
