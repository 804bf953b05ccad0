// The whole extraction (DataUnpacker::UnpackData) of packages of 1, 16 and 64 MiB on a booted
// device with the virtual clock: the worker copies the package into the image while this thread
// runs the wait loop; the eleven-second settle costs no real time. Measures bytes of package per
// second of real time, and holds the copy to its budgets:
//   - the worker allocates one chunk buffer of at most 32767 bytes and no other data buffer;
//   - the progress bar is stepped at most 91 times (one step after the first block, then about
//     90 across the copy), whatever the size; packages of 16 MiB and more take at least 80 steps.
// A broken budget ends the benchmark with an error.
#include <windows.h>
#include <commctrl.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "allocation_count.h"
#include "bench_device.h"
#include "package/data_unpacker.h"
#include "sim/demo_package.h"
#include "tools/package_file.h"

namespace kepla_bench {
namespace {

constexpr std::size_t kChunkBudget = 0x7FFF;
constexpr int kMostSteps = 91;
constexpr int kFewestStepsOfLargePackages = 80;
constexpr std::size_t kLargePackage = 16u << 20;
// The first block and the trailer, which are not part of the chunked copy.
constexpr std::size_t kFirstBlockAndTrailer = 2048 + 512;

// A progress bar that only counts the steps it is given. Its window belongs to this thread; the
// worker's sends are dispatched by the wait loop.
std::atomic<int> g_steps{0};

LRESULT CALLBACK CountingBarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == PBM_STEPIT) {
    g_steps.fetch_add(1, std::memory_order_relaxed);
    return 0;
  }
  if (message >= PBM_SETRANGE && message <= PBM_GETPOS) return 0;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

HWND MakeCountingBar() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &CountingBarProc;
  wc.lpszClassName = TEXT("CountingBar");
  if (RegisterClassW(&wc) == 0) return NULL;
  return CreateWindowExW(0, TEXT("CountingBar"), TEXT(""), WS_VISIBLE, 0, 0, 100, 10, NULL, NULL,
                         NULL, NULL);
}

// Puts the program and a package of `bytes` bytes in the program's folder.
bool PutProgramAndPackage(BenchDevice& device, std::size_t bytes, std::string* error) {
  static const std::uint8_t kProgram[] = {'M', 'Z'};
  std::vector<std::uint8_t> package = kepla::pkg::MakePackage(
      kepla::MakeDemoImage(bytes - kepla::pkg::kTrailerSize), kepla::DemoFields(), error);
  if (package.empty()) return false;
  if (!device.WriteFile("Storage Card/Upgrade/KEPLA.exe", kProgram) ||
      !device.WriteFile("Storage Card/Upgrade/fw.bin", package)) {
    *error = "cannot write the package";
    return false;
  }
  return true;
}

struct Run {
  BOOL succeeded = FALSE;
  double seconds = 0;
  DWORD device_ms = 0;
  int steps = 0;
  AllocationTally worker;
  AllocationTally ui;
};

Run ExtractOnce(HWND bar) {
  auto unpacker = std::make_unique<DataUnpacker>();
  unpacker->Load();
  g_steps = 0;
  Run run;
  AllocationWatch watch;
  DWORD device_start = GetTickCount();
  auto start = std::chrono::steady_clock::now();
  run.succeeded = unpacker->UnpackData(bar);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.device_ms = GetTickCount() - device_start;
  run.steps = g_steps.load();
  run.worker = watch.Others();
  run.ui = watch.Own();
  return run;
}

// Why `run` breaks a budget, or null.
const char* BrokenBudget(const Run& run, std::size_t package_bytes) {
  if (!run.succeeded) return "the extraction failed";
  if (run.worker.large != 1) return "the worker allocated other than one data buffer";
  if (run.worker.largest > kChunkBudget) return "the worker's chunk buffer exceeds 32767 bytes";
  if (run.steps > kMostSteps) return "the progress bar was stepped more than 91 times";
  if (package_bytes >= kLargePackage && run.steps < kFewestStepsOfLargePackages) {
    return "a large package stepped the progress bar fewer than 80 times";
  }
  return nullptr;
}

void BM_Extraction(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  BenchDevice device;
  std::string error;
  if (!PutProgramAndPackage(device, bytes, &error) || !device.Boot(&error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  HWND bar = MakeCountingBar();
  if (bar == NULL) {
    state.SkipWithError("cannot make the progress bar");
    return;
  }

  Run last;
  for (auto _ : state) {
    last = ExtractOnce(bar);
    state.SetIterationTime(last.seconds);
    if (const char* broken = BrokenBudget(last, bytes)) {
      state.SkipWithError(broken);
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["steps"] = last.steps;
  state.counters["device_ms"] = last.device_ms;
  state.counters["worker_allocs"] = static_cast<double>(last.worker.count);
  state.counters["worker_alloc_bytes"] = static_cast<double>(last.worker.bytes);
  state.counters["worker_peak_alloc"] = static_cast<double>(last.worker.largest);
  state.counters["worker_data_buffers"] = static_cast<double>(last.worker.large);
  // The layer's own per-call bookkeeping shows here: reads and writes of every chunk (the first
  // block and the tail counted as one each).
  const double chunks = static_cast<double>((bytes - kFirstBlockAndTrailer) / kChunkBudget + 2);
  state.counters["worker_allocs_per_chunk"] = static_cast<double>(last.worker.count) / chunks;
  state.counters["ui_allocs"] = static_cast<double>(last.ui.count);
}

BENCHMARK(BM_Extraction)
    ->Arg(1 << 20)
    ->Iterations(10)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Extraction)
    ->Arg(16 << 20)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Extraction)
    ->Arg(64 << 20)
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kepla_bench
