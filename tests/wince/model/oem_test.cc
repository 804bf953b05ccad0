// The identity answer of the OEM layer, checked byte by byte.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <wince/profile.h>
#include "model/oem.h"

namespace {

using L = wce::IdentityAnswerLayout;

// The UTF-16LE text at `offset`, up to its terminator (or `room` bytes).
std::u16string TextAt(const std::vector<std::uint8_t>& buffer, std::size_t offset,
                      std::size_t room) {
  std::u16string text;
  for (std::size_t i = offset; i + 1 < offset + room; i += 2) {
    char16_t unit = static_cast<char16_t>(buffer[i] | (buffer[i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

TEST(IdentityAnswerTest, TextsSitAtTheirOffsetsLittleEndianAndEverythingElseIsZero) {
  std::vector<std::uint8_t> buffer(L::kSize + 2, 0xCC);
  wce::WriteIdentityAnswer(u"AB", u"1.2\u00e9", u"\u4e2d X", buffer);

  std::vector<std::uint8_t> expected(L::kSize, 0);
  auto put = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
  };
  put(12, {'A', 0, 'B', 0});
  put(140, {'1', 0, '.', 0, '2', 0, 0xE9, 0x00});
  put(404, {0x2D, 0x4E, ' ', 0, 'X', 0});
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), buffer.begin()));
  EXPECT_EQ(buffer[L::kSize], 0xCC) << "bytes past the answer are left alone";
  EXPECT_EQ(buffer[L::kSize + 1], 0xCC);
}

TEST(IdentityAnswerTest, LongTextsAreCutToTheirRoomLessTheTerminator) {
  std::vector<std::uint8_t> buffer(L::kSize, 0xCC);
  const std::u16string model(100, u'M');
  const std::u16string rom(200, u'R');
  const std::u16string ext(40, u'E');
  wce::WriteIdentityAnswer(model, rom, ext, buffer);

  EXPECT_EQ(TextAt(buffer, L::kModelOffset, L::kModelRoom), std::u16string(63, u'M'));
  EXPECT_EQ(TextAt(buffer, L::kRomOffset, L::kRomRoom), std::u16string(131, u'R'));
  EXPECT_EQ(TextAt(buffer, L::kExtRomOffset, L::kExtRomRoom), std::u16string(31, u'E'));
  // Each room ends with its terminator, so no text runs into the next.
  for (std::size_t end : {L::kRomOffset, L::kExtRomOffset, L::kSize}) {
    EXPECT_EQ(buffer[end - 2], 0) << end;
    EXPECT_EQ(buffer[end - 1], 0) << end;
  }
}

TEST(IdentityAnswerTest, CutNeverSplitsASurrogatePair) {
  std::vector<std::uint8_t> buffer(L::kSize);
  std::u16string ext(30, u'e');
  ext += u"\U0001F600";  // two units: 31 and 32, one more than the room takes
  wce::WriteIdentityAnswer(u"", u"", ext, buffer);
  EXPECT_EQ(TextAt(buffer, L::kExtRomOffset, L::kExtRomRoom), std::u16string(30, u'e'));

  std::u16string fits(29, u'e');
  fits += u"\U0001F600";
  wce::WriteIdentityAnswer(u"", u"", fits, buffer);
  EXPECT_EQ(TextAt(buffer, L::kExtRomOffset, L::kExtRomRoom), fits);
}

TEST(OemIoControlTest, AnswersOnlyTheIdentityCodeIntoABigEnoughBuffer) {
  wce::DeviceProfile profile;
  profile.model = u"QMR407";
  std::vector<std::uint8_t> buffer(L::kSize + 32, 0xCC);
  DWORD returned = 0;
  DWORD error = 0;

  ASSERT_TRUE(wce::OemIoControl(profile, 0x01012008, buffer.data(),
                                static_cast<DWORD>(buffer.size()), &returned, &error));
  EXPECT_EQ(returned, L::kSize);
  EXPECT_EQ(TextAt(buffer, L::kModelOffset, L::kModelRoom), u"QMR407");

  EXPECT_FALSE(wce::OemIoControl(profile, 0x01012004, buffer.data(), L::kSize, &returned, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(
      wce::OemIoControl(profile, 0x01012008, buffer.data(), L::kSize - 1, &returned, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(wce::OemIoControl(profile, 0x01012008, nullptr, L::kSize, &returned, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  profile.identity_answers = false;
  std::vector<std::uint8_t> untouched(L::kSize, 0xCC);
  EXPECT_FALSE(
      wce::OemIoControl(profile, 0x01012008, untouched.data(), L::kSize, &returned, &error));
  EXPECT_EQ(untouched, std::vector<std::uint8_t>(L::kSize, 0xCC));
}

}  // namespace
