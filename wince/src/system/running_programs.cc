// The run-folder queries of a process with no booted device, over the run folder.
#include <wince/running_programs.h>

#include "system/run_folder.h"

namespace wce {

std::vector<RunningProgram> ListRunningPrograms(const std::filesystem::path& device_folder) {
  std::vector<RunningProgram> programs;
  for (PublishedProgram& p : RunFolder::ListPrograms(device_folder)) {
    RunningProgram program{p.pid, std::move(p.program), {}, std::move(p.events)};
    for (PublishedWindow& w : p.windows) {
      program.windows.push_back({w.hwnd, std::move(w.window_class), std::move(w.title)});
    }
    programs.push_back(std::move(program));
  }
  return programs;
}

bool SignalRunningPrograms(const std::filesystem::path& device_folder, std::u16string_view name,
                           std::string* error) {
  return RunFolder::SignalEventInFolder(device_folder, name, error);
}

}  // namespace wce
