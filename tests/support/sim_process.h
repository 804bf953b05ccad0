// Runs a built program of the project as a child process, with a deadline, for tests of the
// command-line programs.
#ifndef KEPLA_TESTS_SUPPORT_SIM_PROCESS_H_
#define KEPLA_TESTS_SUPPORT_SIM_PROCESS_H_

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kepla_test {

struct ProcessResult {
  int status = -1;         // exit status; -1 when it did not exit normally
  bool timed_out = false;  // killed at the deadline
  std::string out;
  std::string err;
};

// A child process running `program` with `args` (stdin from /dev/null). `env` entries are set
// (or, with an empty value, removed) in the child's environment. Output is kept in files under
// `scratch` until Wait collects it.
class SimProcess {
 public:
  SimProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
             const std::filesystem::path& scratch,
             const std::map<std::string, std::string>& env = {});
  // Kills the child if it still runs.
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Waits at most `deadline_s` seconds of real time for the child to exit, then kills it.
  ProcessResult Wait(int deadline_s = 120);
  // Ends the child at once (SIGKILL), as a crash would.
  void Kill();

 private:
  int pid_ = -1;
  bool reaped_ = false;
  std::filesystem::path out_file_;
  std::filesystem::path err_file_;
};

// Runs the child to its end (see SimProcess), killing it after `deadline_s` seconds.
ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::filesystem::path& scratch,
                         const std::map<std::string, std::string>& env = {}, int deadline_s = 120);

#ifdef KEPLA_BINARY_DIR
// A built program: KEPLA_BINARY_DIR/sim/<name>.
inline std::filesystem::path SimProgram(const std::string& name) {
  return std::filesystem::path(KEPLA_BINARY_DIR) / "sim" / name;
}
#endif

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_SIM_PROCESS_H_
