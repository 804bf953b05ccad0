// What a program run left on the device's cards: the files of each card's root folder and of the
// program's folder, listed before the run and after it, and the difference told in words. Used
// when a run is cut short (the user quit, or no screen could be shown), so that the person knows
// what the program had already done there.
#ifndef KEPLA_SIM_CARD_FILES_H_
#define KEPLA_SIM_CARD_FILES_H_

#include <cstdint>
#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <wince/device_path.h>

namespace kepla {

struct CardFile {
  std::uint64_t bytes = 0;
  bool hidden = false;
  std::filesystem::file_time_type written{};  // the host's modification time
};

// Device path ("\Storage Card\407_QMR_SD.bin", UTF-8) -> file.
using CardFiles = std::map<std::string, CardFile>;

// The files (not folders) the device sees in the root folder of every card and in the folder of
// the program at device path `program`, read from the host. `volumes` are the device's, as its
// file system maps them (FileSystem::volumes(): the root first, then the cards). A card whose
// folder is missing lists nothing. Reads only host folders: safe while the program runs, but what
// it is writing may be caught half way. `device_folder`, when given, is where the attributes that a
// card cannot keep are recorded (wce::CardAttributes).
CardFiles ListCardFiles(std::span<const wce::Volume> volumes, std::u16string_view program,
                        const std::filesystem::path& device_folder = {});

struct CardChange {
  enum class Kind { kDeleted, kWritten, kRewritten };  // gone; new; size or time changed
  Kind kind = Kind::kWritten;
  std::string path;
  CardFile file;  // as it is after (before, for kDeleted)
};

// The changes from `before` to `after`, in path order.
std::vector<CardChange> CompareCardFiles(const CardFiles& before, const CardFiles& after);

// A file as people read it: "\Storage Card\407_QMR_SD.bin (hidden, 4,096 bytes)".
std::string DescribeCardFile(const std::string& path, const CardFile& file);

// "1,234 bytes".
std::string ByteCount(std::uint64_t bytes);

}  // namespace kepla

#endif  // KEPLA_SIM_CARD_FILES_H_
