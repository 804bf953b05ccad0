// What kepla checks before the program starts, so that a run refused for its options changes
// nothing on the device or the host: where the transcript may go, and whether the run will need
// a screen.
#ifndef KEPLA_SIM_RUN_CHECKS_H_
#define KEPLA_SIM_RUN_CHECKS_H_

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <wince/profile.h>

namespace kepla {

// The host files a run reads or changes: the device folder (device.json, fs/, run/, ...), each
// card's host folder (which may lie outside it), and the script file.
struct RunFiles {
  std::filesystem::path device_folder;  // canonical
  struct Card {
    std::string name;            // UTF-8
    std::filesystem::path host;  // canonical when it exists
  };
  std::vector<Card> cards;
  std::optional<std::filesystem::path> script_file;
};

RunFiles FilesOfRun(const std::filesystem::path& device_folder, const wce::DeviceProfile& profile,
                    const std::optional<std::string>& script_file);

// Why a transcript at `given` would overwrite a file of the run, as the end of a line ("lies in
// the device folder D; choose a file outside the device"); nullopt when it would not. Links are
// followed; a file that does not exist yet is judged by the folder it would be made in. Reads only.
std::optional<std::string> TranscriptClash(const std::filesystem::path& given,
                                           const RunFiles& files);
// The same for the transcript file already opened as `fd` (not owned), judged by what was
// opened: its device and inode against the script file's and (for a file with more than one
// name) against every file of the device folder and the cards, and where it lies.
std::optional<std::string> OpenedTranscriptClash(int fd, const std::filesystem::path& given,
                                                 const RunFiles& files);

// Whether the program, started with `command_line`, will show a window: every command line
// does but "uninstall" (which closes another copy) and "install" while the prepared image lies
// at the root of the program's card (which deletes it). Reads the host only.
bool RunShowsAWindow(const std::u16string& command_line, const std::filesystem::path& device_folder,
                     const wce::DeviceProfile& profile);

}  // namespace kepla

#endif  // KEPLA_SIM_RUN_CHECKS_H_
