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
  if (thread_.joinable()) {
    thread_.join();
    joined_ = true;
  }
  int code = 0;
  device_.Update([&] { code = exit_code_; });
  return code;
}

}  // namespace kepla
