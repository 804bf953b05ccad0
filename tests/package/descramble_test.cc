#include "package/descramble.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Descramble, ReversesTheFourDigitsOfEachPair) {
  BYTE bytes[] = {0x12, 0x34, 0xAB, 0xCD};
  ASSERT_TRUE(descramble(bytes, sizeof(bytes)));
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 4), (std::vector<BYTE>{0x43, 0x21, 0xDC, 0xBA}));
  ASSERT_TRUE(descramble(bytes, sizeof(bytes)));
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + 4), (std::vector<BYTE>{0x12, 0x34, 0xAB, 0xCD}));
}

TEST(Descramble, IsItsOwnInverseForEveryPair) {
  std::vector<BYTE> all;
  for (int a = 0; a < 256; a++) {
    for (int b = 0; b < 256; b++) {
      all.push_back((BYTE)a);
      all.push_back((BYTE)b);
    }
  }
  std::vector<BYTE> bytes = all;
  ASSERT_TRUE(descramble(bytes.data(), (DWORD)bytes.size()));
  EXPECT_NE(bytes, all);
  ASSERT_TRUE(descramble(bytes.data(), (DWORD)bytes.size()));
  EXPECT_EQ(bytes, all);
}

TEST(Descramble, RefusesOddZeroAndNullWithoutTouchingTheBuffer) {
  BYTE odd[] = {0x12, 0x34, 0x56};
  EXPECT_FALSE(descramble(odd, 3));
  EXPECT_EQ(std::vector<BYTE>(odd, odd + 3), (std::vector<BYTE>{0x12, 0x34, 0x56}));
  EXPECT_FALSE(descramble(odd, 1));
  EXPECT_EQ(odd[0], 0x12);
  EXPECT_FALSE(descramble(odd, 0));
  EXPECT_EQ(odd[0], 0x12);
  EXPECT_FALSE(descramble(NULL, 4));
}

}  // namespace
