// A virtual X display for Win32 windows that nobody needs to see: Xvfb on a display number it
// picks itself, with one screen of the device's size.
#ifndef KEPLA_SIM_WINE_XVFB_H_
#define KEPLA_SIM_WINE_XVFB_H_

#include <filesystem>
#include <memory>
#include <string>

#include "sim/wine/host_process.h"

namespace kepla::wine {

class Xvfb {
 public:
  // Starts Xvfb with a `width` x `height` screen; waits (up to 20 s) until it accepts clients.
  // Its messages go to `log`. Returns null and sets *error when it cannot be started.
  static std::unique_ptr<Xvfb> Start(int width, int height, const std::filesystem::path& log,
                                     std::string* error);
  // Stops the server.
  ~Xvfb();

  // The value for DISPLAY (":N").
  const std::string& display() const { return display_; }

 private:
  Xvfb(std::unique_ptr<HostProcess> process, std::string display)
      : process_(std::move(process)), display_(std::move(display)) {}

  std::unique_ptr<HostProcess> process_;
  std::string display_;
};

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_XVFB_H_
