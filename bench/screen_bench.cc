// The screen as hosts see it, on the wizard's Prepare page part way through the extraction:
// building a snapshot from the window system (what the terminal screen and the transcript do
// at every change), and drawing a snapshot into terminal cells.
#include <benchmark/benchmark.h>

#include <string>

#include "prepare_scene.h"
#include "sim/screen_render.h"

namespace kepla_bench {
namespace {

void BM_Snapshot(benchmark::State& state) {
  PrepareScene scene;
  std::string error;
  if (!scene.Open(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  for (auto _ : state) {
    wce::ScreenSnapshot snapshot = scene.automation().Snapshot();
    benchmark::DoNotOptimize(snapshot);
  }
  state.counters["controls"] = static_cast<double>(scene.screen().controls.size());
}
BENCHMARK(BM_Snapshot)->MinTime(0.2);

void BM_RenderScreen(benchmark::State& state) {
  wce::ScreenSnapshot snapshot;
  {
    PrepareScene scene;
    std::string error;
    if (!scene.Open(&error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    snapshot = scene.screen();
  }
  int cells = 0;
  for (auto _ : state) {
    kepla::CellGrid grid = kepla::RenderScreen(snapshot);
    cells = grid.cols() * grid.rows();
    benchmark::DoNotOptimize(grid);
  }
  state.counters["cells"] = cells;
}
BENCHMARK(BM_RenderScreen)->MinTime(0.2);

}  // namespace
}  // namespace kepla_bench
