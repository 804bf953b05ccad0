#include "sim/session.h"

#include <memory>

#include "device/automation.h"
#include "sim/program_run.h"
#include "sim/screen_port.h"
#include "sim/screen_recorder.h"
#include "sim/screen_text.h"
#include "sim/transcript.h"

namespace kepla {

int RunSession(const SessionOptions& options, Frontend& frontend, std::ostream& err) {
  wce::DeviceOptions boot;
  boot.folder = options.device_folder;
  boot.clock = options.clock;
  boot.program_resources = options.program_resources;
  std::string error;
  std::unique_ptr<wce::Device> device = wce::Device::Boot(boot, &error);
  if (!device) {
    err << "kepla: " << error << "\n";
    return kExitUsage;
  }
  wce::Automation& automation = device->automation();
  if (options.transcript) automation.SetObserver(options.transcript);

  FrontendResult result;
  int code;
  {
    ProgramRun run(*device, options.entry, options.command_line);
    std::unique_ptr<ScreenRecorder> recorder;
    if (options.transcript) {
      recorder = std::make_unique<ScreenRecorder>(*device, run, *options.transcript);
    }
    DeviceScreenPort port(*device);
    result = frontend.Drive(port, [&run] { run.Start(); });
    if (!run.started()) run.Start();
    if (result.outcome != FrontendResult::Outcome::kProgramEnded) device->StopProgram();
    code = run.Join();
    recorder.reset();
  }

  const wce::ScreenSnapshot last = automation.Snapshot();
  if (options.transcript) {
    Transcript::ExitRecord exit;
    exit.code = code;
    exit.stopped = result.outcome != FrontendResult::Outcome::kProgramEnded;
    exit.backlight_held = last.backlight_held;
    exit.idle_timer_resets = last.idle_timer_resets;
    options.transcript->WriteExit(device->scheduler().Now(), exit);
    automation.SetObserver(nullptr);
  }
  device.reset();

  return SessionStatus(result, code, err);
}

int SessionStatus(const FrontendResult& result, int code, std::ostream& err) {
  switch (result.outcome) {
    case FrontendResult::Outcome::kStuck:
      err << "kepla: " << result.reason << "; the screen showed:\n"
          << DescribeScreen(result.screen);
      return kExitStuck;
    case FrontendResult::Outcome::kQuit:
      err << "kepla: " << (result.reason.empty() ? "stopped by the user" : result.reason) << "\n";
      return kExitQuit;
    case FrontendResult::Outcome::kProgramEnded:
      break;
  }
  return code;
}

}  // namespace kepla
