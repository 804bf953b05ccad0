#include "ui/template_word.h"

#include <gtest/gtest.h>

#include <string>

#include "ui/text_buffer.h"

namespace {

// A page's working buffer holding `text`.
struct Buffer {
  explicit Buffer(const std::u16string& text) {
    text.copy(chars, text.size());
    chars[text.size()] = 0;
  }
  std::u16string str() const { return chars; }
  WCHAR chars[kTextBufferChars] = {};
};

const WCHAR* kMarker = TEMPLATE_WORD_MARKER;

TEST(ReplaceTemplateWordTest, ReplacesOnlyTheFirstOccurrenceAndKeepsTheSurroundings) {
  Buffer text(u"Welcome to the [ZARN_WORD_TEMPLATE] tool, ZARN_WORD_TEMPLATE.");
  EXPECT_TRUE(ReplaceTemplateWord(text.chars, kMarker, u"QMR407"));
  EXPECT_EQ(text.str(), u"Welcome to the [QMR407] tool, ZARN_WORD_TEMPLATE.");
}

TEST(ReplaceTemplateWordTest, MarkerAtEitherEndAndEmptyReplacement) {
  Buffer front(u"ZARN_WORD_TEMPLATE device");
  EXPECT_TRUE(ReplaceTemplateWord(front.chars, kMarker, u"X"));
  EXPECT_EQ(front.str(), u"X device");

  Buffer back(u"only \"ZARN_WORD_TEMPLATE\"");
  EXPECT_TRUE(ReplaceTemplateWord(back.chars, kMarker, u""));
  EXPECT_EQ(back.str(), u"only \"\"");
}

TEST(ReplaceTemplateWordTest, RefusesWithoutChangingTheText) {
  // No marker; the marker in another case; null arguments.
  Buffer plain(u"no marker here");
  EXPECT_FALSE(ReplaceTemplateWord(plain.chars, kMarker, u"M"));
  EXPECT_EQ(plain.str(), u"no marker here");

  Buffer lower(u"[zarn_word_template]");
  EXPECT_FALSE(ReplaceTemplateWord(lower.chars, kMarker, u"M"));
  EXPECT_EQ(lower.str(), u"[zarn_word_template]");

  Buffer text(u"[ZARN_WORD_TEMPLATE]");
  EXPECT_FALSE(ReplaceTemplateWord(nullptr, kMarker, u"M"));
  EXPECT_FALSE(ReplaceTemplateWord(text.chars, nullptr, u"M"));
  EXPECT_FALSE(ReplaceTemplateWord(text.chars, kMarker, nullptr));
  EXPECT_EQ(text.str(), u"[ZARN_WORD_TEMPLATE]");
}

TEST(ReplaceTemplateWordTest, ResultMustFitTheBuffer) {
  // 200 characters of text around the marker; a replacement that brings the result to exactly
  // 259 characters fits, one more would overrun the buffer and is refused.
  const std::u16string before(100, u'a');
  const std::u16string after(100, u'b');
  const std::u16string original = before + kMarker + after;
  const std::u16string fits(59, u'M');
  const std::u16string tooLong(60, u'M');

  Buffer refused(original);
  EXPECT_FALSE(ReplaceTemplateWord(refused.chars, kMarker, tooLong.c_str()));
  EXPECT_EQ(refused.str(), original);

  Buffer done(original);
  EXPECT_TRUE(ReplaceTemplateWord(done.chars, kMarker, fits.c_str()));
  EXPECT_EQ(done.str(), before + fits + after);
  EXPECT_EQ(done.str().size(), kTextBufferChars - 1);
}

TEST(AppendTextTest, StopsAtTheFieldLimitAndAtTheBufferEnd) {
  WCHAR buffer[8] = u"ab";
  AppendText(buffer, 8, u"cdef", 2);
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  AppendText(buffer, 8, u"xyzzy");  // room for three more characters and the terminator
  EXPECT_EQ(std::u16string(buffer), u"abcdxyz");
  AppendText(buffer, 8, u"more");  // full: nothing changes
  AppendText(buffer, 8, nullptr);
  EXPECT_EQ(std::u16string(buffer), u"abcdxyz");
}

}  // namespace
