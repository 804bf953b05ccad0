// The front end of a Wine run on the user's own display: the person uses the program's real
// windows, and kepla only waits for the program to end.
#ifndef KEPLA_SIM_WINE_DESKTOP_FRONTEND_H_
#define KEPLA_SIM_WINE_DESKTOP_FRONTEND_H_

#include "sim/frontend.h"
#include "sim/screen_port.h"

namespace kepla::wine {

class DesktopFrontend final : public Frontend {
 public:
  FrontendResult Drive(ScreenPort& port, const std::function<void()>& start_program) override {
    start_program();
    while (!port.WaitForEnd(port.Now() + 60000)) {
    }
    return FrontendResult{};
  }
};

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_DESKTOP_FRONTEND_H_
