// The program's run: its WinMain on a host thread of its own, which the device makes its
// user-interface thread.
#ifndef KEPLA_SIM_PROGRAM_RUN_H_
#define KEPLA_SIM_PROGRAM_RUN_H_

#include <string>
#include <thread>

#include "system/device.h"

namespace kepla {

class ProgramRun {
 public:
  ProgramRun(wce::Device& device, wce::Device::EntryPoint entry, std::u16string command_line)
      : device_(device), entry_(entry), command_line_(std::move(command_line)) {}
  // Joins the thread if it was started and not joined yet: stop the program first.
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Starts the program and returns once it runs (or has already ended). Call once, with no layer
  // lock held; a device thread calling it counts as waiting meanwhile.
  void Start();
  bool started() const { return thread_.joinable() || joined_; }

  // Whether the program has started running or has ended. Read with the scheduler's mutex held
  // (from a Scheduler::Wait condition).
  bool begun_locked() const { return device_.program_running() || ended_ || device_.powered_off(); }
  bool ended_locked() const { return ended_; }

  // Waits for the thread to end and returns the program's exit code (0xFFFFFFFF when it was
  // stopped). When the device has lost power the thread never ends: it is let go (the device must
  // then be leaked) and 0xFFFFFFFF returned. Call after the program has ended or been stopped, from
  // a thread that is not counted as a device thread or that no longer needs the clock.
  int Join();

 private:
  wce::Device& device_;
  const wce::Device::EntryPoint entry_;
  const std::u16string command_line_;
  std::thread thread_;
  bool joined_ = false;
  int exit_code_ = 0;   // written by the thread before it sets ended_
  bool ended_ = false;  // guarded by the scheduler's mutex
};

}  // namespace kepla

#endif  // KEPLA_SIM_PROGRAM_RUN_H_
