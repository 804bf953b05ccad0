// The Win32 file calls on a booted device: dispositions, sharing, deletion, attributes, sizes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/device_fixture.h"

namespace {

constexpr char16_t kImage[] = u"\\Storage Card\\407_QMR_SD.bin";

class FileApiTest : public kepla_test::DeviceFixture {
 protected:
  void SetUp() override { Boot(); }

  HANDLE Open(LPCWSTR path, DWORD access, DWORD share, DWORD disposition,
              DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(path, access, share, nullptr, disposition, attributes, nullptr);
  }

  std::string ReadAll(HANDLE file, DWORD max = 4096) {
    std::string bytes(max, '\0');
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(file, bytes.data(), max, &got, nullptr));
    bytes.resize(got);
    return bytes;
  }

  void Write(HANDLE file, std::string_view bytes) {
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    EXPECT_EQ(written, bytes.size());
  }
};

TEST_F(FileApiTest, DispositionsOnMissingAndExistingFiles) {
  EXPECT_EQ(Open(kImage, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(kImage, GENERIC_WRITE, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  HANDLE created = Open(kImage, GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  Write(created, "first");
  ASSERT_TRUE(CloseHandle(created));
  EXPECT_EQ(FileBytes(kImage), "first");

  EXPECT_EQ(Open(kImage, GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

  HANDLE kept = Open(kImage, GENERIC_READ, 0, OPEN_ALWAYS);
  ASSERT_NE(kept, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);  // told, but no failure
  EXPECT_EQ(ReadAll(kept), "first");
  CloseHandle(kept);

  HANDLE fresh = Open(u"\\Storage Card\\new.bin", GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(fresh, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(fresh);

  HANDLE truncated = Open(kImage, GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  ASSERT_NE(truncated, INVALID_HANDLE_VALUE);
  CloseHandle(truncated);
  EXPECT_EQ(FileBytes(kImage), "");
  // Cutting a file needs write access.
  EXPECT_EQ(Open(kImage, GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(FileApiTest, CreateAlwaysReplacesAnExistingHiddenImage) {
  PutFile(kImage, std::string(5000, 'o'));
  ASSERT_TRUE(SetFileAttributesW(kImage, FILE_ATTRIBUTE_HIDDEN));
  HANDLE out = Open(kImage, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(out, nullptr), 0u);
  Write(out, "new");
  CloseHandle(out);
  EXPECT_EQ(FileBytes(kImage), "new");
  EXPECT_EQ(GetFileAttributesW(kImage), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

  // Replacing with plain attributes drops the hidden one.
  CloseHandle(Open(kImage, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(GetFileAttributesW(kImage), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
}

TEST_F(FileApiTest, HiddenAttributePersistsAcrossCloseAndReopen) {
  HANDLE out = Open(kImage, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  Write(out, "image");
  CloseHandle(out);
  EXPECT_EQ(GetFileAttributesW(u"\\STORAGE CARD\\407_qmr_sd.BIN"),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

  // Opening it again (as the verification does) neither needs nor changes the attribute.
  HANDLE in = Open(kImage, GENERIC_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(in), "image");
  CloseHandle(in);

  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(u"\\Storage Card\\407*", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(found.nFileSizeLow, 5u);
  FindClose(search);

  // A later device on the same folder still sees it.
  Shutdown();
  Boot();
  EXPECT_EQ(GetFileAttributesW(kImage), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(FileApiTest, AttributesOfFoldersAndReadOnlyFiles) {
  EXPECT_EQ(GetFileAttributesW(u"\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card"),
            static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY));
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\missing"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  PutFile(u"\\Storage Card\\ro.txt", "x");
  ASSERT_TRUE(SetFileAttributesW(u"\\Storage Card\\ro.txt",
                                 FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card\\ro.txt"),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_EQ(Open(u"\\Storage Card\\ro.txt", GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileW(u"\\Storage Card\\ro.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(SetFileAttributesW(u"\\Storage Card\\ro.txt", FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(DeleteFileW(u"\\Storage Card\\ro.txt"));
}

TEST_F(FileApiTest, FoldersCannotBeOpenedAsFiles) {
  ASSERT_TRUE(CreateDirectoryW(u"\\Storage Card\\Upgrade", nullptr));
  EXPECT_FALSE(CreateDirectoryW(u"\\Storage Card\\UPGRADE", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  // The package path when no package was found is the folder itself, with its backslash.
  EXPECT_EQ(Open(u"\\Storage Card\\Upgrade\\", GENERIC_READ, 0, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(u"\\Storage Card", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileW(u"\\Storage Card\\Upgrade"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(CreateDirectoryW(u"\\Storage Card\\No\\Such", nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(FileApiTest, NamesAreCaseBlindOnACaseSensitiveHost) {
  PutFile(u"\\Storage Card\\Upgrade\\FW.bin", "package");
  HANDLE in = Open(u"\\storage card\\upgrade\\fw.BIN", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(in), "package");
  CloseHandle(in);
  // Creating under another spelling reuses the existing file instead of making a twin.
  HANDLE out = Open(u"\\STORAGE CARD\\UPGRADE\\FW.BIN", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  CloseHandle(out);
  EXPECT_EQ(FileBytes(u"\\Storage Card\\Upgrade\\FW.bin"), "");
  EXPECT_FALSE(std::filesystem::exists(HostPath(u"\\Storage Card\\UPGRADE")));
}

TEST_F(FileApiTest, SharingViolations) {
  PutFile(u"\\Storage Card\\fw.bin", "package");
  HANDLE exclusive = Open(u"\\Storage Card\\fw.bin", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(u"\\Storage Card\\FW.BIN", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  // A refused CREATE_ALWAYS must not have cut the file.
  EXPECT_EQ(Open(u"\\Storage Card\\fw.bin", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(FileBytes(u"\\Storage Card\\fw.bin"), "package");
  ASSERT_TRUE(CloseHandle(exclusive));

  // Two writers that share writing: the worker's output handle and the clean-up's truncation.
  HANDLE worker =
      Open(kImage, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(worker, INVALID_HANDLE_VALUE);
  Write(worker, "partial");
  HANDLE cleanup =
      Open(kImage, GENERIC_WRITE, FILE_SHARE_WRITE, TRUNCATE_EXISTING, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(cleanup, INVALID_HANDLE_VALUE);
  EXPECT_EQ(FileBytes(kImage), "");
  // ...but a reader that shares nothing is kept out while either is open.
  EXPECT_EQ(Open(kImage, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  CloseHandle(cleanup);
  CloseHandle(worker);
  HANDLE reader = Open(kImage, GENERIC_READ, 0, OPEN_EXISTING);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
}

TEST_F(FileApiTest, DeletingAnOpenFileFailsUntilItIsClosed) {
  HANDLE out = Open(kImage, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(DeleteFileW(kImage));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(std::filesystem::exists(HostPath(kImage)));
  // Even a handle that asked for no access at all keeps the file.
  HANDLE query = Open(kImage, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(query, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(CloseHandle(out));
  EXPECT_FALSE(DeleteFileW(kImage));
  ASSERT_TRUE(CloseHandle(query));
  EXPECT_TRUE(DeleteFileW(kImage));
  EXPECT_FALSE(std::filesystem::exists(HostPath(kImage)));
  EXPECT_FALSE(DeleteFileW(kImage));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(FileApiTest, CloseHandleRefusesUnknownAndClosedHandles) {
  HANDLE out = Open(kImage, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_TRUE(CloseHandle(out));
  EXPECT_FALSE(CloseHandle(out));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
  DWORD got = 0;
  char byte;
  EXPECT_FALSE(ReadFile(out, &byte, 1, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileApiTest, ReadsAndWritesNeedTheirAccess) {
  PutFile(u"\\Storage Card\\fw.bin", "package");
  HANDLE in = Open(u"\\Storage Card\\fw.bin", GENERIC_READ, 0, OPEN_EXISTING);
  DWORD done = 99;
  EXPECT_FALSE(WriteFile(in, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(done, 0u);
  EXPECT_FALSE(SetEndOfFile(in));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(in);
  HANDLE out = Open(u"\\Storage Card\\fw.bin", GENERIC_WRITE, 0, OPEN_EXISTING);
  char buffer[4];
  EXPECT_FALSE(ReadFile(out, buffer, 4, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(out);
}

TEST_F(FileApiTest, ReadsFollowThePositionAndStopAtTheEnd) {
  PutFile(u"\\Storage Card\\fw.bin", "0123456789");
  HANDLE in = Open(u"\\Storage Card\\fw.bin", GENERIC_READ, 0, OPEN_EXISTING);
  EXPECT_EQ(ReadAll(in, 4), "0123");
  EXPECT_EQ(SetFilePointer(in, -3, nullptr, FILE_END), 7u);
  EXPECT_EQ(ReadAll(in, 100), "789");
  EXPECT_EQ(ReadAll(in, 100), "");  // at the end: success with nothing read
  EXPECT_EQ(SetFilePointer(in, -2, nullptr, FILE_CURRENT), 8u);
  EXPECT_EQ(ReadAll(in, 1), "8");
  CloseHandle(in);
}

TEST_F(FileApiTest, SizeAndPointerFailuresAreAllOnes) {
  EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetFilePointer(nullptr, 0, nullptr, FILE_BEGIN), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  PutFile(u"\\Storage Card\\small.bin", std::string(300, 's'));
  HANDLE in = Open(u"\\Storage Card\\small.bin", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  // The trailer seek of a package smaller than its trailer: size - 512 goes before the start.
  EXPECT_EQ(SetFilePointer(in, 300 - 512, nullptr, FILE_BEGIN), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(in, 0, nullptr, FILE_CURRENT), 0u);  // the position stayed
  EXPECT_EQ(SetFilePointer(in, 0, nullptr, 7), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // Past the end is allowed; the high part is read and written when given.
  EXPECT_EQ(SetFilePointer(in, 1000, nullptr, FILE_BEGIN), 1000u);
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(in, 5, &high, FILE_BEGIN), 5u);  // 4 GiB + 5
  EXPECT_EQ(high, 1);
  // Without a high part, a position beyond 32 bits cannot be told: refused.
  EXPECT_EQ(SetFilePointer(in, 0, nullptr, FILE_CURRENT), 0xFFFFFFFFu);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  high = 0;
  EXPECT_EQ(SetFilePointer(in, 7, &high, FILE_BEGIN), 7u);
  EXPECT_EQ(high, 0);
  DWORD size_high = 7;
  EXPECT_EQ(GetFileSize(in, &size_high), 300u);
  EXPECT_EQ(size_high, 0u);
  CloseHandle(in);
}

TEST_F(FileApiTest, SetEndOfFileCutsAndExtendsAtThePosition) {
  HANDLE out = Open(kImage, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  Write(out, "0123456789");
  ASSERT_EQ(SetFilePointer(out, 4, nullptr, FILE_BEGIN), 4u);
  ASSERT_TRUE(SetEndOfFile(out));
  EXPECT_EQ(GetFileSize(out, nullptr), 4u);
  EXPECT_EQ(SetFilePointer(out, 0, nullptr, FILE_CURRENT), 4u);
  ASSERT_EQ(SetFilePointer(out, 6, nullptr, FILE_BEGIN), 6u);
  ASSERT_TRUE(SetEndOfFile(out));
  CloseHandle(out);
  EXPECT_EQ(FileBytes(kImage), std::string("0123\0\0", 6));
}

TEST_F(FileApiTest, PathsOutsideTheDeviceAreRefused) {
  EXPECT_EQ(Open(u"\\Storage Card\\..\\..\\device.json", GENERIC_READ, 0, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_EQ(Open(u"407_QMR_SD.bin", GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open(nullptr, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  const std::u16string long_name = u"\\Storage Card\\" + std::u16string(250, u'x');
  EXPECT_EQ(Open(long_name.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_FALSE(DeleteFileW(u"\\..\\device.json"));
  EXPECT_TRUE(std::filesystem::exists(folder() / "fs"));
}

}  // namespace
