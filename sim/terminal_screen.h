// The device screen in a terminal (ncursesw): draws the phone from automation snapshots and turns
// keys into presses.
#ifndef KEPLA_SIM_TERMINAL_SCREEN_H_
#define KEPLA_SIM_TERMINAL_SCREEN_H_

#include <optional>
#include <string>

#include "device/automation.h"

namespace wce {
class Device;
}

namespace kepla {

// What a key means on the device screen.
enum class KeyCommand { kNone, kLeftSoftKey, kRightSoftKey, kOk, kRotate, kQuit };

// Maps a curses key code (or character) to its command: F1 or '[' left soft key, F2 or ']' right
// soft key, Enter OK, 'r' rotate by 90 degrees, 'q' or F10 quit the simulation.
KeyCommand CommandForKey(int key);

// The key line shown under the device.
extern const char kKeyHelp[];

class TerminalScreen {
 public:
  // Whether standard input and output are a terminal; otherwise sets *why to what is needed.
  static bool Available(std::string* why);

  explicit TerminalScreen(wce::Device& device) : device_(device) {}

  // Shows the screen until the program ends or the user quits (then the program is stopped).
  // Call from a host thread while the program runs on its own thread. Returns true when the
  // user quit.
  bool Run();

 private:
  void Draw(const wce::ScreenSnapshot& snap, const std::string& note);

  wce::Device& device_;
};

}  // namespace kepla

#endif  // KEPLA_SIM_TERMINAL_SCREEN_H_
