#include "sim/program_run.h"

#include <mutex>

namespace kepla {

ProgramRun::~ProgramRun() {
  if (thread_.joinable()) thread_.join();
}

void ProgramRun::Start() {
  wce::Scheduler& scheduler = device_.scheduler();
  thread_ = std::thread([this, &scheduler] {
    const int code = device_.RunProgram(entry_, command_line_);
    std::lock_guard<std::mutex> lock(scheduler.mutex());
    exit_code_ = code;
    ended_ = true;
    scheduler.NotifyAll();
  });
  std::unique_lock<std::mutex> lock(scheduler.mutex());
  scheduler.Wait(lock, [this] { return begun_locked(); });
}

int ProgramRun::Join() {
  if (thread_.joinable()) {
    thread_.join();
    joined_ = true;
  }
  std::lock_guard<std::mutex> lock(device_.scheduler().mutex());
  return exit_code_;
}

}  // namespace kepla
