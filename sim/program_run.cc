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
    wce::MutexLock lock(scheduler.mutex());
    exit_code_ = code;
    ended_ = true;
    scheduler.NotifyAll();
  });
  wce::UniqueLock lock(scheduler.mutex());
  scheduler.Wait(lock, [this] { return begun_locked(); });
}

int ProgramRun::Join() {
  if (thread_.joinable()) {
    thread_.join();
    joined_ = true;
  }
  wce::MutexLock lock(device_.scheduler().mutex());
  return exit_code_;
}

}  // namespace kepla
