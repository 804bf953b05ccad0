// How the kepla programs end on a command-line error: one line on stderr and exit status 2.
#ifndef KEPLA_SIM_CLI_ERRORS_H_
#define KEPLA_SIM_CLI_ERRORS_H_

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

namespace kepla {

// Parses argv into `app`. Returns -1 when the program should go on; otherwise the exit status:
// 0 after printing the help that was asked for, 2 after a one-line error.
inline int ParseCommandLine(CLI::App& app, int argc, char** argv) {
  try {
    app.parse(argc, argv);
    return -1;
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);  // prints the help of the (sub)command asked about
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::string what = e.what();
    while (!what.empty() && what.back() == '\n') what.pop_back();
    std::cerr << app.get_name() << ": " << what << " (see " << app.get_name() << " --help)\n";
    return 2;
  }
}

}  // namespace kepla

#endif  // KEPLA_SIM_CLI_ERRORS_H_
