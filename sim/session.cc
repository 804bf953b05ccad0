#include "sim/session.h"

#include <memory>

#include "model/call_log.h"
#include "system/automation.h"
#include "system/run_folder.h"
#include "kernel/filesystem.h"
#include "sim/card_files.h"
#include "sim/device_report.h"
#include "sim/program_run.h"
#include "sim/screen_port.h"
#include "sim/screen_recorder.h"
#include "sim/screen_text.h"
#include "sim/stop_request.h"
#include "sim/transcript.h"

namespace kepla {
namespace {

// A device that lost power, kept for good (its stopped threads still reference it) and reachable,
// so that leak checking does not count it.
wce::Device* g_powered_off_device = nullptr;

// What a run stopped at its first window had done on the cards, as the end of a sentence.
std::string DoneBeforeTheWindow(const std::vector<CardChange>& changes) {
  if (changes.empty()) return ", having changed nothing on the card";
  std::string text = ", after it had";
  for (std::size_t i = 0; i < changes.size(); ++i) {
    const CardChange& c = changes[i];
    text += i == 0 ? " " : (i + 1 == changes.size() ? " and " : ", ");
    text += c.kind == CardChange::Kind::kDeleted ? "deleted " : "written ";
    text += DescribeCardFile(c.path, c.file);
  }
  return text;
}

// What the cards hold that a run the user quit had written, as the end of a sentence. Nothing is
// removed on the program's behalf: pulling the battery would remove nothing either. With `busy`
// the program still had work under way, so what it wrote was never verified.
std::string LeftByAQuitRun(const std::vector<CardChange>& changes, bool busy) {
  std::string written;
  std::string deleted;
  for (const CardChange& c : changes) {
    std::string& list = c.kind == CardChange::Kind::kDeleted ? deleted : written;
    list += (list.empty() ? "" : ", ") + DescribeCardFile(c.path, c.file);
  }
  std::string text;
  if (!written.empty()) {
    text += "; the card now holds " + written + ", written by this run" +
            (busy ? " and not verified; nothing was removed" : "");
  }
  if (!deleted.empty()) text += "; this run deleted " + deleted;
  return text;
}

}  // namespace

int RunSession(const SessionOptions& options, Frontend& frontend, std::ostream& err) {
  wce::DeviceOptions boot;
  boot.folder = options.device_folder;
  boot.clock = options.clock;
  boot.program_resources = options.program_resources;
  std::string error;
  std::unique_ptr<wce::Device> device = wce::Device::Boot(boot, &error);
  if (!device) {
    err << "kepla: " << Printable(error) << "\n";
    return kExitUsage;
  }
  // Unpublished, the run is invisible to kepla-device signal and kepla -- uninstall, which would
  // then say that no program is running.
  if (!device->run_folder().published()) {
    err << "kepla: warning: " << Printable((options.device_folder / "run").string())
        << " cannot be written, so other processes (kepla-device signal, kepla -- uninstall) will "
           "not find this run\n";
  }
  wce::Automation& automation = device->automation();
  if (options.transcript) automation.SetObserver(options.transcript);
  if (options.calls) {
    Transcript* calls = options.calls;
    device->calls().SetSink([calls](const std::string& line) { calls->WriteRecord(line); });
  }
  // What the cards hold before the program runs, to tell what it did when it is cut short.
  CardWatch cards{device->fs().volumes(), device->profile().program, {}, device->folder()};
  cards.before = ListCardFiles(cards.volumes, cards.program, cards.device_folder);

  FrontendResult result;
  int code;
  bool stopped = false;
  {
    ProgramRun run(*device, options.entry, options.command_line);
    std::unique_ptr<ScreenRecorder> recorder;
    if (options.transcript) {
      recorder = std::make_unique<ScreenRecorder>(*device, run, *options.transcript);
    }
    DeviceScreenPort port(*device);
    // A stop request stops the program once it runs; one made before then waits for it.
    auto start = [&] {
      run.Start();
      if (options.stop) options.stop->Attach(device.get());
    };
    result = frontend.Drive(port, start);
    if (result.outcome == FrontendResult::Outcome::kStuck && !port.ProgramRunning() &&
        device->run_folder().closed_by_another_process()) {
      result.reason += "; another process on the device closed it (as kepla -- uninstall does)";
    }
    if (!run.started()) start();
    // A front end that gave up on a program that has ended by itself meanwhile (a script step
    // it never offered) stops nothing: that exit is the program's own.
    if (result.outcome != FrontendResult::Outcome::kProgramEnded && port.ProgramRunning()) {
      device->StopProgram();
      stopped = true;
    }
    code = run.Join();
    recorder.reset();
    if (options.stop) options.stop->Attach(nullptr);
  }
  // A signal ends the run as q on the screen does, whatever the front end made of the program's
  // sudden end; one that came only after the program had ended by itself changes nothing.
  if (options.stop && options.stop->stopped() && code == static_cast<int>(0xFFFFFFFF)) {
    const int signo = options.stop->signal();
    result = FrontendResult{};
    result.outcome = FrontendResult::Outcome::kQuit;
    result.signal = signo;
    result.busy = options.stop->busy();
    result.reason = std::string("stopped by ") + SignalName(signo) +
                    (result.busy ? " while the program was at work" : "");
    stopped = true;
  }

  const std::optional<wce::CallLog::Point> power_lost = device->calls().power_lost();
  if (power_lost) stopped = true;

  const wce::ScreenSnapshot last = automation.Snapshot();
  if (options.transcript) {
    Transcript::ExitRecord exit;
    exit.code = code;
    exit.stopped = stopped;
    exit.power_off = power_lost.has_value();
    if (result.signal != 0) exit.signal = SignalName(result.signal);
    exit.backlight_held = last.backlight_held;
    exit.idle_timer_resets = last.idle_timer_resets;
    options.transcript->WriteExit(device->scheduler().Now(), exit);
    automation.SetObserver(nullptr);
  }
  if (power_lost) {
    // The program's threads stay stopped inside the device for good: it is never destroyed. Other
    // processes no longer find the program, as when a device's power goes.
    device->run_folder().Close();
    g_powered_off_device = device.release();
    err << "kepla: the device lost power before the program's call " << power_lost->call
        << " number " << power_lost->nth
        << LeftByAQuitRun(CompareCardFiles(cards.before, ListCardFiles(cards.volumes, cards.program,
                                                                       cards.device_folder)),
                          true)
        << "\n";
    return kExitPowerOff;
  }
  device.reset();

  return SessionStatus(result, code, cards, err);
}

int SessionStatus(const FrontendResult& result, int code, const CardWatch& cards,
                  std::ostream& err) {
  auto changes = [&cards] {
    return CompareCardFiles(cards.before,
                            ListCardFiles(cards.volumes, cards.program, cards.device_folder));
  };
  switch (result.outcome) {
    case FrontendResult::Outcome::kStuck:
      err << "kepla: " << result.reason << "; the screen showed:\n"
          << DescribeScreen(result.screen);
      return kExitStuck;
    case FrontendResult::Outcome::kQuit:
      err << "kepla: " << (result.reason.empty() ? "stopped by the user" : result.reason)
          << LeftByAQuitRun(changes(), result.busy) << "\n";
      return result.signal != 0 ? kExitSignalBase + result.signal : kExitQuit;
    case FrontendResult::Outcome::kNoScreen:
      err << "kepla: " << result.reason << "; the program was stopped at its first window"
          << DoneBeforeTheWindow(changes()) << "\n";
      return kExitUsage;
    case FrontendResult::Outcome::kProgramEnded:
      break;
  }
  return code;
}

}  // namespace kepla
