// Texts from files (names, package fields) made safe to print on a terminal.
#ifndef KEPLA_TOOLS_TERMINAL_TEXT_H_
#define KEPLA_TOOLS_TERMINAL_TEXT_H_

#include <string>
#include <string_view>

namespace kepla::pkg {

// `text` with every control character written as an escape, so that it cannot move the cursor,
// ring the bell or start an escape sequence: newline, carriage return and tab as \n, \r, \t,
// other C0 controls and DEL as \xHH, C1 controls as \u0080..\u009f. Bytes that are not UTF-8
// are written as \xHH too. Everything else (a backslash too) is kept as it is.
std::string ForTerminal(std::string_view text);

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_TERMINAL_TEXT_H_
