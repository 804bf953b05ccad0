// The headless script driver: presses what a script says, as soon as the screen offers it.
#ifndef KEPLA_SIM_DRIVER_H_
#define KEPLA_SIM_DRIVER_H_

#include <cstdint>
#include <vector>

#include "sim/frontend.h"
#include "sim/script.h"

namespace kepla {

class Transcript;

class ScriptDriver final : public Frontend {
 public:
  // `timeout_ms` (device time) bounds the wait for each action to be offered and, after the last
  // one, for the program to end. `transcript` (may be null, not owned) gets an action line per
  // applied step; a press comes after the screen it answered, and before anything it causes.
  ScriptDriver(std::vector<ScriptStep> steps, std::uint32_t timeout_ms, Transcript* transcript)
      : steps_(std::move(steps)), timeout_ms_(timeout_ms), transcript_(transcript) {}

  // Starts the program and runs the steps in order on the calling thread, which counts as a
  // device thread from before the start to the end (so a virtual clock never jumps past an action
  // the screen offers), then waits for the end of the program. Returns kStuck when a step was not
  // offered within the time-out, when the program ended before a step could be applied, or when it
  // did not end in time after the last.
  FrontendResult Drive(ScreenPort& port, const std::function<void()>& start_program) override;

 private:
  std::vector<ScriptStep> steps_;
  std::uint32_t timeout_ms_;
  Transcript* transcript_;
};

}  // namespace kepla

#endif  // KEPLA_SIM_DRIVER_H_
