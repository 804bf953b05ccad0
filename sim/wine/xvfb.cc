#include "sim/wine/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace kepla::wine {

std::unique_ptr<Xvfb> Xvfb::Start(int width, int height, const std::filesystem::path& log,
                                  std::string* error) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *error = "Xvfb: cannot make a pipe";
    return nullptr;
  }
  HostProcess::Options options;
  // -displayfd: Xvfb picks a free display number and writes it to the descriptor once it
  // accepts clients.
  options.argv = {
      "Xvfb",      "-displayfd", std::to_string(fds[1]),
      "-screen",   "0",          std::to_string(width) + "x" + std::to_string(height) + "x24",
      "-nolisten", "tcp",        "-noreset"};
  options.env = EnvironmentWith({});
  options.output = log;
  options.keep_fd = fds[1];
  std::unique_ptr<HostProcess> process = HostProcess::Start(options, error);
  close(fds[1]);
  if (!process) {
    close(fds[0]);
    *error += " (install the xvfb package)";
    return nullptr;
  }
  std::string number;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (number.empty() || number.back() != '\n') {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) {
      if (errno == EINTR) continue;
      break;
    }
    char c;
    if (read(fds[0], &c, 1) != 1) break;
    number.push_back(c);
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
  if (number.empty()) {
    *error = "Xvfb did not start (see " + log.string() + ")";
    return nullptr;
  }
  return std::unique_ptr<Xvfb>(new Xvfb(std::move(process), ":" + number));
}

Xvfb::~Xvfb() {
  process_->Kill(SIGTERM);
  if (!process_->Wait(std::chrono::milliseconds(3000))) process_->Kill(SIGKILL);
}

}  // namespace kepla::wine
