// The program's resources: parsing its whole .res image with every dialog template, menu and
// string block in it (what a module costs to load and to open all its pages from), and looking
// its texts up through LoadStringW as the program does (a null buffer: a pointer into the table).
#include <windows.h>

#include <benchmark/benchmark.h>

#include <string>

#include "bench_device.h"
#include "res/embedded.h"
#include "res/resource.h"
#include "resource/dialog_template.h"
#include "resource/menu_template.h"
#include "resource/res_file.h"
#include "resource/string_table.h"

namespace kepla_bench {
namespace {

// Parses every resource of the program's image; false when any of them does not parse.
bool ParseEverything(int* parsed) {
  auto entries = wce::ParseResFile(kepla::ProgramResources());
  if (!entries) return false;
  *parsed = 0;
  for (const wce::ResEntry& entry : *entries) {
    if (entry.type.is_name) continue;
    bool ok = true;
    switch (entry.type.ordinal) {
      case wce::kTypeDialog: {
        auto dialog = wce::ParseDialogTemplate(entry.data);
        ok = dialog.has_value();
        benchmark::DoNotOptimize(dialog);
        break;
      }
      case wce::kTypeMenu: {
        auto menu = wce::ParseMenu(entry.data);
        ok = menu.has_value();
        benchmark::DoNotOptimize(menu);
        break;
      }
      case wce::kTypeString: {
        auto block = wce::ParseStringBlock(entry.data);
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

void BM_LoadStringLookups(benchmark::State& state) {
  BenchDevice device;
  std::string error;
  if (!device.Boot(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  const HINSTANCE instance = device.instance();
  for (auto _ : state) {
    bool found = true;
    for (UINT id = IDS_NEXT; id <= IDS_EXT_ROM_VERSION; id++) {
      INT_PTR text = LoadStringW(instance, id, NULL, 0);
      found = found && text != 0;
      benchmark::DoNotOptimize(text);
    }
    if (!found) {
      state.SkipWithError("a string of the program is missing");
      break;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                          (IDS_EXT_ROM_VERSION - IDS_NEXT + 1));
}
BENCHMARK(BM_LoadStringLookups)->MinTime(0.2);

}  // namespace
}  // namespace kepla_bench
