#include "sim/stop_signals.h"

#include <pthread.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <thread>

#include "sim/stop_request.h"

namespace kepla {
namespace {

// Whether `again` repeats the request `first` rather than insisting on it: the same signal sent
// by the same process within a second, as timeout(1) sends its signal both to the program and
// to the program's process group. A second Ctrl-C comes from the kernel, not a process.
bool IsTheSameRequestAgain(const siginfo_t& first, const timespec& first_at, const siginfo_t& again,
                           const timespec& again_at) {
  const double seconds = static_cast<double>(again_at.tv_sec - first_at.tv_sec) +
                         static_cast<double>(again_at.tv_nsec - first_at.tv_nsec) / 1e9;
  return again.si_signo == first.si_signo && again.si_code == SI_USER && first.si_code == SI_USER &&
         again.si_pid == first.si_pid && seconds < 1.0;
}

}  // namespace

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
    siginfo_t first{};
    timespec first_at{};
    for (;;) {
      siginfo_t info{};
      const int signo = sigwaitinfo(&set, &info);
      if (signo < 0) continue;
      timespec now{};
      clock_gettime(CLOCK_MONOTONIC, &now);
      if (!requested) {
        requested = true;
        first = info;
        first_at = now;
        request.Request(signo);
        continue;
      }
      if (IsTheSameRequestAgain(first, first_at, info, now)) continue;
      if (terminal.saved) tcsetattr(STDIN_FILENO, TCSANOW, &terminal.modes);
      static const char kCut[] = "\nkepla: stopped at once by a second signal\n";
      (void)!write(STDERR_FILENO, kCut, sizeof kCut - 1);
      _exit(128 + signo);
    }
  }).detach();
}

}  // namespace kepla
