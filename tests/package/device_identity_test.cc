#include "package/device_identity.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Split {
  std::u16string language;
  std::u16string code;
};

Split SplitOf(const std::u16string& ext) {
  DeviceIdentity identity;
  memset(&identity, 0, sizeof(identity));
  SplitExtRomVersion(ext.c_str(), &identity);
  return {identity.language, identity.code};
}

TEST(SplitExtRomVersion, TakesLanguageByPositionAndCodeAfterTheSecondBlank) {
  struct Case {
    std::u16string ext, language, code;
  } cases[] = {
      {u"1.13.407 ENG WWE", u"ENG", u"WWE"},
      {u"1.2 EN WW", u"EN ", u"WW"},  // three characters, the blank included
      {u"1 E X", u"E X", u"X"},       // a one-character token
      {u"1.2 WW", u"", u"WW"},        // one blank: code only
      {u"1.2.3", u"", u""},           // no blank: neither
      {u"1.2 ENGLISH US", u"ENG", u"US"},
      {u"1.2 ENG WW HK", u"ENG", u"WW HK"},
      {u"1.2 ", u"", u""},  // one blank at the end: an empty code
      {u"1 E", u"", u"E"},
  };
  for (const Case& c : cases) {
    Split got = SplitOf(c.ext);
    EXPECT_EQ(got.language, c.language) << std::string(c.ext.begin(), c.ext.end());
    EXPECT_EQ(got.code, c.code) << std::string(c.ext.begin(), c.ext.end());
  }
}

// An identity answer with the three texts at their offsets (no terminator added).
std::vector<BYTE> Answer(const std::u16string& model, const std::u16string& rom,
                         const std::u16string& ext) {
  std::vector<BYTE> answer(kIdentityAnswerBytes, 0);
  auto put = [&](size_t offset, const std::u16string& text) {
    for (size_t i = 0; i < text.size(); i++) {
      answer[offset + 2 * i] = (BYTE)(text[i] & 0xFF);
      answer[offset + 2 * i + 1] = (BYTE)(text[i] >> 8);
    }
  };
  put(kAnswerModelOffset, model);
  put(kAnswerRomOffset, rom);
  put(kAnswerExtRomOffset, ext);
  return answer;
}

TEST(DecodeIdentityAnswer, FillsAllFiveFields) {
  std::vector<BYTE> answer = Answer(u"QMR407", u"1.13.407.2", u"1.13.407 ENG WWE");
  DeviceIdentity identity;
  memset(&identity, 0, sizeof(identity));
  DecodeIdentityAnswer(answer.data(), &identity);
  EXPECT_EQ(std::u16string(identity.language), u"ENG");
  EXPECT_EQ(std::u16string(identity.code), u"WWE");
  EXPECT_EQ(std::u16string(identity.model), u"QMR407");
  EXPECT_EQ(std::u16string(identity.romVersion), u"1.13.407.2");
  EXPECT_EQ(std::u16string(identity.extRomVersion), u"1.13.407 ENG WWE");
}

TEST(DecodeIdentityAnswer, CutsLongTextsAt31CharactersAndReadsOnlyTheRooms) {
  // Model and ROM texts longer than a field; the extended text fills its whole room, so the
  // answer ends without its terminator.
  std::u16string model(64, u'M');
  std::u16string rom(132, u'R');
  std::u16string ext = u"1 ABC " + std::u16string(26, u'W');
  ASSERT_EQ(ext.size(), 32u);
  std::vector<BYTE> answer = Answer(model, rom, ext);
  DeviceIdentity identity;
  memset(&identity, 0, sizeof(identity));
  DecodeIdentityAnswer(answer.data(), &identity);
  EXPECT_EQ(std::u16string(identity.model), std::u16string(31, u'M'));
  EXPECT_EQ(std::u16string(identity.romVersion), std::u16string(31, u'R'));
  EXPECT_EQ(std::u16string(identity.extRomVersion), ext.substr(0, 31));
  EXPECT_EQ(std::u16string(identity.language), u"ABC");
  EXPECT_EQ(std::u16string(identity.code), std::u16string(26, u'W'));
}

TEST(SplitExtRomVersion, CutsALongCodeAt31) {
  DeviceIdentity identity;
  memset(&identity, 0, sizeof(identity));
  SplitExtRomVersion((u"1 " + std::u16string(40, u'C')).c_str(), &identity);
  EXPECT_EQ(std::u16string(identity.code), std::u16string(31, u'C'));
  SplitExtRomVersion((u"1 ENG " + std::u16string(40, u'D')).c_str(), &identity);
  EXPECT_EQ(std::u16string(identity.code), std::u16string(31, u'D'));
}

}  // namespace
