#include "sim/program_run.h"

namespace kepla {

ProgramRun::~ProgramRun() {
  if (thread_.joinable()) thread_.join();
}

void ProgramRun::Start() {
  thread_ = std::thread([this] {
    const int code = device_.RunProgram(entry_, command_line_);
    device_.Update([&] {
      exit_code_ = code;
      ended_ = true;
    });
  });
  device_.WaitUntil([this] { return begun_locked(); });
}

int ProgramRun::Join() {
  device_.WaitUntil([this] { return ended_ || device_.PoweredOffLocked(); });
  bool lost = false;
  device_.Update([&] { lost = !ended_; });
  if (lost && thread_.joinable()) {
    // Stopped for good by the loss of power, inside the program: it must never run again.
    thread_.detach();
    joined_ = true;
    return static_cast<int>(0xFFFFFFFF);
  }
  if (thread_.joinable()) {
    thread_.join();
    joined_ = true;
  }
  int code = 0;
  device_.Update([&] { code = exit_code_; });
  return code;
}

}  // namespace kepla
