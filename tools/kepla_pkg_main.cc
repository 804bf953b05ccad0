// kepla-pkg: firmware packages off the device.
#include <unistd.h>

#include <iostream>

#include "tools/pending_temporaries.h"
#include "tools/pkg_cli.h"
#include "tools/standard_streams.h"

int main(int argc, char** argv) {
  kepla::pkg::KeepStandardStreamsOpen();
  // An output being written is removed when the user interrupts (or the system ends) the run.
  kepla::pkg::RemoveTemporariesOnSignals();
  const int code =
      kepla::pkg::RunPkgCli(argc, argv, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
  // A result that did not reach its reader (a full disk behind >, a closed pipe) is a failure.
  return kepla::pkg::CheckStandardOutput("kepla-pkg", code);
}
