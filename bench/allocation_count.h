// Counts the heap allocations made while a watch is open: the benchmark binary replaces the
// global operator new, so every allocation of every thread passes through here.
//
// Allocations are told apart by thread: those of the thread that opened the watch, and those of
// every other thread (for the extraction: the worker). One watch at a time.
#ifndef KEPLA_BENCH_ALLOCATION_COUNT_H_
#define KEPLA_BENCH_ALLOCATION_COUNT_H_

#include <cstddef>
#include <cstdint>

namespace kepla_bench {

struct AllocationTally {
  std::uint64_t count = 0;
  std::uint64_t bytes = 0;
  std::size_t largest = 0;
  // Allocations of at least kLargeAllocation bytes: data buffers rather than bookkeeping.
  std::uint64_t large = 0;
};

// The size from which an allocation counts as a data buffer.
inline constexpr std::size_t kLargeAllocation = 2048;

class AllocationWatch {
 public:
  // Starts counting. Aborts when another watch is open.
  AllocationWatch();
  // Stops counting.
  ~AllocationWatch();
  AllocationWatch(const AllocationWatch&) = delete;
  AllocationWatch& operator=(const AllocationWatch&) = delete;

  // What was allocated so far on the opening thread, and on every other thread.
  AllocationTally Own() const;
  AllocationTally Others() const;
};

}  // namespace kepla_bench

#endif  // KEPLA_BENCH_ALLOCATION_COUNT_H_
