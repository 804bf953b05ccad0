// How the kepla programs end on a command-line error: one line on stderr and exit status 2.
#ifndef KEPLA_SIM_CLI_ERRORS_H_
#define KEPLA_SIM_CLI_ERRORS_H_

#include <CLI/CLI.hpp>

#include <iostream>
#include <ostream>
#include <string>
#include <vector>

namespace kepla {

// Parses argv into `app`. Returns -1 when the program should go on; otherwise the exit status:
// 0 after printing the help that was asked for on `out`, 2 after a one-line error on `err`
// ("NAME: what (see NAME --help)"). For an app that wants a command, a first word that names
// none is reported as an unknown command (or option), naming it.
inline int ParseCommandLine(CLI::App& app, int argc, const char* const* argv, std::ostream& out,
                            std::ostream& err) {
  try {
    app.parse(argc, argv);
    return -1;
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);  // prints the help of the (sub)command asked about
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    std::string what = e.what();
    const std::vector<std::string> left = app.remaining();
    if (app.get_require_subcommand_min() > 0 && app.get_subcommands().empty() && !left.empty() &&
        !left.front().empty()) {
      what =
          (left.front()[0] == '-' ? "unknown option '" : "unknown command '") + left.front() + "'";
    }
    while (!what.empty() && what.back() == '\n') what.pop_back();
    for (char& c : what) {
      if (c == '\n') c = ' ';
    }
    err << app.get_name() << ": " << what << " (see " << app.get_name() << " --help)\n";
    return 2;
  }
}

inline int ParseCommandLine(CLI::App& app, int argc, char** argv) {
  return ParseCommandLine(app, argc, argv, std::cout, std::cerr);
}

}  // namespace kepla

#endif  // KEPLA_SIM_CLI_ERRORS_H_
