#include "sim/stop_signals.h"

#include <pthread.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "sim/stop_request.h"

namespace kepla {

void HandleStopSignals(StopRequest& request) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  // The terminal's modes as kepla found them, to put back when a second signal cuts the shutdown
  // short (the device screen may have the terminal in its own modes then).
  struct Terminal {
    bool saved = false;
    termios modes{};
  } terminal;
  terminal.saved = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &terminal.modes) == 0;

  std::thread([set, terminal, &request] {
    bool requested = false;
    for (;;) {
      int signo = 0;
      if (sigwait(&set, &signo) != 0) continue;
      if (!requested) {
        requested = true;
        request.Request(signo);
        continue;
      }
      if (terminal.saved) tcsetattr(STDIN_FILENO, TCSANOW, &terminal.modes);
      static const char kCut[] = "\nkepla: stopped at once by a second signal\n";
      (void)!write(STDERR_FILENO, kCut, sizeof kCut - 1);
      _exit(128 + signo);
    }
  }).detach();
}

}  // namespace kepla
