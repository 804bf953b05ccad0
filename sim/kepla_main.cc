// kepla: runs the upgrade wizard on a simulated device, on the terminal or headless from a
// script.
#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/utf.h"
#include "res/embedded.h"
#include "sim/cli_errors.h"
#include "sim/device_folder.h"
#include "sim/card_warnings.h"
#include "sim/device_report.h"
#include "sim/driver.h"
#include "sim/run_checks.h"
#include "sim/screen_on_demand.h"
#include "sim/script.h"
#include "model/profile.h"
#include "sim/session.h"
#include "sim/stop_request.h"
#include "sim/stop_signals.h"
#include "sim/terminal_screen.h"
#include "sim/transcript.h"
#include "sim/wine/desktop_frontend.h"
#include "sim/wine/wine_session.h"
#include "tools/pending_temporaries.h"
#include "tools/standard_streams.h"

// The program's entry point (app/).
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line, int show);

// What the program and its threads still hold when it ends belongs to its device process, which
// ending reclaims; the program counts on that (its usual exit frees nothing). Leak checking in
// sanitizer builds is told so; leaks of kepla itself are still reported.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:wce::Device::RunProgram\nleak:wce::Threads::Run\n";
}
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }

namespace {

// Paths in messages are the user's own and may hold a newline or an escape: made printable.
int Fail(const std::string& message) {
  std::cerr << "kepla: " << kepla::Printable(message) << "\n";
  return kepla::kExitUsage;
}

// `word` as one shell word that a command line can take as an argument, not an option: quoted
// when it holds anything but letters, digits and a few safe signs, and after -- when it begins
// with '-'.
std::string ShellArgument(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_./+:,@%=-") == std::string::npos;
  std::string quoted;
  if (plain) {
    quoted = word;
  } else {
    quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
  }
  return (!word.empty() && word.front() == '-' ? "-- " : "") + quoted;
}

struct Options {
  std::string platform = "sim";
  std::optional<std::string> device;
  std::optional<std::string> script;
  std::optional<std::string> script_file;
  std::optional<std::string> transcript;
  std::optional<std::string> calls;
  std::optional<std::string> clock;
  double timeout_s = 60;
  std::vector<std::string> program_args;
};

// The device folder to run on: the one named, or the demo device (made or repaired as needed).
std::optional<std::filesystem::path> ChooseDevice(const Options& options, std::string* error) {
  std::error_code ec;
  if (options.device) {
    if (!std::filesystem::is_directory(*options.device, ec)) {
      const std::filesystem::file_status status = std::filesystem::status(*options.device, ec);
      if (std::filesystem::exists(status)) {
        *error = *options.device + ": not a folder; --device names a device folder";
      } else if (ec && ec != std::errc::no_such_file_or_directory) {
        *error = *options.device + ": cannot be reached: " + ec.message();
      } else {
        *error = *options.device + ": no such device folder (make one with: kepla-device init " +
                 ShellArgument(*options.device) + ")";
      }
      return std::nullopt;
    }
    return std::filesystem::path(*options.device);
  }
  const std::filesystem::path demo = kepla::DefaultDemoFolder();
  if (demo.empty()) {
    *error = "no --device given, and neither XDG_DATA_HOME nor HOME is set for the demo device";
    return std::nullopt;
  }
  std::string note;
  if (!kepla::EnsureDemoDevice(demo, &note, error)) return std::nullopt;
  std::cerr << "kepla: using the demo device in " << demo.string();
  if (!note.empty()) std::cerr << " (" << note << ")";
  std::cerr << "\n";
  return demo;
}

int Main(int argc, char** argv) {
  Options o;
  CLI::App app{"Runs the KEPLA upgrade wizard on a simulated Windows Mobile device.", "kepla"};
  app.add_option("--platform", o.platform,
                 "sim: the simulated device (default); wine: the program's Win32 build under Wine "
                 "(real time only; no faults, no rotation)")
      ->check(CLI::IsMember({"sim", "wine"}));
  app.add_option("--device", o.device,
                 "device folder (default: the demo device, made on first use)");
  auto* script = app.add_option(
      "--script", o.script,
      "run headless, pressing these comma-separated actions: left, right, ok, rotate:DEG, "
      "signal:EVENT, wait:MS");
  app.add_option("--script-file", o.script_file,
                 "run headless with the actions in FILE (a regular file of at most 1 MiB)")
      ->excludes(script);
  app.add_option("--transcript", o.transcript,
                 "write what happens as JSON lines (screens, message boxes, actions, progress, "
                 "exit) to FILE; not a file of the device or the script, nor a FIFO");
  app.add_option("--calls", o.calls,
                 "write each platform call that the program makes as a JSON line (call, nth, "
                 "thread, file) to FILE; the same rules as for --transcript");
  app.add_option("--clock", o.clock,
                 "device clock: real, xN (N times faster, N from 0.001 to 1000) or virtual");
  app.add_option("--timeout", o.timeout_s,
                 "device seconds to wait for each scripted action, and for the end (0.001 to "
                 "86400, default 60)");
  app.add_option("PROGRAM_ARGS", o.program_args,
                 "after --: the program's command line (install, uninstall, ...)");
  app.footer(
      "Without --script the device screen is shown in this terminal once the program shows a "
      "window (a run that shows none, such as install removing an image or uninstall, needs no "
      "terminal). Exit status: the program's own (0 or 16); 1 when quit from the screen; 2 for a "
      "usage or device-folder error, or a window with no terminal to show it; 3 when a scripted "
      "action was not offered in time (the screen is printed); 4 when the program ended but the "
      "transcript could not be written in full; 5 when the device lost power (a powerOff fault), "
      "which says what the card holds; 128 + the signal (130, 143, 129) "
      "when SIGINT, SIGTERM or SIGHUP (or Ctrl-C on the screen) stopped it, which ends the "
      "program as q does and says what the card holds.");
  if (int status = kepla::ParseCommandLine(app, argc, argv); status >= 0) return status;

  if (o.device && o.device->empty()) {
    return Fail(
        "--device: is empty; name a device folder, or leave --device out for the demo "
        "device");
  }
  kepla::SessionOptions session;
  if (o.clock) {
    session.clock = wce::ClockSpec::Parse(*o.clock);
    if (!session.clock) return Fail("--clock " + *o.clock + ": must be " + wce::ClockSpec::kForms);
  }
  // Device time counts in milliseconds: a shorter time-out could only be rounded up.
  if (!std::isfinite(o.timeout_s) || o.timeout_s < 0.001 || o.timeout_s > 86400) {
    return Fail("--timeout: must be from 0.001 to 86400 seconds");
  }
  const auto timeout_ms = static_cast<std::uint32_t>(std::ceil(o.timeout_s * 1000));

  std::string error;
  std::optional<std::vector<kepla::ScriptStep>> steps;
  if (o.script) {
    steps = kepla::ParseScript(*o.script, &error);
    if (!steps) return Fail(error);
  } else if (o.script_file) {
    steps = kepla::LoadScriptFile(*o.script_file, &error);
    if (!steps) return Fail(error);
  }

  const bool wine = o.platform == "wine";
  if (wine) {
    if (session.clock && (session.clock->mode != wce::ClockMode::kReal)) {
      return Fail("--clock " + *o.clock + ": --platform wine runs on real time only");
    }
    if (o.calls) return Fail("--calls " + *o.calls + ": --platform wine cannot record the calls");
    for (const kepla::ScriptStep& step : steps.value_or(std::vector<kepla::ScriptStep>{})) {
      if (step.kind == kepla::ScriptStep::Kind::kRotate) {
        return Fail("\"" + step.Text() + "\": --platform wine cannot turn a desktop display");
      }
    }
  }
  // On Wine without a script, the program's real windows are used on this display when there is
  // one; otherwise they go to a virtual display and the screen is drawn in this terminal.
  const char* display = std::getenv("DISPLAY");
  const bool user_display = wine && !steps && display != nullptr && *display != 0;

  std::string line;
  for (const std::string& arg : o.program_args) line += (line.empty() ? "" : " ") + arg;
  if (!wce::Utf8ToUtf16(line, &session.command_line)) {
    return Fail("the program's arguments are not valid UTF-8");
  }

  auto device = ChooseDevice(o, &error);
  if (!device) return Fail(error);
  session.device_folder = *device;
  // Everything that can refuse the run is checked before the program starts or the transcript
  // is emptied, so that a refused run changes nothing.
  auto profile = wce::LoadProfile(session.device_folder, &error);
  if (!profile) return Fail(error);
  const kepla::RunFiles run_files =
      kepla::FilesOfRun(session.device_folder, *profile, o.script_file);
  if (o.transcript) {
    if (auto clash = kepla::TranscriptClash(*o.transcript, run_files)) {
      return Fail("--transcript " + *o.transcript + ": " + *clash);
    }
  }
  if (o.calls) {
    if (auto clash = kepla::TranscriptClash(*o.calls, run_files)) {
      return Fail("--calls " + *o.calls + ": " + *clash);
    }
    std::error_code ec;
    const auto canonical = [&ec](const std::string& file) {
      return std::filesystem::weakly_canonical(std::filesystem::absolute(file, ec), ec);
    };
    if (o.transcript && canonical(*o.calls) == canonical(*o.transcript)) {
      return Fail("--calls " + *o.calls + ": is the transcript's file too");
    }
  }
  // Without a package the wizard stops at its model check, naming no model: say why beforehand.
  if (o.program_args.empty()) {
    if (auto why = kepla::ProgramFolderUnreadable(session.device_folder)) {
      std::cerr << "kepla: note: " << kepla::Printable(*why)
                << ", so the wizard will find no package there and stop at its checks\n";
    } else if (auto folder = kepla::ProgramFolderWithoutPackage(session.device_folder)) {
      std::cerr
          << "kepla: note: " << kepla::Printable(*folder)
          << " on this device holds no firmware package (no name there contains \".bin\"), so "
             "the wizard will stop at its checks; put one there (kepla-pkg build makes one) "
             "or use a device made by kepla-device init --demo\n";
    }
  }

  for (const std::string& warning : kepla::CardWarnings(session.device_folder))
    std::cerr << warning;

  // Without a script the device screen is shown in this terminal, once the program shows a
  // window (a run mode that shows none needs no terminal). A virtual clock jumps whenever every
  // device thread waits, so a person at the keyboard would never find the program waiting for
  // them: the screen runs on a real or sped-up clock, and a device whose profile says virtual
  // runs on the real clock when there is a terminal to show it on.
  if (!steps && !wine && !session.clock && kepla::TerminalScreen::Available(nullptr)) {
    if (profile->clock.mode == wce::ClockMode::kVirtual) {
      std::cerr << "kepla: the device's clock is virtual; the screen uses the real clock\n";
      session.clock = wce::ClockSpec{};
    }
  }

  // A run that will show a window it has nowhere to show is refused before the program starts:
  // started, it would delete a prepared image before stopping at its first window.
  const bool virtual_clock = session.clock && session.clock->mode == wce::ClockMode::kVirtual;
  if (!steps && !user_display &&
      kepla::RunShowsAWindow(session.command_line, session.device_folder, *profile)) {
    std::string why;
    if (!kepla::TerminalScreen::Available(&why)) return Fail(why + "; nothing was run");
    if (virtual_clock) {
      return Fail("--clock virtual needs --script; the device screen runs on real or xN time");
    }
  }

  std::unique_ptr<kepla::Transcript> transcript;
  if (o.transcript) {
    transcript = kepla::Transcript::Open(*o.transcript, &error, [&](int fd, std::string* why) {
      auto clash = kepla::OpenedTranscriptClash(fd, *o.transcript, run_files);
      if (clash) *why = *clash;
      return !clash;
    });
    if (!transcript) return Fail("--transcript " + error);
    session.transcript = transcript.get();
  }
  std::unique_ptr<kepla::Transcript> calls;
  if (o.calls) {
    calls = kepla::Transcript::Open(*o.calls, &error, [&](int fd, std::string* why) {
      auto clash = kepla::OpenedTranscriptClash(fd, *o.calls, run_files);
      if (clash) *why = *clash;
      return !clash;
    });
    if (!calls) return Fail("--calls " + error);
    session.calls = calls.get();
  }
  session.program_resources = kepla::ProgramResources();
  session.entry = &WinMain;

  std::unique_ptr<kepla::Frontend> frontend;
  if (steps) {
    frontend =
        std::make_unique<kepla::ScriptDriver>(std::move(*steps), timeout_ms, transcript.get());
  } else if (user_display) {
    frontend = std::make_unique<kepla::wine::DesktopFrontend>();
  } else {
    frontend = kepla::TerminalScreenOnDemand(session.clock &&
                                             session.clock->mode == wce::ClockMode::kVirtual);
  }
  int status;
  if (wine) {
    kepla::wine::WineSessionOptions options;
    options.device_folder = session.device_folder;
    options.win32_dir = kepla::wine::DefaultWin32Dir();
    options.program_args = o.program_args;
    options.transcript = transcript.get();
    options.user_display = user_display;
    status = kepla::wine::RunWineSession(options, *frontend, std::cerr);
  } else {
    // SIGINT, SIGTERM and SIGHUP end the program as q on the screen does. No thread has been
    // started yet, so every thread of the run inherits the signals blocked.
    static kepla::StopRequest stop;
    kepla::HandleStopSignals(stop);
    session.stop = &stop;
    status = kepla::RunSession(session, *frontend, std::cerr);
  }
  if (calls && !calls->ok()) {
    std::cerr << "kepla: " << kepla::Printable(*o.calls) << ": the call log is incomplete ("
              << calls->error() << ")\n";
    if (status != kepla::kExitUsage && status != kepla::kExitStuck && status != kepla::kExitQuit &&
        status != kepla::kExitPowerOff && status < kepla::kExitSignalBase) {
      status = kepla::kExitTranscriptIncomplete;
    }
  }
  if (transcript && !transcript->ok()) {
    std::cerr << "kepla: " << kepla::Printable(*o.transcript) << ": the transcript is incomplete ("
              << transcript->error() << ")\n";
    // A run that ended by itself reports the lost transcript; a run cut short keeps its status.
    if (status != kepla::kExitUsage && status != kepla::kExitStuck && status != kepla::kExitQuit &&
        status != kepla::kExitPowerOff && status < kepla::kExitSignalBase) {
      return kepla::kExitTranscriptIncomplete;
    }
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  kepla::pkg::KeepStandardStreamsOpen();
  // A demo package being written for the demo device is removed when a signal ends kepla before
  // the run starts (the run then takes the signals as requests to stop).
  kepla::pkg::RemoveTemporariesOnSignals();
  // Help that did not reach its reader (a full disk behind >) is a failure.
  return kepla::pkg::CheckStandardOutput("kepla", Main(argc, argv));
}
