// Throughput of the in-place descrambling: on the package's 2048-byte first block (and its
// 512-byte trailer), as the wizard uses it, and on larger buffers, to show the per-byte cost
// without the per-call overhead.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "package/descramble.h"

namespace kepla_bench {
namespace {

void BM_Descramble(benchmark::State& state) {
  std::vector<BYTE> buffer(static_cast<std::size_t>(state.range(0)));
  std::uint32_t x = 12345;
  for (BYTE& b : buffer) {
    x = x * 1103515245u + 12345;
    b = static_cast<BYTE>(x >> 16);
  }
  for (auto _ : state) {
    // Its own inverse: the buffer alternates between two states, never degenerates.
    if (!descramble(buffer.data(), static_cast<DWORD>(buffer.size()))) {
      state.SkipWithError("descramble refused an even, non-empty buffer");
      break;
    }
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Descramble)
    ->Arg(512)
    ->Arg(2048)
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->MinTime(0.2);

}  // namespace
}  // namespace kepla_bench
