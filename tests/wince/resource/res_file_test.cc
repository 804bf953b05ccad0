#include "resource/res_file.h"

#include <set>
#include <utility>

#include <gtest/gtest.h>

#include "resource_test_util.h"

namespace {

using kepla_test::Bytes;
using wce::ParseResFile;
using wce::ResEntry;
using wce::ResId;

// An entry with ordinal type and name, as the resource compiler lays it out.
void AddEntry(Bytes& b, std::uint16_t type, std::uint16_t name, std::span<const std::uint8_t> data,
              std::uint32_t header_size = 32) {
  b.U32(static_cast<std::uint32_t>(data.size())).U32(header_size);
  b.U16(0xFFFF).U16(type).U16(0xFFFF).U16(name);
  b.U32(0).U16(0x1030).U16(0x0409).U32(0).U32(0);
  for (std::uint8_t byte : data) b.Raw({byte});
  b.Align4();
}

Bytes LeadingEntry() {
  Bytes b;
  AddEntry(b, 0, 0, {});
  return b;
}

TEST(ResFile, ProgramImageHoldsEveryResourceOfTheWizard) {
  const auto& entries = kepla_test::ProgramEntries();
  std::set<std::pair<std::uint16_t, std::uint16_t>> found;
  for (const ResEntry& entry : entries) {
    ASSERT_FALSE(entry.type.is_name);
    ASSERT_FALSE(entry.name.is_name);
    EXPECT_EQ(entry.language, 0x0409);
    found.insert({entry.type.ordinal, entry.name.ordinal});
  }
  std::set<std::pair<std::uint16_t, std::uint16_t>> expected = {
      {5, 201},  {5, 202},  {5, 203},  {5, 204}, {5, 205}, {5, 206},
      {4, 2001}, {4, 2002}, {4, 2003}, {6, 7},   {6, 8},  // ids 96..111 and 112..127
      {16, 1}};
  EXPECT_EQ(found, expected);
  EXPECT_EQ(entries.size(), expected.size());
}

TEST(ResFile, EntriesPointIntoTheImageAndExcludePadding) {
  auto image = kepla::TestResources();
  auto entries = ParseResFile(image);
  ASSERT_TRUE(entries);
  bool saw_blob = false;
  for (const ResEntry& entry : *entries) {
    EXPECT_GE(entry.data.data(), image.data());
    EXPECT_LE(entry.data.data() + entry.data.size(), image.data() + image.size());
    EXPECT_EQ((entry.data.data() - image.data()) % 4, 0) << "data starts on a DWORD";
    if (entry.type == ResId::Name(u"PAYLOAD")) {
      // User-defined types and names are stored upper-cased; "abc" has three bytes of data.
      EXPECT_EQ(entry.name, ResId::Name(u"BLOB"));
      ASSERT_EQ(entry.data.size(), 3u);
      EXPECT_EQ(std::string(entry.data.begin(), entry.data.end()), "abc");
      saw_blob = true;
    }
  }
  EXPECT_TRUE(saw_blob);
}

// Every prefix of a real image either fails or yields the first entries of the whole image,
// with the same data.
TEST(ResFile, PrefixesYieldNothingOrLeadingEntries) {
  auto image = kepla::TestResources();
  auto whole = ParseResFile(image);
  ASSERT_TRUE(whole);
  int accepted = 0;
  for (std::size_t n = 0; n < image.size(); ++n) {
    // A copy of exactly n bytes, so that a read past them is caught by the address sanitizer.
    std::vector<std::uint8_t> bytes(image.begin(), image.begin() + n);
    auto part = ParseResFile(bytes);
    if (!part) continue;
    ++accepted;
    ASSERT_LE(part->size(), whole->size()) << "prefix " << n;
    for (std::size_t i = 0; i < part->size(); ++i) {
      EXPECT_EQ((*part)[i].type, (*whole)[i].type);
      EXPECT_EQ((*part)[i].data.data() - bytes.data(), (*whole)[i].data.data() - image.data());
      EXPECT_EQ((*part)[i].data.size(), (*whole)[i].data.size());
    }
    // Only an image cut right after an entry's data (or inside its padding) is whole.
    if (!part->empty()) {
      const ResEntry& last = part->back();
      const auto end = static_cast<std::size_t>(last.data.data() + last.data.size() - bytes.data());
      EXPECT_GE(n, end);
      EXPECT_LE(n, end + 3);
    }
  }
  // The leading entry alone, and each entry with and without padding.
  EXPECT_GT(accepted, static_cast<int>(whole->size()));
}

TEST(ResFile, RefusesImagesWithoutTheLeadingEmptyEntry) {
  EXPECT_FALSE(ParseResFile({}));
  Bytes no_lead;
  const std::uint8_t data[] = {1, 2, 3, 4};
  AddEntry(no_lead, 10, 1, data);
  EXPECT_FALSE(ParseResFile(no_lead.span()));

  Bytes lead = LeadingEntry();
  AddEntry(lead, 10, 1, data);
  auto entries = ParseResFile(lead.span());
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 1u);
  EXPECT_EQ((*entries)[0].type, ResId::Ordinal(10));
  EXPECT_EQ((*entries)[0].memory_flags, 0x1030);
}

TEST(ResFile, RefusesHeadersThatLieAboutSizes) {
  const std::uint8_t data[] = {1, 2, 3, 4};
  // A header size too small for the fields it must hold.
  Bytes small = LeadingEntry();
  AddEntry(small, 10, 1, data, 24);
  EXPECT_FALSE(ParseResFile(small.span()));

  // A header size running past the end of the image.
  Bytes long_header = LeadingEntry();
  AddEntry(long_header, 10, 1, data, 4096);
  EXPECT_FALSE(ParseResFile(long_header.span()));

  // A data size running past the end, including one that would wrap an offset around.
  for (std::uint32_t data_size : {5u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
    Bytes b = LeadingEntry();
    b.U32(data_size).U32(32).U16(0xFFFF).U16(10).U16(0xFFFF).U16(1);
    b.U32(0).U16(0).U16(0).U32(0).U32(0).Raw({1, 2, 3, 4});
    EXPECT_FALSE(ParseResFile(b.span())) << data_size;
  }

  // A name whose terminator lies outside the declared header.
  Bytes name = LeadingEntry();
  name.U32(0).U32(32).U16(0xFFFF).U16(10).Str(u"ABCDEFGHIJ").Align4();
  name.U32(0).U16(0).U16(0).U32(0).U32(0);
  EXPECT_FALSE(ParseResFile(name.span()));
}

// The fixed part of VS_VERSIONINFO: a node header (wLength, wValueLength, wType,
// "VS_VERSION_INFO", padding) followed by VS_FIXEDFILEINFO.
TEST(ResFile, ProgramVersionBlockHasTheExpectedFixedPart) {
  auto data = kepla_test::DataOf(kepla_test::ProgramEntries(), wce::kTypeVersion, 1);
  ASSERT_GE(data.size(), 40u + 52u);
  auto u16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>(data[at] | data[at + 1] << 8);
  };
  auto u32 = [&](std::size_t at) {
    return static_cast<std::uint32_t>(u16(at) | u16(at + 2) << 16);
  };
  EXPECT_EQ(u16(0), data.size());
  EXPECT_EQ(u16(2), 52) << "the fixed part";
  EXPECT_EQ(u16(4), 0) << "binary value";
  std::u16string key;
  for (std::size_t at = 6; u16(at) != 0; at += 2) key.push_back(static_cast<char16_t>(u16(at)));
  EXPECT_EQ(key, u"VS_VERSION_INFO");
  const std::size_t f = 40;  // 6 + 32 bytes of key and terminator, padded to a DWORD
  EXPECT_EQ(u32(f + 0), 0xFEEF04BDu);
  EXPECT_EQ(u32(f + 8), 0x00010000u) << "file version 1.0";
  EXPECT_EQ(u32(f + 12), 0x0000001Eu) << "file version .0.30";
  EXPECT_EQ(u32(f + 16), 0x00010000u) << "product version 1.0";
  EXPECT_EQ(u32(f + 20), 0x00000000u) << "product version .0.0";
  EXPECT_EQ(u32(f + 24), 0x17u) << "flags mask";
  EXPECT_EQ(u32(f + 28), 0u) << "flags";
  EXPECT_EQ(u32(f + 32), 4u) << "operating system";
  EXPECT_EQ(u32(f + 36), 1u) << "application";
  EXPECT_EQ(u32(f + 40), 0u) << "subtype";
}

}  // namespace
