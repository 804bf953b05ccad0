#include <wince/utf.h>

#include <gtest/gtest.h>

namespace wce {
namespace {

TEST(UtfTest, RoundTripsAllEncodingLengths) {
  const std::u16string text = u"A\u00e9\u20ac\U0001F600z";  // 1, 2, 3 and 4 UTF-8 bytes
  const std::string utf8 = Utf16ToUtf8(text);
  EXPECT_EQ(utf8, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
  std::u16string back;
  ASSERT_TRUE(Utf8ToUtf16(utf8, &back));
  EXPECT_EQ(back, text);
}

TEST(UtfTest, RefusesIllFormedUtf8) {
  std::u16string out;
  EXPECT_FALSE(Utf8ToUtf16("\x80", &out));              // stray continuation byte
  EXPECT_FALSE(Utf8ToUtf16("\xC3", &out));              // cut short
  EXPECT_FALSE(Utf8ToUtf16("\xC0\xAF", &out));          // overlong '/'
  EXPECT_FALSE(Utf8ToUtf16("\xED\xA0\x80", &out));      // encoded surrogate
  EXPECT_FALSE(Utf8ToUtf16("\xF4\x90\x80\x80", &out));  // past U+10FFFF
  EXPECT_FALSE(Utf8ToUtf16("a\xE2\x82z", &out));        // bad continuation
  EXPECT_TRUE(Utf8ToUtf16("", &out));
  EXPECT_TRUE(out.empty());
}

TEST(UtfTest, LoneSurrogateBecomesReplacementCharacter) {
  const std::u16string text = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
  EXPECT_EQ(Utf16ToUtf8(text),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

}  // namespace
}  // namespace wce
