#include "sim/driver.h"

#include "sim/screen_port.h"
#include "sim/transcript.h"

namespace kepla {
namespace {

std::string Seconds(std::uint32_t ms) {
  std::string text = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    std::string frac = std::to_string(1000 + ms % 1000).substr(1);
    while (frac.back() == '0') frac.pop_back();
    text += "." + frac;
  }
  return text + " s";
}

FrontendResult Stuck(ScreenPort& port, std::string reason) {
  FrontendResult result;
  result.outcome = FrontendResult::Outcome::kStuck;
  result.reason = std::move(reason);
  result.screen = port.Snapshot();
  return result;
}

}  // namespace

FrontendResult ScriptDriver::Drive(ScreenPort& port, const std::function<void()>& start_program) {
  const std::shared_ptr<void> clock_hold = port.HoldClock();
  start_program();

  for (std::size_t i = 0; i < steps_.size(); ++i) {
    const ScriptStep& step = steps_[i];
    const std::string name = "action " + std::to_string(i + 1) + " \"" + step.Text() + "\"";
    if (step.kind == ScriptStep::Kind::kWait) {
      // The program runs on while the script waits, and may end meanwhile (another process
      // closed it): the next step then finds it gone, at once.
      port.WaitFor(step.ms);
      if (transcript_) transcript_->WriteAction(port.Now(), step);
      continue;
    }
    const std::uint64_t deadline = port.Now() + timeout_ms_;
    const wce::Action action = *step.ToAction();
    // A press is recorded with the screen it answers, before anything it causes.
    const bool press = std::holds_alternative<wce::PressSoftKey>(action) ||
                       std::holds_alternative<wce::DismissMessageBox>(action);
    std::function<void(const wce::ScreenSnapshot&)> record;
    if (transcript_ && press) {
      record = [this, &step](const wce::ScreenSnapshot& screen) {
        transcript_->WriteScreen(screen);
        transcript_->WriteAction(screen.time_ms, step);
      };
    }
    if (!port.WaitAndApply(action, deadline, record)) {
      const bool running = port.ProgramRunning();
      return Stuck(port, running ? name + " was not offered within " + Seconds(timeout_ms_) +
                                       " of device time"
                                 : "the program ended before " + name + " was offered");
    }
    if (transcript_ && !press) transcript_->WriteAction(port.Now(), step);
  }

  if (!port.WaitForEnd(port.Now() + timeout_ms_)) {
    return Stuck(port, "the program did not end within " + Seconds(timeout_ms_) +
                           " of device time after the last action");
  }
  return FrontendResult{};
}

}  // namespace kepla
