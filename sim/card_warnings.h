// What kepla says about a device's cards before a run, when what the program writes there would
// not reach the phone as the phone expects.
#ifndef KEPLA_SIM_CARD_WARNINGS_H_
#define KEPLA_SIM_CARD_WARNINGS_H_

#include <filesystem>
#include <string>
#include <vector>

namespace kepla {

// One line each, ending in '\n', prefixed "kepla: ": a card mapped outside device folder `dir`
// that is not on a FAT-family file system (the demo card inside the folder is a stand-in and
// needs no warning), and a card whose file system keeps neither FAT attributes nor extended
// attributes (the hidden attribute of what the program writes is then kept only in the device
// folder). Cards whose folder is missing, and a profile that cannot be read, give no line (the run
// says so itself). Reads only.
std::vector<std::string> CardWarnings(const std::filesystem::path& dir);

}  // namespace kepla

#endif  // KEPLA_SIM_CARD_WARNINGS_H_
