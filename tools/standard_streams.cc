#include "tools/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

namespace kepla::pkg {

void KeepStandardStreamsOpen() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is taken: this one, as the streams below it are open by now.
    const int null = open("/dev/null", O_RDONLY);
    if (null != fd && null >= 0) close(null);
  }
}

int CheckStandardOutput(const char* program, int code) {
  errno = 0;
  std::cout.flush();
  if (std::cout) return code;
  // A stream may fail without a system error to name: then say what is known.
  const std::string reason = errno != 0 ? std::strerror(errno) : "short write (disk full?)";
  std::cerr << program << ": standard output: cannot be written: " << reason << '\n';
  return code == 0 ? 2 : code;
}

}  // namespace kepla::pkg
