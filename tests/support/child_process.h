// Another host process for tests that need a second program on the same device: started with
// posix_spawn (safe in a threaded test), its standard output readable line by line, its exit
// awaited under a real-time limit that fails the test instead of hanging.
#ifndef KEPLA_TESTS_SUPPORT_CHILD_PROCESS_H_
#define KEPLA_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kepla_test {

class ChildProcess {
 public:
  // Starts `program` with `args` (argv[0] is added). started() tells whether it ran.
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  // Kills the process if it still runs, and reaps it.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Reads its output until a line equal to `line` arrives. False when the output ends or `limit`
  // passes first.
  bool WaitForLine(const std::string& line, std::chrono::milliseconds limit);
  // Its exit status (the code, or 128 + signal), or nullopt when it has not ended within
  // `limit` (it is then killed). Later calls return the same answer.
  std::optional<int> Wait(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
  int out_ = -1;    // read end of its standard output
  int pidfd_ = -1;  // readable once it has ended
  std::string buffered_;
  bool reaped_ = false;
  std::optional<int> status_;  // set once it has ended by itself
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_CHILD_PROCESS_H_
