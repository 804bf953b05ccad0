#include "support/sim_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace kepla_test {
namespace {

std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::atomic<int> g_counter{0};

}  // namespace

SimProcess::SimProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                       const std::filesystem::path& scratch,
                       const std::map<std::string, std::string>& env) {
  const std::string tag = std::to_string(++g_counter);
  out_file_ = scratch / (".out" + tag);
  err_file_ = scratch / (".err" + tag);

  std::vector<std::string> argv_text = {program.string()};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  // Everything the child needs is made before fork: it only calls async-signal-safe functions.
  std::vector<std::string> env_text;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (env.find(entry.substr(0, entry.find('='))) == env.end()) env_text.push_back(entry);
  }
  for (const auto& [name, value] : env) {
    if (!value.empty()) env_text.push_back(name + "=" + value);
  }
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  const std::string out_path = out_file_.string();
  const std::string err_path = err_file_.string();

  pid_ = fork();
  if (pid_ == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
}

SimProcess::~SimProcess() {
  if (pid_ > 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::error_code ec;
  std::filesystem::remove(out_file_, ec);
  std::filesystem::remove(err_file_, ec);
}

void SimProcess::Kill() {
  if (pid_ > 0 && !reaped_) kill(pid_, SIGKILL);
}

ProcessResult SimProcess::Wait(int deadline_s) {
  ProcessResult result;
  if (pid_ <= 0 || reaped_) return result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadline_s);
  int wstatus = 0;
  for (;;) {
    if (waitpid(pid_, &wstatus, WNOHANG) == pid_) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &wstatus, 0);
      result.timed_out = true;
      break;
    }
    // Polls the child; no test time passes by this.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  reaped_ = true;
  if (!result.timed_out && WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  result.out = Slurp(out_file_);
  result.err = Slurp(err_file_);
  return result;
}

ProcessResult RunProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const std::filesystem::path& scratch,
                         const std::map<std::string, std::string>& env, int deadline_s) {
  SimProcess child(program, args, scratch, env);
  return child.Wait(deadline_s);
}

}  // namespace kepla_test
