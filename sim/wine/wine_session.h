// One run of the Win32 build of the program under Wine, on a device folder: the same front ends,
// script actions, transcript events and exit statuses as a run on the simulated device (see
// sim/session.h), with the program a real Win32 process.
//
// The device folder's fs/ is drive D: (with each card at its name), the program is placed at the
// profile's program path for the run (removed again by the last run on the device that placed
// it), and the shim answers the profile's identity, battery, memory load and free space. What the
// platform cannot do is refused with a one-line reason: a clock other than real time, faults,
// a rotated display.
#ifndef KEPLA_SIM_WINE_WINE_SESSION_H_
#define KEPLA_SIM_WINE_WINE_SESSION_H_

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <wince/profile.h>
#include "sim/frontend.h"

namespace kepla {
class Transcript;
}

namespace kepla::wine {

struct WineSessionOptions {
  std::filesystem::path device_folder;
  std::filesystem::path win32_dir;  // holds KEPLA.exe and COREDLL.DLL (see DefaultWin32Dir)
  std::vector<std::string> program_args;
  Transcript* transcript = nullptr;  // may be null; not owned
  // Show the program's windows on this process's display ($DISPLAY) rather than on a virtual one.
  bool user_display = false;
};

// The folder of the Win32 build to run: $KEPLA_WIN32_DIR, else the build's own of the
// architecture this host's Wine runs (the 32-bit one, or the 64-bit one where the host cannot
// run 32-bit programs: see wine_host.h).
std::filesystem::path DefaultWin32Dir();

// Why `profile` cannot run under Wine (one line), or empty when it can.
std::string WineRefusal(const wce::DeviceProfile& profile);

// Runs the program under `frontend`. Returns its exit code; kExitUsage when the run cannot be
// set up (the reason goes to `err` as a "kepla: ..." line); kExitStuck or kExitQuit as
// RunSession does. Call from a host thread.
int RunWineSession(const WineSessionOptions& options, Frontend& frontend, std::ostream& err);

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_WINE_SESSION_H_
