// Helpers for the resource tests: the two compiled images parsed once, and a builder for
// hand-made (often deliberately broken) resource bytes.
#ifndef KEPLA_TESTS_WINCE_RESOURCE_RESOURCE_TEST_UTIL_H_
#define KEPLA_TESTS_WINCE_RESOURCE_RESOURCE_TEST_UTIL_H_

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "res/embedded.h"
#include "resource/res_file.h"
#include "support/test_resources.h"

namespace kepla_test {

// The entries of the program's and the tests' .res images (parsed once; fail the test if the
// image does not parse).
inline const std::vector<wce::ResEntry>& ProgramEntries() {
  static const auto entries = wce::ParseResFile(kepla::ProgramResources());
  EXPECT_TRUE(entries.has_value());
  static const std::vector<wce::ResEntry> empty;
  return entries ? *entries : empty;
}
inline const std::vector<wce::ResEntry>& TestEntries() {
  static const auto entries = wce::ParseResFile(kepla::TestResources());
  EXPECT_TRUE(entries.has_value());
  static const std::vector<wce::ResEntry> empty;
  return entries ? *entries : empty;
}

// The data of the entry (type, ordinal name); empty (and a test failure) when absent.
inline std::span<const std::uint8_t> DataOf(const std::vector<wce::ResEntry>& entries,
                                            std::uint16_t type, std::uint16_t name) {
  for (const auto& entry : entries) {
    if (entry.type == wce::ResId::Ordinal(type) && entry.name == wce::ResId::Ordinal(name)) {
      return entry.data;
    }
  }
  ADD_FAILURE() << "no resource of type " << type << " named " << name;
  return {};
}

// Little-endian bytes, built field by field.
class Bytes {
 public:
  Bytes& U16(std::uint16_t v) {
    out_.push_back(static_cast<std::uint8_t>(v));
    out_.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
  }
  Bytes& U32(std::uint32_t v) { return U16(static_cast<std::uint16_t>(v)).U16(v >> 16); }
  // The UTF-16 units of `s` and a terminating zero.
  Bytes& Str(std::u16string_view s) {
    for (char16_t c : s) U16(c);
    return U16(0);
  }
  Bytes& Raw(std::initializer_list<std::uint8_t> raw) {
    out_.insert(out_.end(), raw.begin(), raw.end());
    return *this;
  }
  Bytes& Align4() {
    while (out_.size() % 4 != 0) out_.push_back(0);
    return *this;
  }
  std::size_t size() const { return out_.size(); }
  std::span<const std::uint8_t> span() const { return out_; }

 private:
  std::vector<std::uint8_t> out_;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_WINCE_RESOURCE_RESOURCE_TEST_UTIL_H_
