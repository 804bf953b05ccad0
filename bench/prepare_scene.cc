#include "prepare_scene.h"

#include <cstdint>
#include <vector>

#include "res/resource.h"
#include "sim/demo_package.h"
#include "support/program_fixture.h"
#include "tools/package_file.h"

namespace kepla_bench {
namespace {

// Device time allowed for each step of the way.
constexpr std::uint64_t kStepMs = 60000;

// A package large enough for the bar to take a few dozen steps.
constexpr std::size_t kImageBytes = 1u << 20;

const wce::ControlSnapshot* Progress(const wce::ScreenSnapshot& screen) {
  for (const wce::ControlSnapshot& control : screen.controls) {
    if (control.id == IDC_PROGRESS) return &control;
  }
  return nullptr;
}

}  // namespace

PrepareScene::~PrepareScene() { program_.reset(); }

bool PrepareScene::Open(std::string* error) {
  static const std::uint8_t kProgram[] = {'M', 'Z'};
  std::vector<std::uint8_t> package = kepla::pkg::MakePackage(kepla::MakeDemoImage(kImageBytes),
                                                              kepla_test::MatchingFields(), error);
  if (package.empty()) return false;
  if (!device_.WriteFile("Storage Card/Upgrade/KEPLA.exe", kProgram) ||
      !device_.WriteFile("Storage Card/Upgrade/fw.bin", package)) {
    *error = "cannot write the program's folder";
    return false;
  }
  if (!device_.Boot(error)) return false;
  program_ = std::make_unique<kepla_test::ProgramThread>(device_.device(),
                                                         &kepla_test::ProgramProcess, u"");
  auto on_page = [](int id) {
    return [id](const wce::ScreenSnapshot& s) { return s.template_id == id && !s.message_box; };
  };
  if (!WaitFor(on_page(IDD_WELCOME)) || !Press(0) || !WaitFor(on_page(IDD_PREPARE)) || !Press(0)) {
    *error = "the wizard did not reach its Prepare page";
    return false;
  }
  screen_ = WaitFor([](const wce::ScreenSnapshot& s) {
    const wce::ControlSnapshot* bar = Progress(s);
    return s.template_id == IDD_PREPARE && bar != nullptr && bar->progress_pos.value_or(0) > 0 &&
           bar->progress_pos.value_or(0) < 100;
  });
  if (!screen_) {
    *error = "the progress bar did not move";
    return false;
  }
  return true;
}

template <typename Want>
std::optional<wce::ScreenSnapshot> PrepareScene::WaitFor(Want want) {
  const std::uint64_t deadline = device_.device().Now() + kStepMs;
  std::uint64_t seen = UINT64_MAX;  // no screen has it: the first wait returns at once
  for (;;) {
    wce::ScreenSnapshot screen = automation().WaitForChange(seen, deadline);
    if (screen.waiting_for_input && want(screen)) return screen;
    if (!screen.program_running || screen.time_ms >= deadline) return std::nullopt;
    seen = screen.generation;
  }
}

bool PrepareScene::Press(int index) {
  return automation().WaitAndApply(wce::PressSoftKey{index}, device_.device().Now() + kStepMs);
}

}  // namespace kepla_bench
