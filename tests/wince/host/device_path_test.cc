// Mapping device paths onto host folders: confinement, case-blind lookup, cards.
#include <wince/device_path.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace wce {
namespace {

namespace fs = std::filesystem;

class DevicePathTest : public ::testing::Test {
 protected:
  DevicePathTest() {
    fs::create_directories(root_ / "Windows");
    fs::create_directories(card_ / "Upgrade");
    volumes_ = {Volume{u"", root_}, Volume{u"Storage Card", card_}};
  }

  DWORD Map(std::u16string_view path, HostLocation* where) {
    return MapDevicePath(volumes_, path, where);
  }
  DWORD Map(std::u16string_view path) {
    HostLocation where;
    return Map(path, &where);
  }

  kepla_test::ScratchDir scratch_;
  kepla_test::ScratchDir elsewhere_;  // the card lives outside the device folder, as a mount would
  fs::path root_ = scratch_ / "fs";
  fs::path card_ = elsewhere_ / "sdcard";
  std::vector<Volume> volumes_;
};

TEST_F(DevicePathTest, CardPathsLeadToTheCardsOwnHostFolder) {
  HostLocation where;
  ASSERT_EQ(Map(u"\\Storage Card\\Upgrade\\fw.bin", &where), ERROR_SUCCESS);
  EXPECT_EQ(where.volume, 1u);
  EXPECT_EQ(where.host, card_ / "Upgrade" / "fw.bin");
  EXPECT_FALSE(where.exists);
  EXPECT_EQ(where.leaf, u"fw.bin");
  EXPECT_EQ(where.device, u"\\Storage Card\\Upgrade\\fw.bin");

  ASSERT_EQ(Map(u"\\storage card\\", &where), ERROR_SUCCESS);
  EXPECT_EQ(where.volume, 1u);
  EXPECT_TRUE(where.exists);
  EXPECT_TRUE(where.leaf.empty());

  ASSERT_EQ(Map(u"\\Windows\\x.txt", &where), ERROR_SUCCESS);
  EXPECT_EQ(where.volume, 0u);
  EXPECT_EQ(where.host, root_ / "Windows" / "x.txt");

  ASSERT_EQ(Map(u"\\", &where), ERROR_SUCCESS);
  EXPECT_EQ(where.host, root_);
  EXPECT_TRUE(where.exists);
}

TEST_F(DevicePathTest, ExistingNamesAreFoundWhateverTheirCase) {
  scratch_.Write("fs/Windows/Setup.DLL", "x");
  HostLocation where;
  ASSERT_EQ(Map(u"\\WINDOWS\\setup.dll", &where), ERROR_SUCCESS);
  EXPECT_TRUE(where.exists);
  EXPECT_EQ(where.host, root_ / "Windows" / "Setup.DLL");
  // The exact spelling wins over a case variant; among variants the first in byte order.
  scratch_.Write("fs/Windows/setup.dll", "y");
  scratch_.Write("fs/Windows/SETUP.dll", "z");
  ASSERT_EQ(Map(u"\\Windows\\setup.dll", &where), ERROR_SUCCESS);
  EXPECT_EQ(where.host.filename(), "setup.dll");
  ASSERT_EQ(Map(u"\\Windows\\Setup.dLL", &where), ERROR_SUCCESS);
  EXPECT_EQ(where.host.filename(), "SETUP.dll");
}

TEST_F(DevicePathTest, NonAsciiNamesMatchCaseBlind) {
  fs::create_directories(card_ /
                         "\xC3\x9C"
                         "bung");  // "Übung"
  HostLocation where;
  ASSERT_EQ(Map(u"\\Storage Card\\\u00FCBUNG\\a", &where), ERROR_SUCCESS);
  EXPECT_EQ(where.host, card_ /
                            "\xC3\x9C"
                            "bung" /
                            "a");
}

TEST_F(DevicePathTest, MissingFoldersOnTheWayAreNotFound) {
  EXPECT_EQ(Map(u"\\Storage Card\\Nowhere\\fw.bin"), ERROR_PATH_NOT_FOUND);
  scratch_.Write("fs/file", "x");
  EXPECT_EQ(Map(u"\\file\\below"), ERROR_PATH_NOT_FOUND);
}

TEST_F(DevicePathTest, RefusesPathsThatCouldLeaveTheVolume) {
  EXPECT_EQ(Map(u"\\Storage Card\\..\\..\\etc\\passwd"), ERROR_INVALID_NAME);
  EXPECT_EQ(Map(u"\\Windows\\..\\x"), ERROR_INVALID_NAME);
  EXPECT_EQ(Map(u"/etc/passwd"), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Map(u"\\/etc/passwd"), ERROR_INVALID_NAME);
  EXPECT_EQ(Map(u"C:\\Windows"), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Map(u"\\C:\\Windows"), ERROR_INVALID_NAME);
  EXPECT_EQ(Map(u"Windows\\x"), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Map(u""), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Map(u"\\Windows\\*.txt"), ERROR_INVALID_NAME);
  EXPECT_EQ(Map(u"\\Windows\\a\u0001b"), ERROR_INVALID_NAME);
  EXPECT_EQ(Map(std::u16string(u"\\Windows\\") + char16_t(0xD800)), ERROR_INVALID_NAME);
}

TEST_F(DevicePathTest, PathsOfMaxPathCharactersOrMoreAreTooLong) {
  const std::u16string prefix = u"\\Storage Card\\";
  const std::u16string fits = prefix + std::u16string(MAX_PATH - 1 - prefix.size(), u'a');
  ASSERT_EQ(fits.size(), 259u);
  EXPECT_EQ(Map(fits), ERROR_SUCCESS);
  EXPECT_EQ(Map(fits + u"a"), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(Map(fits + u"aaaa"), ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(DevicePathTest, LinksInsideTheVolumeAreFollowedLinksOutAreRefused) {
  scratch_.Write("fs/Windows/real.txt", "x");
  fs::create_symlink(root_ / "Windows", root_ / "inner");
  fs::create_symlink("/etc", root_ / "outer");
  fs::create_symlink("/etc/passwd", root_ / "Windows" / "passwd");
  fs::create_symlink(root_ / "missing", root_ / "dangling");
  fs::create_symlink(root_ / "Windows", card_ / "to_root");  // from the card into fs/

  HostLocation where;
  ASSERT_EQ(Map(u"\\inner\\real.txt", &where), ERROR_SUCCESS);
  EXPECT_TRUE(where.exists);
  EXPECT_EQ(Map(u"\\outer\\passwd"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Map(u"\\OUTER"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Map(u"\\Windows\\passwd"), ERROR_ACCESS_DENIED);
  // A dangling link would let a create escape through its target: refused as well.
  EXPECT_EQ(Map(u"\\dangling"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Map(u"\\Storage Card\\to_root\\real.txt"), ERROR_ACCESS_DENIED);
}

TEST_F(DevicePathTest, TheAttributeSidecarAndItsTemporaryAreNoDeviceNames) {
  scratch_.Write("fs/Windows/.kepla-attributes", "00000002 x\n");
  scratch_.Write("fs/Windows/.kepla-attributes.new", "00000002 x\n");
  EXPECT_EQ(Map(u"\\Windows\\.kepla-attributes"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Map(u"\\Windows\\.KEPLA-Attributes"), ERROR_ACCESS_DENIED);
  // The file the sidecar is rewritten through, whether it is there at the moment or not.
  EXPECT_EQ(Map(u"\\Windows\\.kepla-attributes.new"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Map(u"\\Windows\\.Kepla-Attributes.NEW"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Map(u"\\Storage Card\\.kepla-attributes.new"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Map(u"\\.kepla-attributes.new\\x"), ERROR_ACCESS_DENIED);
  // Names that only start or end like them are ordinary.
  EXPECT_EQ(Map(u"\\Windows\\.kepla-attributes.old"), ERROR_SUCCESS);
  EXPECT_EQ(Map(u"\\Windows\\x.kepla-attributes.new"), ERROR_SUCCESS);
}

TEST_F(DevicePathTest, DoubledSeparatorsAndDotsCollapse) {
  HostLocation where;
  ASSERT_EQ(Map(u"\\\\Storage Card\\.\\Upgrade\\\\fw.bin", &where), ERROR_SUCCESS);
  EXPECT_EQ(where.host, card_ / "Upgrade" / "fw.bin");
  EXPECT_EQ(where.device, u"\\Storage Card\\Upgrade\\fw.bin");
}

TEST(IsInsideVolumeTest, FollowsLinksBeforeComparing) {
  kepla_test::ScratchDir dir;
  fs::create_directories(dir / "root" / "a");
  fs::create_directories(dir / "rootling");
  fs::create_symlink(dir / "rootling", dir / "root" / "sibling");
  EXPECT_TRUE(IsInsideVolume(dir / "root" / "a", dir / "root"));
  EXPECT_TRUE(IsInsideVolume(dir / "root", dir / "root"));
  // "rootling" shares a prefix of characters with "root" but is not inside it.
  EXPECT_FALSE(IsInsideVolume(dir / "root" / "sibling", dir / "root"));
  EXPECT_FALSE(IsInsideVolume(dir / "root" / "missing", dir / "root"));
}

}  // namespace
}  // namespace wce
