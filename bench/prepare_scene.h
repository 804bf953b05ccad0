// The wizard itself, run on a BenchDevice up to its Prepare page in the middle of the
// extraction: the page's text says "Preparing data, please wait…", both soft keys are disabled
// and the progress bar is part way. The scene then stands still: the worker's settle phase
// waits on the virtual clock, which cannot move while the benchmark's thread runs.
#ifndef KEPLA_BENCH_PREPARE_SCENE_H_
#define KEPLA_BENCH_PREPARE_SCENE_H_

#include <memory>
#include <optional>
#include <string>

#include "bench_device.h"
#include <wince/automation.h>
#include "support/program_thread.h"

namespace kepla_bench {

class PrepareScene {
 public:
  PrepareScene() = default;
  // Stops the program, then shuts the device down.
  ~PrepareScene();
  PrepareScene(const PrepareScene&) = delete;
  PrepareScene& operator=(const PrepareScene&) = delete;

  // Boots, starts the wizard, presses Next on the Welcome and the Prepare page, and waits (in
  // device time) until the progress bar has moved. Returns false and sets *error otherwise.
  bool Open(std::string* error);

  wce::DeviceScreen& automation() { return device_.device().screen(); }
  // The screen at the moment the scene was reached.
  const wce::ScreenSnapshot& screen() const { return *screen_; }

 private:
  // Waits for a screen, offered while the program waits for input, that `want` accepts.
  template <typename Want>
  std::optional<wce::ScreenSnapshot> WaitFor(Want want);
  bool Press(int index);

  BenchDevice device_;
  std::unique_ptr<kepla_test::ProgramThread> program_;
  std::optional<wce::ScreenSnapshot> screen_;
};

}  // namespace kepla_bench

#endif  // KEPLA_BENCH_PREPARE_SCENE_H_
