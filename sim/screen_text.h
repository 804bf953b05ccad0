// A device screen as plain lines of text, for people: what `kepla` prints when a scripted action
// was not offered in time.
#ifndef KEPLA_SIM_SCREEN_TEXT_H_
#define KEPLA_SIM_SCREEN_TEXT_H_

#include <string>

#include <wince/automation.h>

namespace kepla {

// Describes the snapshot in UTF-8 lines, each ending in '\n' and starting with `indent`: the
// window title and template, every visible text and progress bar, the soft keys (disabled ones
// marked) and an open message box. Pure.
std::string DescribeScreen(const wce::ScreenSnapshot& snap, const std::string& indent = "  ");

}  // namespace kepla

#endif  // KEPLA_SIM_SCREEN_TEXT_H_
