// kepla-pkg: firmware packages off the device.
#include <unistd.h>

#include <iostream>

#include "tools/pkg_cli.h"

int main(int argc, char** argv) {
  return kepla::pkg::RunPkgCli(argc, argv, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0);
}
