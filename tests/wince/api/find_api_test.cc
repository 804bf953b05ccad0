// Directory searches: patterns, what is never listed, the cards in the root, the search handle.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "support/device_fixture.h"

namespace {

class FindApiTest : public kepla_test::DeviceFixture {
 protected:
  // Every name the search for `pattern` yields, in order; empty when it cannot start.
  std::vector<std::u16string> Names(LPCWSTR pattern) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(pattern, &data);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      names.emplace_back(data.cFileName);
    } while (FindNextFileW(search, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    EXPECT_TRUE(FindClose(search));
    return names;
  }
  static std::set<std::u16string> Set(const std::vector<std::u16string>& names) {
    return {names.begin(), names.end()};
  }
};

TEST_F(FindApiTest, StarDotStarListsEverythingAfterDotAndDotDot) {
  Boot();
  PutFile(u"\\Storage Card\\Upgrade\\KEPLA.exe", "exe");
  PutFile(u"\\Storage Card\\Upgrade\\fw.bin", "package");
  PutFile(u"\\Storage Card\\Upgrade\\README", "text");
  ASSERT_TRUE(CreateDirectoryW(u"\\Storage Card\\Upgrade\\old", nullptr));
  // A folder lists itself and its parent first, as desktop Win32 does.
  const std::vector<std::u16string> names = Names(u"\\Storage Card\\Upgrade\\*.*");
  ASSERT_EQ(names.size(), 6u);
  EXPECT_EQ(names[0], u".");
  EXPECT_EQ(names[1], u"..");
  EXPECT_EQ(Set(names),
            (std::set<std::u16string>{u".", u"..", u"KEPLA.exe", u"fw.bin", u"README", u"old"}));
  EXPECT_EQ(Names(u"\\Storage Card\\Upgrade\\*.bin"), (std::vector<std::u16string>{u"fw.bin"}));
  // Nor is the layer's attribute sidecar, on hosts that need one, nor the file it is rewritten
  // through (left behind by a crash, or there for a moment); whatever their case on the host.
  PutFile(u"\\Storage Card\\Upgrade\\.kepla-attributes", "00000002 fw.bin\n");
  PutFile(u"\\Storage Card\\Upgrade\\.kepla-attributes.new", "00000002 fw.bin\n");
  PutFile(u"\\Storage Card\\Upgrade\\.KEPLA-ATTRIBUTES.NEW", "00000002 fw.bin\n");
  EXPECT_EQ(Names(u"\\Storage Card\\Upgrade\\*.*").size(), 6u);
  EXPECT_EQ(Names(u"\\Storage Card\\Upgrade\\.kepla*").size(), 0u);
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\Upgrade\\.kepla-attributes.new"),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(CreateFileW(u"\\Storage Card\\Upgrade\\.kepla-attributes.new", GENERIC_READ, 0, nullptr,
                        OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FindApiTest, PatternsMatchCaseBlind) {
  Boot();
  PutFile(u"\\Storage Card\\Upgrade\\fw.BIN", "a");
  PutFile(u"\\Storage Card\\Upgrade\\old.bin2", "b");
  PutFile(u"\\Storage Card\\Upgrade\\notes.txt", "c");
  EXPECT_EQ(Set(Names(u"\\storage card\\UPGRADE\\*.bin")), (std::set<std::u16string>{u"fw.BIN"}));
  EXPECT_EQ(Set(Names(u"\\Storage Card\\Upgrade\\*.bin*")),
            (std::set<std::u16string>{u"fw.BIN", u"old.bin2"}));
  EXPECT_EQ(Names(u"\\Storage Card\\Upgrade\\???.bin2"),
            (std::vector<std::u16string>{u"old.bin2"}));
  EXPECT_EQ(Names(u"\\Storage Card\\Upgrade\\NOTES.TXT"),
            (std::vector<std::u16string>{u"notes.txt"}));
}

TEST_F(FindApiTest, FindDataCarriesSizeAttributesAndTime) {
  Boot();
  PutFile(u"\\Storage Card\\Upgrade\\fw.bin", std::string(70000, 'p'));
  ASSERT_TRUE(CreateDirectoryW(u"\\Storage Card\\Upgrade\\sub", nullptr));
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(u"\\Storage Card\\Upgrade\\fw.bin", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.nFileSizeLow, 70000u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  // Written after 2001 (FILETIME counts 100 ns steps from 1601).
  EXPECT_GT(data.ftLastWriteTime.dwHighDateTime, 0x01C00000u);
  FindClose(search);
  search = FindFirstFileW(u"\\Storage Card\\Upgrade\\SUB", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  FindClose(search);
}

TEST_F(FindApiTest, TheRootListsEachCardOnceAsAFolder) {
  kepla_test::ScratchDir mount;  // a card outside the device folder, as an SD card mount would be
  wce::CardSpec card;
  card.name = u"SD Card";
  card.host = mount / "sd";
  std::filesystem::create_directories(card.host);
  profile().cards = {wce::CardSpec{u"Storage Card", {}, {}}, card};
  Boot();
  ASSERT_TRUE(CreateDirectoryW(u"\\Windows", nullptr));
  std::vector<std::u16string> names = Names(u"\\*.*");
  EXPECT_EQ(Set(names), (std::set<std::u16string>{u"Windows", u"Storage Card", u"SD Card"}));
  EXPECT_EQ(names.size(), 3u);

  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(u"\\sd*", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(data.cFileName), u"SD Card");
  EXPECT_EQ(data.dwFileAttributes,
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY));
  FindClose(search);
  // Files made on that card land in its host folder.
  PutFile(u"\\SD Card\\x.bin", "x");
  EXPECT_TRUE(std::filesystem::exists(mount / "sd" / "x.bin"));
  EXPECT_EQ(Names(u"\\sd card\\*.*"), (std::vector<std::u16string>{u".", u"..", u"x.bin"}));
}

TEST_F(FindApiTest, LinksOutOfTheDeviceAreNotListed) {
  Boot();
  PutFile(u"\\Storage Card\\inside.bin", "x");
  std::filesystem::create_symlink("/etc", HostPath(u"\\Storage Card\\etc"));
  std::filesystem::create_symlink(HostPath(u"\\Storage Card\\inside.bin"),
                                  HostPath(u"\\Storage Card\\alias.bin"));
  EXPECT_EQ(Set(Names(u"\\Storage Card\\*.*")),
            (std::set<std::u16string>{u".", u"..", u"inside.bin", u"alias.bin"}));
}

TEST_F(FindApiTest, SearchesThatCannotStart) {
  Boot();
  ASSERT_TRUE(CreateDirectoryW(u"\\Storage Card\\Empty", nullptr));
  WIN32_FIND_DATAW data;
  EXPECT_EQ(FindFirstFileW(u"\\Storage Card\\Empty\\*.bin", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileW(u"\\Storage Card\\Missing\\*.*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  // A program in the root folder has an empty folder: the pattern is a bare "*.*".
  EXPECT_EQ(FindFirstFileW(u"*.*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FindFirstFileW(u"\\Storage Card\\..\\*.*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_FALSE(FindNextFileW(INVALID_HANDLE_VALUE, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FindApiTest, FindCloseTakesOnlySearchHandles) {
  Boot();
  PutFile(u"\\Storage Card\\a.bin", "a");
  HANDLE file = CreateFileW(u"\\Storage Card\\a.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(FindClose(file));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(CloseHandle(file));  // still open: FindClose left it alone

  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(u"\\Storage Card\\*.*", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  EXPECT_FALSE(FindNextFileW(search, &data));
}

}  // namespace
