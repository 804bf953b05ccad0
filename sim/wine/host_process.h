// A host program that `kepla --platform wine` runs beside itself (Xvfb, wine, wineboot): started
// with posix_spawn (safe with threads), with its own environment and its output sent to a file,
// awaited with a real-time limit.
//
// Thread rules: one owner thread; Kill may also be called from another thread (it signals
// through a process descriptor, so it never reaches a process that has been reaped).
#ifndef KEPLA_SIM_WINE_HOST_PROCESS_H_
#define KEPLA_SIM_WINE_HOST_PROCESS_H_

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kepla::wine {

// The environment of this process with `changes` applied (an empty value removes the variable).
std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& changes);

class HostProcess {
 public:
  struct Options {
    std::vector<std::string> argv;  // argv[0] is looked up on PATH
    std::vector<std::string> env;   // "NAME=value" entries
    std::filesystem::path output;   // standard output and error go here (empty: /dev/null)
    int keep_fd = -1;               // a descriptor the child inherits at the same number
    std::filesystem::path cwd;      // its working folder (empty: this process's)
  };
  // Starts the program. Returns null and sets *error (one line) when it cannot be started.
  static std::unique_ptr<HostProcess> Start(const Options& options, std::string* error);
  // Kills the process if it still runs and reaps it.
  ~HostProcess();
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Its exit status (the code, or 128 + signal) once it has ended within `limit`; nullopt
  // otherwise (it keeps running). Later calls after an end return the same answer.
  std::optional<int> Wait(std::chrono::milliseconds limit);
  // Whether it has ended (without waiting).
  bool Ended() { return Wait(std::chrono::milliseconds(0)).has_value(); }
  // Sends `signal` (SIGTERM, SIGKILL) unless it has ended.
  void Kill(int signal);

 private:
  explicit HostProcess(pid_t pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}

  const pid_t pid_;
  const int pidfd_;  // readable once the process has ended
  std::optional<int> status_;
  std::atomic<bool> reaped_{false};
};

}  // namespace kepla::wine

#endif  // KEPLA_SIM_WINE_HOST_PROCESS_H_
