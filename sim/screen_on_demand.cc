#include "sim/screen_on_demand.h"

#include "sim/screen_port.h"
#include "sim/terminal_screen.h"

namespace kepla {

FrontendResult ScreenOnDemand::Drive(ScreenPort& port, const std::function<void()>& start_program) {
  start_program();
  const wce::ScreenSnapshot shown = port.WaitForWindow(UINT64_MAX);
  if (!shown.program_running) return FrontendResult{};  // it ended without one
  std::string why;
  std::unique_ptr<Frontend> frontend = make_(&why);
  if (frontend == nullptr) {
    FrontendResult result;
    result.outcome = FrontendResult::Outcome::kNoScreen;
    result.reason = why;
    result.screen = shown;
    return result;
  }
  // The program runs already.
  return frontend->Drive(port, [] {});
}

std::unique_ptr<Frontend> TerminalScreenOnDemand(bool virtual_clock) {
  return std::make_unique<ScreenOnDemand>(
      [virtual_clock](std::string* why) -> std::unique_ptr<Frontend> {
        if (!TerminalScreen::Available(why)) return nullptr;
        if (virtual_clock) {
          *why = "--clock virtual needs --script; the device screen runs on real or xN time";
          return nullptr;
        }
        return std::make_unique<TerminalScreen>();
      });
}

}  // namespace kepla
