// Case-blind names and search patterns.
#include <gtest/gtest.h>

#include "host/fold_case.h"
#include "host/wildcard.h"

namespace wce {
namespace {

TEST(FoldCaseTest, FoldsTheScriptsACardCarries) {
  EXPECT_TRUE(EqualsNoCase(u"Storage Card", u"STORAGE card"));
  EXPECT_TRUE(EqualsNoCase(u"\u00C4RGER", u"\u00E4rger"));                    // Latin-1
  EXPECT_TRUE(EqualsNoCase(u"\u0141\u00F3d\u017A", u"\u0142\u00D3D\u0179"));  // Latin Extended-A
  EXPECT_TRUE(EqualsNoCase(u"\u0394\u0395\u039B\u03A4\u0391", u"\u03B4\u03B5\u03BB\u03C4\u03B1"));
  EXPECT_TRUE(EqualsNoCase(u"\u0424\u0410\u0419\u041B \u0401", u"\u0444\u0430\u0439\u043B \u0451"));
  // Neighbours that are no case pair stay apart.
  EXPECT_FALSE(EqualsNoCase(u"\u00D7", u"\u00F7"));  // multiplication and division signs
  EXPECT_FALSE(EqualsNoCase(u"[", u"{"));
  EXPECT_FALSE(EqualsNoCase(u"ab", u"abc"));
}

TEST(WildcardTest, StarAndQuestionMarkIgnoringCase) {
  EXPECT_TRUE(MatchesWildcard(u"*.bin", u"FW.BIN"));
  EXPECT_TRUE(MatchesWildcard(u"fw?.bin", u"fw1.bin"));
  EXPECT_FALSE(MatchesWildcard(u"fw?.bin", u"fw.bin"));
  EXPECT_FALSE(MatchesWildcard(u"fw?.bin", u"fw12.bin"));
  EXPECT_TRUE(MatchesWildcard(u"*a*b", u"xxaxxbxb"));  // needs back-tracking
  EXPECT_FALSE(MatchesWildcard(u"*a*b", u"xxaxxbx"));
  EXPECT_TRUE(MatchesWildcard(u"exact.txt", u"EXACT.txt"));
  EXPECT_FALSE(MatchesWildcard(u"exact.txt", u"exact.txt2"));
  EXPECT_TRUE(MatchesWildcard(u"**", u""));
}

TEST(WildcardTest, DotStarAlsoMatchesNamesWithoutADot) {
  EXPECT_TRUE(MatchesWildcard(u"*.*", u"README"));
  EXPECT_TRUE(MatchesWildcard(u"*.*", u"fw.bin"));
  EXPECT_TRUE(MatchesWildcard(u"readme.*", u"README"));
  EXPECT_FALSE(MatchesWildcard(u"readme.*", u"READMEs"));
  EXPECT_FALSE(MatchesWildcard(u"*.b*", u"bin"));
}

}  // namespace
}  // namespace wce
