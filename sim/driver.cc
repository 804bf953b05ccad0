#include "sim/driver.h"

#include <mutex>

#include "core/device.h"
#include "device/automation.h"
#include "kernel/threads.h"
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

FrontendResult Stuck(wce::Automation& automation, std::string reason) {
  FrontendResult result;
  result.outcome = FrontendResult::Outcome::kStuck;
  result.reason = std::move(reason);
  result.screen = automation.Snapshot();
  return result;
}

}  // namespace

FrontendResult ScriptDriver::Drive(wce::Device& device,
                                   const std::function<void()>& start_program) {
  wce::DeviceThreadScope scope(device.scheduler(), device.threads().NewRecord());
  start_program();
  wce::Scheduler& scheduler = device.scheduler();
  wce::Automation& automation = device.automation();

  for (std::size_t i = 0; i < steps_.size(); ++i) {
    const ScriptStep& step = steps_[i];
    const std::string name = "action " + std::to_string(i + 1) + " \"" + step.Text() + "\"";
    if (step.kind == ScriptStep::Kind::kWait) {
      automation.WaitFor(step.ms);
      if (transcript_) transcript_->WriteAction(scheduler.Now(), step);
      continue;
    }
    const std::uint64_t deadline = scheduler.Now() + timeout_ms_;
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
    if (!automation.WaitAndApply(action, deadline, record)) {
      bool running;
      {
        std::lock_guard<std::mutex> lock(scheduler.mutex());
        running = device.program_running();
      }
      return Stuck(automation, running ? name + " was not offered within " + Seconds(timeout_ms_) +
                                             " of device time"
                                       : "the program ended before " + name + " was offered");
    }
    if (transcript_ && !press) transcript_->WriteAction(scheduler.Now(), step);
  }

  std::unique_lock<std::mutex> lock(scheduler.mutex());
  const bool ended = scheduler.Wait(
      lock, [&] { return !device.program_running(); }, scheduler.NowLocked() + timeout_ms_);
  lock.unlock();
  if (!ended) {
    return Stuck(automation, "the program did not end within " + Seconds(timeout_ms_) +
                                 " of device time after the last action");
  }
  return FrontendResult{};
}

}  // namespace kepla
