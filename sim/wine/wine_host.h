// How this host starts Wine programs, and which of the two Win32 builds it can run.
//
// Wine runs a 32-bit Win32 program with its 32-bit loader, itself a 32-bit host program. Some
// hosts cannot execute one (a kernel without 32-bit support: "Exec format error"), although
// Wine's 32-bit half installs there. On such a host the 64-bit build runs instead, under Wine's
// 64-bit loader, started directly: Debian's `wine` wrapper would pick the 32-bit loader.
//
// Thread rules: HostWine() may be called from any thread; the first call decides, once.
#ifndef KEPLA_SIM_WINE_WINE_HOST_H_
#define KEPLA_SIM_WINE_WINE_HOST_H_

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kepla::wine {

struct WineHost {
  // "i686" where the host runs Wine's 32-bit programs (the faithful build: the device is
  // 32-bit), "x86_64" where it cannot.
  std::string arch;
  // What starts a Wine program: "wine", or the path of the 64-bit loader.
  std::string loader;
  // Set in the environment of every Wine program (WINELOADER for a loader started directly, so
  // that the programs Wine starts itself use it too).
  std::map<std::string, std::string> environment;
};

// This host's Wine. The first call runs the 32-bit loader once (`wine --version`) to learn
// whether it can; that costs a few milliseconds.
const WineHost& HostWine();

// The command that runs `args` (a program and its arguments) under this host's Wine.
std::vector<std::string> WineCommand(std::vector<std::string> args);

// The folder of one architecture's Win32 build inside the folder that holds both:
// BUILDS/win32-ARCH.
std::filesystem::path Win32BuildDir(const std::filesystem::path& builds, const std::string& arch);

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_WINE_HOST_H_
