// The layer's resource parsers on the program's resources: its whole .res image with every dialog
// template, menu and string block in it (what a module costs to load and to open all its pages
// from). Linked into kepla_bench; it reads the parsers' internal headers, hence its place here.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "res/embedded.h"
#include "resource/dialog_template.h"
#include "resource/menu_template.h"
#include "resource/res_file.h"
#include "resource/string_table.h"

namespace wce {
namespace {

// Parses every resource of the program's image; false when any of them does not parse.
bool ParseEverything(int* parsed) {
  auto entries = ParseResFile(kepla::ProgramResources());
  if (!entries) return false;
  *parsed = 0;
  for (const ResEntry& entry : *entries) {
    if (entry.type.is_name) continue;
    bool ok = true;
    switch (entry.type.ordinal) {
      case kTypeDialog: {
        auto dialog = ParseDialogTemplate(entry.data);
        ok = dialog.has_value();
        benchmark::DoNotOptimize(dialog);
        break;
      }
      case kTypeMenu: {
        auto menu = ParseMenu(entry.data);
        ok = menu.has_value();
        benchmark::DoNotOptimize(menu);
        break;
      }
      case kTypeString: {
        auto block = ParseStringBlock(entry.data);
        ok = block.has_value();
        benchmark::DoNotOptimize(block);
        break;
      }
      default:
        continue;
    }
    if (!ok) return false;
    ++*parsed;
  }
  return true;
}

void BM_ParseProgramResources(benchmark::State& state) {
  int parsed = 0;
  for (auto _ : state) {
    if (!ParseEverything(&parsed)) {
      state.SkipWithError("a resource of the program does not parse");
      break;
    }
  }
  state.counters["resources"] = parsed;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(kepla::ProgramResources().size()));
}
BENCHMARK(BM_ParseProgramResources)->MinTime(0.2);

}  // namespace
}  // namespace wce
