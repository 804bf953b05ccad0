// The programs running on a device folder, as a process with no booted device sees them (the
// `kepla-device` tool): what each publishes in the folder's run/, and setting their named events
// as another process on the device would.
#ifndef WINCE_RUNNING_PROGRAMS_H_
#define WINCE_RUNNING_PROGRAMS_H_

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace wce {

struct RunningWindow {
  std::uint64_t hwnd = 0;  // the window's handle value inside its process
  std::u16string window_class;
  std::u16string title;
};

struct RunningProgram {
  int pid = 0;
  std::u16string program;  // the device path of the program image
  std::vector<RunningWindow> windows;
  std::vector<std::u16string> events;  // its named events
};

// The live programs of `device_folder` (stale entries are removed on the way).
std::vector<RunningProgram> ListRunningPrograms(const std::filesystem::path& device_folder);

// Sets the named event `name` in every program running on `device_folder`. False with *error (one
// line) when none has the event.
bool SignalRunningPrograms(const std::filesystem::path& device_folder, std::u16string_view name,
                           std::string* error);

}  // namespace wce

#endif  // WINCE_RUNNING_PROGRAMS_H_
