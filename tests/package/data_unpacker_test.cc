// The data object's view of the device: its paths, the package search and the trailer.
#include "package/data_unpacker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "package_fixture.h"

namespace kepla_test {
namespace {

std::u16string Str(LPCWSTR text) { return std::u16string(text); }

class DataUnpackerTest : public PackageDeviceTest {};

TEST_F(DataUnpackerTest, FindsCardRootProgramFolderAndPackage) {
  PutFile(kPackagePath, MakeTestPackage(4000));
  BootAsUi();
  DataUnpacker unpacker;
  EXPECT_EQ(Str(unpacker.CardRoot()), u"\\Storage Card\\");
  EXPECT_EQ(Str(unpacker.ProgramDir()), u"\\Storage Card\\Upgrade\\");
  EXPECT_EQ(Str(unpacker.PackagePath()), kPackagePath);
  EXPECT_EQ(Str(unpacker.OutputPath()), u"");
  // Nothing is read before Load.
  EXPECT_EQ(Str(unpacker.Header()->model), u"");
  WCHAR root[MAX_PATH];
  ASSERT_TRUE(FindCardRoot(root));
  EXPECT_EQ(Str(root), u"\\Storage Card\\");
}

TEST_F(DataUnpackerTest, ProgramInTheRootFolderHasNoCardRoot) {
  profile().program = u"\\KEPLA.exe";
  BootAsUi();
  DataUnpacker unpacker;
  EXPECT_EQ(Str(unpacker.CardRoot()), u"");
  EXPECT_EQ(Str(unpacker.ProgramDir()), u"\\");
  WCHAR root[MAX_PATH];
  EXPECT_FALSE(FindCardRoot(root));
  EXPECT_EQ(Str(root), u"");
}

TEST_F(DataUnpackerTest, PackageSearchIsCaseSensitiveAndTakesFoldersToo) {
  PutFile(u"\\Storage Card\\Upgrade\\fw.BIN", MakeTestPackage(4000));
  PutFile(u"\\Storage Card\\Upgrade\\notes.txt", "x");
  BootAsUi();
  {
    DataUnpacker unpacker;
    EXPECT_EQ(Str(unpacker.PackagePath()), u"\\Storage Card\\Upgrade\\");
    WCHAR name[MAX_PATH];
    EXPECT_FALSE(unpacker.FindPackageName(name));
    EXPECT_EQ(Str(name), u"");
    unpacker.Load();
    EXPECT_EQ(Str(unpacker.Header()->model), u"");
  }
  ASSERT_TRUE(CreateDirectoryW(u"\\Storage Card\\Upgrade\\old.bin.d", nullptr));
  DataUnpacker unpacker;
  EXPECT_EQ(Str(unpacker.PackagePath()), u"\\Storage Card\\Upgrade\\old.bin.d");
}

TEST_F(DataUnpackerTest, PackageSearchTakesTheFirstListedMatch) {
  for (const char16_t* name : {u"a.txt", u"old.bin2", u"fw.bin", u"zz.bin", u"x.bin.old"}) {
    PutFile(std::u16string(u"\\Storage Card\\Upgrade\\") + name, "x");
  }
  BootAsUi();
  // The file system's own order, whatever it is: no sorting.
  std::vector<std::u16string> listed;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(u"\\Storage Card\\Upgrade\\*.*", &entry);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  do {
    listed.push_back(entry.cFileName);
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  auto first = std::find_if(listed.begin(), listed.end(), [](const std::u16string& n) {
    return n.find(u".bin") != std::u16string::npos;
  });
  ASSERT_NE(first, listed.end());

  DataUnpacker unpacker;
  WCHAR name[MAX_PATH];
  ASSERT_TRUE(unpacker.FindPackageName(name));
  EXPECT_EQ(Str(name), *first);
}

TEST_F(DataUnpackerTest, TrailerIsReadOnlyFromPackagesLongerThan512Bytes) {
  PutFile(kPackagePath, MakeTestPackage(513));
  BootAsUi();
  {
    DataUnpacker unpacker;
    unpacker.Load();
    EXPECT_EQ(Str(unpacker.Header()->language), u"ENG");
    EXPECT_EQ(Str(unpacker.Header()->code), u"WWE,HKG");
    EXPECT_EQ(Str(unpacker.Header()->model), u"QMR407");
    EXPECT_EQ(Str(unpacker.Header()->romVersion), u"1.13.407.3");
    EXPECT_EQ(Str(unpacker.Header()->extRomVersion), u"1.13.407 ENG WWE");
  }
  std::string package = MakeTestPackage(513);
  PutFile(kPackagePath, package.substr(1));  // 512 bytes: all trailer, never read
  DataUnpacker unpacker;
  unpacker.Load();
  PackageHeader zero{};
  EXPECT_EQ(memcmp(unpacker.Header(), &zero, sizeof(zero)), 0);
}

TEST_F(DataUnpackerTest, TrailerFieldFillingItsRoomIsCutToFit) {
  BootAsUi();
  // A model of 32 characters and no terminator, written over the trailer by hand.
  std::string package = MakeTestPackage(3000);
  std::string trailer = package.substr(package.size() - 512);
  descramble(reinterpret_cast<LPBYTE>(trailer.data()), 512);
  for (int i = 0; i < 32; i++) {
    trailer[320 + 2 * i] = 'M';
    trailer[320 + 2 * i + 1] = 0;
  }
  descramble(reinterpret_cast<LPBYTE>(trailer.data()), 512);
  PutFile(kPackagePath, package.substr(0, package.size() - 512) + trailer);
  DataUnpacker unpacker;
  unpacker.Load();
  EXPECT_EQ(Str(unpacker.Header()->model), std::u16string(31, u'M'));
  EXPECT_EQ(Str(unpacker.Header()->romVersion), u"1.13.407.3");
}

TEST_F(DataUnpackerTest, OverlongPathsFailCleanly) {
  // A folder name that fits, and a package name that would make the path 260 characters.
  std::u16string folder = u"\\Storage Card\\" + std::u16string(180, u'u') + u"\\";
  profile().program = folder + u"KEPLA.exe";
  std::u16string name = std::u16string(260 - folder.size() - 4, u'f') + u".bin";
  ASSERT_EQ(folder.size() + name.size(), 260u);
  PutFile(folder + name, MakeTestPackage(3000));
  BootAsUi();
  DataUnpacker unpacker;
  EXPECT_EQ(Str(unpacker.ProgramDir()), folder);
  EXPECT_EQ(Str(unpacker.PackagePath()), folder);
  unpacker.Load();
  EXPECT_EQ(Str(unpacker.Header()->model), u"");
  EXPECT_FALSE(unpacker.UnpackData(bar()));
  EXPECT_FALSE(ImageExists());
}

TEST_F(DataUnpackerTest, ProgramPathTooLongForABufferLeavesEverythingEmpty) {
  profile().program = u"\\Storage Card\\" + std::u16string(250, u'p') + u"\\KEPLA.exe";
  BootAsUi();
  DataUnpacker unpacker;
  EXPECT_EQ(Str(unpacker.CardRoot()), u"");
  EXPECT_EQ(Str(unpacker.ProgramDir()), u"");
  EXPECT_EQ(Str(unpacker.PackagePath()), u"");
}

TEST_F(DataUnpackerTest, CardRootWithNoRoomForTheImageNameFails) {
  std::u16string root = u"\\" + std::u16string(250, u'r') + u"\\";
  profile().program = root + u"K.exe";
  BootAsUi();
  DataUnpacker unpacker;
  EXPECT_EQ(Str(unpacker.CardRoot()), root);
  EXPECT_FALSE(DeletePreparedImage());
}

// A program in the card's root searches that folder for its package: a package there bearing the
// image's name is the user's, and start-up must not delete it as a leftover image.
TEST_F(DataUnpackerTest, ProgramInTheCardRootKeepsThePackageBearingTheImageName) {
  profile().program = u"\\Storage Card\\KEPLA.exe";
  PutFile(kImagePath, MakeTestPackage(4000));
  BootAsUi();
  EXPECT_FALSE(DeletePreparedImage());
  EXPECT_TRUE(ImageExists());
  WCHAR name[MAX_PATH];
  ASSERT_TRUE(FindPackageIn(u"\\Storage Card\\", name));
  EXPECT_EQ(Str(name), u"407_QMR_SD.bin");
}

TEST_F(DataUnpackerTest, DeletePreparedImageRemovesTheImageAtTheCardRoot) {
  BootAsUi();
  EXPECT_FALSE(DeletePreparedImage());
  PutFile(kImagePath, "image");
  EXPECT_TRUE(DeletePreparedImage());
  EXPECT_FALSE(ImageExists());
}

}  // namespace
}  // namespace kepla_test
