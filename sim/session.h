// One run of the program on a device: boot, run WinMain under a frontend, record, shut down.
#ifndef KEPLA_SIM_SESSION_H_
#define KEPLA_SIM_SESSION_H_

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "model/clock.h"
#include "system/device.h"
#include "sim/card_files.h"
#include "sim/frontend.h"

namespace kepla {

class StopRequest;
class Transcript;

// Exit statuses of `kepla` besides the program's own exit code.
constexpr int kExitUsage = 2;  // a usage or device-folder error
constexpr int kExitStuck = 3;  // a scripted action was not offered in time
constexpr int kExitQuit = 1;   // the user stopped the program from the terminal screen
// A run stopped by a signal ends with 128 + the signal's number, as shells expect.
constexpr int kExitSignalBase = 128;
// The program ended, but the transcript asked for could not be written in full (kepla).
constexpr int kExitTranscriptIncomplete = 4;
// The device lost power (a powerOff fault of its profile) before the program ended.
constexpr int kExitPowerOff = 5;

struct SessionOptions {
  std::filesystem::path device_folder;
  std::optional<wce::ClockSpec> clock;              // overrides the profile's clock
  std::span<const std::uint8_t> program_resources;  // the program's .res image
  wce::Device::EntryPoint entry = nullptr;          // the program's WinMain
  std::u16string command_line;
  Transcript* transcript = nullptr;  // may be null; not owned
  Transcript* calls = nullptr;       // the program's calls, one line each; may be null; not owned
  // May be null; not owned. Attached to the device once the program runs: a request stops the
  // program, and the run ends as one the user quit, with 128 + the signal as its status.
  StopRequest* stop = nullptr;
};

// Boots the device (only one per process at a time), runs the program under `frontend` and
// shuts the device down. Returns the program's exit code; kExitUsage when the device cannot boot;
// kExitStuck when the frontend got stuck, kExitQuit when the user quit, kExitSignalBase + the
// signal when `options.stop` stopped it (the program is then stopped); kExitPowerOff when the
// device lost power, which leaves the device booted for good in this process (its stopped
// threads still reference it): end the process then. Reasons and the screen
// of a stuck run go to `err` as "kepla: ..." lines. Call from a host thread that is no device
// thread.
int RunSession(const SessionOptions& options, Frontend& frontend, std::ostream& err);

// The files of a device's cards as a run began, to tell what the program did when the run is cut
// short.
struct CardWatch {
  std::vector<wce::Volume> volumes;  // the root first, then the cards
  std::u16string program;            // the program's device path
  CardFiles before;
  std::filesystem::path device_folder;  // where records of attributes the cards cannot keep live
};

// The exit status of a run that ended with `result` and the program's exit code `code`: `code`
// when the program ended by itself; otherwise kExitStuck, kExitQuit or kExitUsage (no screen),
// (kExitSignalBase + `result.signal` for a run a signal stopped), after telling `err` why: what
// the screen showed when stuck, and what the program had done on the cards when quit or stopped
// for want of a screen.
int SessionStatus(const FrontendResult& result, int code, const CardWatch& cards,
                  std::ostream& err);

}  // namespace kepla

#endif  // KEPLA_SIM_SESSION_H_
