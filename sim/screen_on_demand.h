// The front end chosen only when the program first shows a window, so that a run mode that shows
// none (install removing an image, uninstall) runs to its end with no screen at all.
#ifndef KEPLA_SIM_SCREEN_ON_DEMAND_H_
#define KEPLA_SIM_SCREEN_ON_DEMAND_H_

#include <functional>
#include <memory>
#include <string>

#include "sim/frontend.h"

namespace kepla {

class ScreenOnDemand final : public Frontend {
 public:
  // Makes the front end once the program shows a window. Returns null and sets *why (one line,
  // saying what is missing and what to do) when none can be had.
  using Factory = std::function<std::unique_ptr<Frontend>(std::string* why)>;
  explicit ScreenOnDemand(Factory make) : make_(std::move(make)) {}

  // Starts the program and waits, as a host thread that the virtual clock does not count, until
  // it shows a window or ends. A program that ends first is kProgramEnded, and no front end is
  // made. Otherwise the front end made then drives the rest of the run; when none can be made,
  // the result is kNoScreen with its reason (the session stops the program).
  FrontendResult Drive(ScreenPort& port, const std::function<void()>& start_program) override;

 private:
  Factory make_;
};

// kepla's front end without a script: the terminal screen, made when the program first shows a
// window. It is refused then when standard input or output is no terminal, or when the device
// clock is virtual (`virtual_clock`), which a person at the keyboard could not follow.
std::unique_ptr<Frontend> TerminalScreenOnDemand(bool virtual_clock);

}  // namespace kepla

#endif  // KEPLA_SIM_SCREEN_ON_DEMAND_H_
