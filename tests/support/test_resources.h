// The layer tests' own compiled resources (tests/wince/testdata/test.rc), embedded at build time.
// The identifiers are in tests/wince/testdata/test_resource.h.
#ifndef KEPLA_TESTS_SUPPORT_TEST_RESOURCES_H_
#define KEPLA_TESTS_SUPPORT_TEST_RESOURCES_H_

#include <cstdint>
#include <span>

namespace kepla {
std::span<const std::uint8_t> TestResources();
}  // namespace kepla

#endif  // KEPLA_TESTS_SUPPORT_TEST_RESOURCES_H_
