// What gives the running program its input: the headless script driver, or the terminal screen.
#ifndef KEPLA_SIM_FRONTEND_H_
#define KEPLA_SIM_FRONTEND_H_

#include <functional>
#include <string>

#include <wince/automation.h>

namespace kepla {

class ScreenPort;

struct FrontendResult {
  enum class Outcome {
    kProgramEnded,  // the program ended by itself
    kStuck,         // the program did not offer what was wanted in time: `reason`, `screen`
    kQuit,          // the user gave up on the program; the session stops it
    kNoScreen,      // the program showed a window that nothing can show: `reason`; the session
                    // stops it
  };
  Outcome outcome = Outcome::kProgramEnded;
  std::string reason;          // one line, without the program name
  wce::ScreenSnapshot screen;  // kStuck: what the screen showed at that moment
  // kQuit: the program still had a thread at work (the image was being written or checked), so
  // what it wrote is unverified.
  bool busy = false;
  // kQuit: the signal that stopped the run (SIGINT, SIGTERM, SIGHUP), or 0 when the user quit
  // from the screen.
  int signal = 0;
};

class Frontend {
 public:
  virtual ~Frontend() = default;
  // Drives the program seen through `port` until it ends, or until the frontend gives up. Called
  // once, on the session's host thread, before the program starts: the frontend makes itself
  // ready (a frontend that must count for the virtual clock holds it first), then calls
  // `start_program`, which returns once the program runs (or has already ended). With kStuck or
  // kQuit the program may still be running; the session stops it.
  virtual FrontendResult Drive(ScreenPort& port, const std::function<void()>& start_program) = 0;
};

}  // namespace kepla

#endif  // KEPLA_SIM_FRONTEND_H_
