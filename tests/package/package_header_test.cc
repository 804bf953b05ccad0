#include "package/package_header.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "package/text_bounds.h"

namespace {

// A descrambled trailer with `text` stored little-endian at `offset`, no terminator added.
void Put(std::vector<BYTE>& trailer, size_t offset, const std::u16string& text) {
  for (size_t i = 0; i < text.size(); i++) {
    trailer[offset + 2 * i] = (BYTE)(text[i] & 0xFF);
    trailer[offset + 2 * i + 1] = (BYTE)(text[i] >> 8);
  }
}

std::u16string Repeat(char16_t c, size_t n) { return std::u16string(n, c); }

TEST(PackageHeader, DecodesEveryFieldFromItsRoom) {
  std::vector<BYTE> trailer(kTrailerBytes, 0);
  Put(trailer, 0, u"ENG");
  Put(trailer, 64, u"WWE,HKG,\u4e2d");
  Put(trailer, 320, u"QMR407");
  Put(trailer, 384, u"1.13.407.3");
  Put(trailer, 448, u"1.13.407 ENG WWE");
  PackageHeader header;
  memset(&header, 0x5A, sizeof(header));
  DecodePackageHeader(trailer.data(), &header);
  EXPECT_EQ(std::u16string(header.language), u"ENG");
  EXPECT_EQ(std::u16string(header.code), u"WWE,HKG,\u4e2d");
  EXPECT_EQ(std::u16string(header.model), u"QMR407");
  EXPECT_EQ(std::u16string(header.romVersion), u"1.13.407.3");
  EXPECT_EQ(std::u16string(header.extRomVersion), u"1.13.407 ENG WWE");
}

TEST(PackageHeader, FieldsFillingTheirRoomAreCutAndNeverRunIntoTheNext) {
  std::vector<BYTE> trailer(kTrailerBytes, 0);
  Put(trailer, 0, Repeat(u'L', 32));
  Put(trailer, 64, Repeat(u'C', 128));
  Put(trailer, 320, Repeat(u'M', 32));
  Put(trailer, 384, Repeat(u'R', 32));
  Put(trailer, 448, Repeat(u'X', 32));  // the last field: nothing after it may be read
  PackageHeader header;
  DecodePackageHeader(trailer.data(), &header);
  EXPECT_EQ(std::u16string(header.language), Repeat(u'L', 31));
  EXPECT_EQ(std::u16string(header.code), Repeat(u'C', 127));
  EXPECT_EQ(std::u16string(header.model), Repeat(u'M', 31));
  EXPECT_EQ(std::u16string(header.romVersion), Repeat(u'R', 31));
  EXPECT_EQ(std::u16string(header.extRomVersion), Repeat(u'X', 31));
}

TEST(PackageHeader, KeepsNothingAfterAFieldsTerminator) {
  std::vector<BYTE> trailer(kTrailerBytes, 0);
  Put(trailer, 320, u"AB");
  Put(trailer, 326, u"junk");  // after the zero at 324
  PackageHeader header;
  DecodePackageHeader(trailer.data(), &header);
  EXPECT_EQ(std::u16string(header.model), u"AB");
  for (size_t i = 2; i < 32; i++) EXPECT_EQ(header.model[i], 0) << i;
}

}  // namespace
