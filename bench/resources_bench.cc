// The program's texts looked up through LoadStringW as the program does (a null buffer: a pointer
// into the table). Parsing the whole image is measured with the layer's parsers
// (wince/bench/resources_parse_bench.cc).
#include <windows.h>

#include <benchmark/benchmark.h>

#include <string>

#include "bench_device.h"
#include "res/resource.h"

namespace kepla_bench {
namespace {

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
