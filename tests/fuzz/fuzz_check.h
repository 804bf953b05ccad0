// What the fuzz targets share: the libFuzzer entry point's declaration and a check that stops
// the run (and so fails the corpus test or reports a finding) when a parser breaks a promise of
// its header.
#ifndef KEPLA_TESTS_FUZZ_FUZZ_CHECK_H_
#define KEPLA_TESTS_FUZZ_FUZZ_CHECK_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

#endif  // KEPLA_TESTS_FUZZ_FUZZ_CHECK_H_
