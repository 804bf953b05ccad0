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
  {
    wce::Scheduler& scheduler = device_.scheduler();
    wce::UniqueLock lock(scheduler.mutex());
    scheduler.Wait(lock, [this, &scheduler] {
      scheduler.mutex().AssertHeld();
      return ended_ || device_.powered_off();
    });
    if (!ended_ && thread_.joinable()) {
      // Stopped for good by the loss of power, inside the program: it must never run again.
      thread_.detach();
      joined_ = true;
      return static_cast<int>(0xFFFFFFFF);
    }
  }
  if (thread_.joinable()) {
    thread_.join();
    joined_ = true;
  }
  wce::MutexLock lock(device_.scheduler().mutex());
  return exit_code_;
}

}  // namespace kepla
