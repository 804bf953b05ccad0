#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace kepla_test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point until) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipe_fds[1]);
  out_ = pipe_fds[0];
  if (rc != 0) return;
  pid_ = pid;
  pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    int status;
    ::waitpid(pid_, &status, 0);
  }
  if (out_ >= 0) ::close(out_);
  if (pidfd_ >= 0) ::close(pidfd_);
}

bool ChildProcess::WaitForLine(const std::string& line, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  for (;;) {
    std::size_t end;
    while ((end = buffered_.find('\n')) != std::string::npos) {
      std::string got = buffered_.substr(0, end);
      buffered_.erase(0, end + 1);
      if (got == line) return true;
    }
    pollfd p{out_, POLLIN, 0};
    const int rc = ::poll(&p, 1, MillisLeft(until));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) return false;
    char chunk[256];
    const ssize_t n = ::read(out_, chunk, sizeof(chunk));
    if (n <= 0) return false;
    buffered_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
  if (reaped_ || pid_ <= 0 || pidfd_ < 0) return status_;
  pollfd p{pidfd_, POLLIN, 0};
  int rc;
  do {
    rc = ::poll(&p, 1, static_cast<int>(limit.count()));
  } while (rc < 0 && errno == EINTR);
  if (rc <= 0) ::kill(pid_, SIGKILL);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  reaped_ = true;
  if (rc > 0) status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_;
}

}  // namespace kepla_test
