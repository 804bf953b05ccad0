// kepla-pkg: firmware packages off the device.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "tools/pending_temporaries.h"
#include "tools/pkg_cli.h"

int main(int argc, char** argv) {
  // An output being written is removed when the user interrupts (or the system ends) the run.
  kepla::pkg::RemoveTemporariesOnSignals();
  int code = kepla::pkg::RunPkgCli(argc, argv, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
  // A result that did not reach its reader (a full disk behind >, a closed pipe) is a failure.
  errno = 0;
  std::cout.flush();
  if (!std::cout) {
    // A stream may fail without a system error to name: then say what is known.
    const std::string reason = errno != 0 ? std::strerror(errno) : "short write (disk full?)";
    std::cerr << "kepla-pkg: standard output: cannot be written: " << reason << '\n';
    if (code == kepla::pkg::kExitOk) code = kepla::pkg::kExitError;
  }
  return code;
}
