// The benchmark binary's global operator new and delete: malloc and free, counted while a watch
// is open.
#include "allocation_count.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <pthread.h>

namespace kepla_bench {
namespace {

struct Counters {
  std::atomic<std::uint64_t> count{0};
  std::atomic<std::uint64_t> bytes{0};
  std::atomic<std::size_t> largest{0};
  std::atomic<std::uint64_t> large{0};

  void Add(std::size_t size) {
    count.fetch_add(1, std::memory_order_relaxed);
    bytes.fetch_add(size, std::memory_order_relaxed);
    if (size >= kLargeAllocation) large.fetch_add(1, std::memory_order_relaxed);
    std::size_t seen = largest.load(std::memory_order_relaxed);
    while (size > seen && !largest.compare_exchange_weak(seen, size, std::memory_order_relaxed)) {
    }
  }
  void Clear() {
    count = 0;
    bytes = 0;
    largest = 0;
    large = 0;
  }
  AllocationTally Read() const {
    return AllocationTally{count.load(), bytes.load(), largest.load(), large.load()};
  }
};

// Plain globals with constant initialisation: operator new may run before any constructor.
std::atomic<bool> g_watching{false};
pthread_t g_owner;
Counters g_own;
Counters g_others;

void Count(std::size_t size) {
  if (!g_watching.load(std::memory_order_acquire)) return;
  (pthread_equal(pthread_self(), g_owner) ? g_own : g_others).Add(size);
}

void* Allocate(std::size_t size) {
  Count(size);
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

AllocationWatch::AllocationWatch() {
  if (g_watching.load()) {
    std::fprintf(stderr, "FATAL: two allocation watches at once\n");
    std::abort();
  }
  g_own.Clear();
  g_others.Clear();
  g_owner = pthread_self();
  g_watching.store(true, std::memory_order_release);
}

AllocationWatch::~AllocationWatch() { g_watching.store(false, std::memory_order_release); }

AllocationTally AllocationWatch::Own() const { return g_own.Read(); }
AllocationTally AllocationWatch::Others() const { return g_others.Read(); }

}  // namespace kepla_bench

// Aligned forms are left to the library: nothing in the copy asks for over-aligned memory.
void* operator new(std::size_t size) { return kepla_bench::AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return kepla_bench::AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return kepla_bench::Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return kepla_bench::Allocate(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
