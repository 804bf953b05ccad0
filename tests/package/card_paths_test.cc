#include "package/card_paths.h"

#include <gtest/gtest.h>

#include <string>

#include "package/text_bounds.h"

namespace {

std::u16string RootOf(const std::u16string& program, BOOL* found = nullptr) {
  WCHAR root[MAX_PATH];
  root[0] = u'?';
  BOOL ok = CardRootOfPath(program.c_str(), root);
  if (found != nullptr) *found = ok;
  return root;
}

std::u16string FolderOf(const std::u16string& program) {
  WCHAR folder[MAX_PATH];
  folder[0] = u'?';
  FolderOfPath(program.c_str(), folder);
  return folder;
}

TEST(CardPaths, RootIsThePathCutAfterItsSecondBackslash) {
  BOOL found = FALSE;
  EXPECT_EQ(RootOf(u"\\Storage Card\\Upgrade\\tool.exe", &found), u"\\Storage Card\\");
  EXPECT_TRUE(found);
  EXPECT_EQ(RootOf(u"\\Storage Card\\KEPLA.exe"), u"\\Storage Card\\");
  // Nothing checks that it is a card.
  EXPECT_EQ(RootOf(u"\\Windows\\KEPLA.exe"), u"\\Windows\\");
  EXPECT_EQ(RootOf(u"\\KEPLA.exe", &found), u"");
  EXPECT_FALSE(found);
  EXPECT_EQ(RootOf(u"KEPLA.exe", &found), u"");
  EXPECT_FALSE(found);
}

TEST(CardPaths, FolderKeepsItsTrailingBackslash) {
  EXPECT_EQ(FolderOf(u"\\Storage Card\\Upgrade\\tool.exe"), u"\\Storage Card\\Upgrade\\");
  EXPECT_EQ(FolderOf(u"\\KEPLA.exe"), u"\\");
  EXPECT_EQ(FolderOf(u"KEPLA.exe"), u"");
}

TEST(CardPaths, ImagePathFollowsTheRootAndRefusesWhatDoesNotFit) {
  WCHAR path[MAX_PATH];
  ASSERT_TRUE(PreparedImagePath(u"\\Storage Card\\", path));
  EXPECT_EQ(std::u16string(path), u"\\Storage Card\\407_QMR_SD.bin");
  ASSERT_TRUE(PreparedImagePath(u"", path));  // a program in the root folder
  EXPECT_EQ(std::u16string(path), u"407_QMR_SD.bin");

  std::u16string fits = u"\\" + std::u16string(MAX_PATH - 1 - 14 - 2, u'c') + u"\\";
  ASSERT_TRUE(PreparedImagePath(fits.c_str(), path));
  EXPECT_EQ(std::u16string(path).size(), (size_t)MAX_PATH - 1);
  std::u16string longer = u"\\" + std::u16string(MAX_PATH - 1 - 14 - 1, u'c') + u"\\";
  path[0] = u'?';
  EXPECT_FALSE(PreparedImagePath(longer.c_str(), path));
  EXPECT_EQ(path[0], 0);
}

TEST(TextBounds, JoinPathRefusesResultsOfMaxPathCharacters) {
  WCHAR path[MAX_PATH + 8];
  path[MAX_PATH] = u'#';  // a guard just past the buffer the program would have
  std::u16string folder(200, u'f');
  std::u16string name59(59, u'n');
  ASSERT_TRUE(JoinPath(path, folder.c_str(), name59.c_str()));
  EXPECT_EQ(std::u16string(path), folder + name59);
  std::u16string name60(60, u'n');
  EXPECT_FALSE(JoinPath(path, folder.c_str(), name60.c_str()));
  EXPECT_EQ(path[0], 0);
  EXPECT_EQ(path[MAX_PATH], u'#');
}

}  // namespace
