#include "sim/wine/host_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

extern char** environ;

namespace kepla::wine {

std::vector<std::string> EnvironmentWith(const std::map<std::string, std::string>& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    if (changes.count(name) == 0) env.push_back(std::move(entry));
  }
  for (const auto& [name, value] : changes) {
    if (!value.empty()) env.push_back(name + "=" + value);
  }
  return env;
}

std::unique_ptr<HostProcess> HostProcess::Start(const Options& options, std::string* error) {
  if (options.argv.empty()) {
    *error = "no program to start";
    return nullptr;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string output = options.output.empty() ? "/dev/null" : options.output.string();
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  if (!options.cwd.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, options.cwd.c_str());
  }
  if (options.keep_fd >= 0) {
    // dup2 onto itself clears close-on-exec in the child.
    posix_spawn_file_actions_adddup2(&actions, options.keep_fd, options.keep_fd);
  }
  // The same process group as kepla: a terminal's Ctrl-C ends both.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);

  std::vector<char*> argv;
  for (const std::string& a : options.argv) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : options.env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  pid_t pid = -1;
  const int rc = posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    *error = options.argv[0] + ": " + std::strerror(rc);
    return nullptr;
  }
  const int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  return std::unique_ptr<HostProcess>(new HostProcess(pid, pidfd));
}

HostProcess::~HostProcess() {
  if (!Ended()) {
    Kill(SIGKILL);
    Wait(std::chrono::milliseconds(5000));
  }
  if (pidfd_ >= 0) close(pidfd_);
}

std::optional<int> HostProcess::Wait(std::chrono::milliseconds limit) {
  if (status_) return status_;
  if (pidfd_ >= 0) {
    pollfd p{pidfd_, POLLIN, 0};
    int rc;
    do {
      rc = poll(&p, 1, static_cast<int>(limit.count()));
    } while (rc < 0 && errno == EINTR);
    if (rc <= 0) return std::nullopt;
  }
  int status = 0;
  pid_t got;
  do {
    got = waitpid(pid_, &status, pidfd_ >= 0 ? 0 : WNOHANG);
  } while (got < 0 && errno == EINTR);
  if (got != pid_) return std::nullopt;
  reaped_ = true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_;
}

void HostProcess::Kill(int signal) {
  if (reaped_) return;
  if (pidfd_ >= 0) {
    syscall(SYS_pidfd_send_signal, pidfd_, signal, nullptr, 0);
  } else {
    kill(pid_, signal);
  }
}

}  // namespace kepla::wine
