// The device screen in a terminal (ncursesw): draws the phone from automation snapshots and turns
// keys into presses.
#ifndef KEPLA_SIM_TERMINAL_SCREEN_H_
#define KEPLA_SIM_TERMINAL_SCREEN_H_

#include <optional>
#include <string>
#include <vector>

#include <wince/automation.h>
#include "sim/frontend.h"

namespace kepla {

// What a key means on the device screen.
enum class KeyCommand { kNone, kLeftSoftKey, kRightSoftKey, kOk, kRotate, kQuit, kInterrupt };

// Maps a curses key code (or character) to its command: F1 or '[' left soft key, F2 or ']' right
// soft key, Enter OK, 'r' rotate by 90 degrees, 'q' or F10 quit the simulation, Ctrl-C (when the
// terminal hands it over as a key rather than as SIGINT) interrupt.
KeyCommand CommandForKey(int key);

// What a terminal of `cols` x `rows` shows when it is smaller than the `need_cols` x `need_rows`
// the device screen needs: lines of at most `cols` characters, no more than `rows` of them when
// that can be done at all (a shorter wording is used when the full one does not fit).
std::vector<std::string> TooSmallLines(int need_cols, int need_rows, int cols, int rows);
// The key line shown under the device.
extern const char kKeyHelp[];
// Asked when q is pressed while a thread of the program is at work (the image is being written
// or checked); y quits, any other key goes on.
extern const char kQuitQuestion[];

// The interactive frontend: a host thread that polls the screen (it is no device thread, so a
// virtual clock runs on without it) and applies the keys a person presses.
class TerminalScreen : public Frontend {
 public:
  // Whether standard input and output are a terminal; otherwise sets *why to what is needed.
  static bool Available(std::string* why);

  // Starts the program, then shows its screen until it ends (kProgramEnded) or the user quits
  // (kQuit; the session stops the program). Ctrl-C read as a key is sent to this process as
  // SIGINT, which the session's stop request turns into the program's end.
  FrontendResult Drive(ScreenPort& port, const std::function<void()>& start_program) override;

 private:
  void Draw(const wce::ScreenSnapshot& snap, const std::string& note);
};

}  // namespace kepla

#endif  // KEPLA_SIM_TERMINAL_SCREEN_H_
