// The kepla-pkg command line, callable in-process.
#ifndef KEPLA_TOOLS_PKG_CLI_H_
#define KEPLA_TOOLS_PKG_CLI_H_

#include <ostream>

namespace kepla::pkg {

// Exit codes of kepla-pkg.
constexpr int kExitOk = 0;
constexpr int kExitDifferent = 1;  // verify: the image is not the package's image
constexpr int kExitError = 2;      // usage, input or output error; nothing was written

// Runs `kepla-pkg ARGS...` (argv[0] is the program name). Results go to `out`, errors to `err`
// as one line ("kepla-pkg: ...") naming the file or flag and the reason; a progress bar goes to
// `err` only when `err_is_terminal`. Texts taken from files and paths are printed with their
// control characters escaped (terminal_text.h). Returns the exit code.
int RunPkgCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
              bool err_is_terminal);

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_PKG_CLI_H_
