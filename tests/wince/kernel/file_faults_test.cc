// Injected failures seen through the file calls, and the free space a card reports.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "model/scheduler.h"
#include "kernel/threads.h"
#include "system/device.h"
#include "support/device_fixture.h"

namespace {

using Kind = wce::FaultSpec::Kind;

constexpr char16_t kPackage[] = u"\\Storage Card\\Upgrade\\fw.bin";
constexpr char16_t kImage[] = u"\\Storage Card\\407_QMR_SD.bin";

class FileFaultsTest : public kepla_test::DeviceFixture {
 protected:
  void AddFault(Kind kind, std::u16string file, std::uint64_t offset, std::uint32_t ms = 0) {
    wce::FaultSpec spec;
    spec.kind = kind;
    spec.file = std::move(file);
    spec.offset = offset;
    spec.ms = ms;
    profile().faults.push_back(spec);
  }
  void AddDiskFull(std::uint64_t bytes) {
    wce::FaultSpec spec;
    spec.kind = Kind::kDiskFull;
    spec.card = u"Storage Card";
    spec.bytes = bytes;
    profile().faults.push_back(spec);
  }

  // Boots with a package of `size` bytes whose byte i is i % 251, and opens it for reading.
  HANDLE BootWithPackage(std::size_t size) {
    Boot();
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
    PutFile(kPackage, bytes);
    return CreateFileW(kPackage, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  }

  HANDLE CreateImage() {
    return CreateFileW(kImage, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_HIDDEN, nullptr);
  }

  std::uint64_t FreeOnCard() {
    ULARGE_INTEGER free_bytes{};
    EXPECT_TRUE(GetDiskFreeSpaceExW(u"\\Storage Card\\", &free_bytes, nullptr, nullptr));
    return free_bytes.QuadPart;
  }
};

TEST_F(FileFaultsTest, ReadErrorFailsEveryReadOverTheBadOffset) {
  AddFault(Kind::kReadError, u"\\STORAGE CARD\\upgrade\\FW.BIN", 5000);
  HANDLE in = BootWithPackage(10000);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  std::string buffer(4096, '\0');
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(in, buffer.data(), 4096, &got, nullptr));
  EXPECT_EQ(got, 4096u);
  for (int attempt = 0; attempt < 2; ++attempt) {
    got = 77;
    EXPECT_FALSE(ReadFile(in, buffer.data(), 4096, &got, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_READ_FAULT);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(SetFilePointer(in, 0, nullptr, FILE_CURRENT), 4096u);  // nothing consumed
  }
  // Reading around the bad byte works.
  ASSERT_EQ(SetFilePointer(in, 5001, nullptr, FILE_BEGIN), 5001u);
  ASSERT_TRUE(ReadFile(in, buffer.data(), 4096, &got, nullptr));
  EXPECT_EQ(got, 4096u);
  EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 5001 % 251);
  CloseHandle(in);
}

TEST_F(FileFaultsTest, ShortReadDeliversTheBytesBeforeTheOffsetOnce) {
  AddFault(Kind::kShortRead, kPackage, 1000);
  HANDLE in = BootWithPackage(3000);
  std::string buffer(2048, '\0');
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(in, buffer.data(), 2048, &got, nullptr));
  EXPECT_EQ(got, 1000u);
  EXPECT_EQ(static_cast<unsigned char>(buffer[999]), 999 % 251);
  ASSERT_TRUE(ReadFile(in, buffer.data(), 2048, &got, nullptr));
  EXPECT_EQ(got, 2000u);  // the rest of the file, whole
  EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 1000 % 251);
  CloseHandle(in);
}

TEST_F(FileFaultsTest, WriteErrorWritesNothingOfTheFailingWrite) {
  AddFault(Kind::kWriteError, kImage, 2048 + 100);
  Boot();
  HANDLE out = CreateImage();
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  const std::string block(2048, 'b');
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(out, block.data(), 2048, &written, nullptr));
  EXPECT_FALSE(WriteFile(out, block.data(), 2048, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_WRITE_FAULT);
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(SetEndOfFile(out));
  EXPECT_EQ(GetFileSize(out, nullptr), 2048u);
  CloseHandle(out);
}

TEST_F(FileFaultsTest, ReadStallPassesInDeviceTimeOnly) {
  // Ten minutes of device time: the test would time out if the stall were real.
  AddFault(Kind::kReadStall, kPackage, 40000, 600000);
  HANDLE in = BootWithPackage(70000);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  std::uint64_t before = 0, after = 0, after_second = 0;
  DWORD first = 0, second = 0;
  std::string buffer(32767, '\0');
  {
    kepla_test::DeviceThreadRunner worker(device(), [&] {
      before = device().scheduler().Now();
      ASSERT_TRUE(ReadFile(in, buffer.data(), 32767, &first, nullptr));   // ends before the offset
      ASSERT_TRUE(ReadFile(in, buffer.data(), 32767, &second, nullptr));  // reaches it: stalls
      after = device().scheduler().Now();
      ASSERT_TRUE(SetFilePointer(in, 0, nullptr, FILE_BEGIN) == 0);
      ASSERT_TRUE(ReadFile(in, buffer.data(), 32767, &first, nullptr));
      ASSERT_TRUE(ReadFile(in, buffer.data(), 32767, &second, nullptr));  // once only
      after_second = device().scheduler().Now();
    });
    ASSERT_TRUE(worker.Join()) << "the stalled read did not finish";
  }
  EXPECT_EQ(after - before, 600000u);
  EXPECT_EQ(after_second, after);
  EXPECT_EQ(first, 32767u);
  EXPECT_EQ(second, 32767u);  // the stalled read then delivers in full
  EXPECT_EQ(static_cast<unsigned char>(buffer[0]), 32767 % 251);
  CloseHandle(in);
}

TEST_F(FileFaultsTest, TerminatingAStalledReaderWakesIt) {
  AddFault(Kind::kReadStall, kPackage, 0, 60000);
  HANDLE in = BootWithPackage(4096);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  bool returned = false;
  {
    // This thread counts as a device thread too: time moves only while both wait.
    wce::DeviceThreadScope self(device().scheduler(), device().threads().NewRecord());
    kepla_test::DeviceThreadRunner worker(device(), [&] {
      char buffer[16];
      DWORD got = 0;
      ReadFile(in, buffer, sizeof buffer, &got, nullptr);
      returned = true;
    });
    // The clock reaches 1000 only once the worker waits too, which it does inside its stall.
    {
      wce::Scheduler& scheduler = device().scheduler();
      wce::UniqueLock lock(scheduler.mutex());
      scheduler.Wait(
          lock, [] { return false; }, 1000);
    }
    worker.Terminate();
    ASSERT_TRUE(worker.Join()) << "the terminated reader did not unwind";
    EXPECT_TRUE(worker.terminated());
  }
  EXPECT_FALSE(returned);
  EXPECT_EQ(device().scheduler().Now(), 1000u);
  CloseHandle(in);  // the handle stays open after the thread is gone, as the process owns it
}

// The open after `skip` earlier ones waits, in device time, before it looks for the file: a
// thread stopped meanwhile has opened nothing.
TEST_F(FileFaultsTest, OpenStallHoldsTheChosenOpenOnly) {
  wce::FaultSpec spec;
  spec.kind = Kind::kOpenStall;
  spec.file = kPackage;
  spec.ms = 60000;
  spec.skip = 1;
  profile().faults.push_back(spec);
  HANDLE first = BootWithPackage(100);  // the open the stall lets through
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  CloseHandle(first);
  std::uint64_t took = 0, again = 0;
  {
    kepla_test::DeviceThreadRunner opener(device(), [&] {
      std::uint64_t start = device().scheduler().Now();
      HANDLE second = CreateFileW(kPackage, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
      took = device().scheduler().Now() - start;
      EXPECT_NE(second, INVALID_HANDLE_VALUE);
      CloseHandle(second);
      start = device().scheduler().Now();
      HANDLE third = CreateFileW(kPackage, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
      again = device().scheduler().Now() - start;
      CloseHandle(third);
    });
    ASSERT_TRUE(opener.Join());
  }
  EXPECT_EQ(took, 60000u);
  EXPECT_EQ(again, 0u);
}

// A card pulled out during a write: what fitted is written, the write fails, and from then on
// the card is gone for the device (its host folder keeps what was written).
TEST_F(FileFaultsTest, CardRemovedTakesTheCardAwayForGood) {
  wce::FaultSpec spec;
  spec.kind = Kind::kCardRemoved;
  spec.card = u"Storage Card";
  spec.bytes = 5000;
  profile().faults.push_back(spec);
  HANDLE in = BootWithPackage(100);
  ASSERT_NE(in, INVALID_HANDLE_VALUE);
  HANDLE out = CreateImage();
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  const std::string chunk(3000, 'c');
  DWORD done = 0;
  ASSERT_TRUE(WriteFile(out, chunk.data(), 3000, &done, nullptr));
  EXPECT_FALSE(WriteFile(out, chunk.data(), 3000, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  EXPECT_EQ(done, 2000u);

  // Handles on the card fail, whatever they do; closing them still works.
  EXPECT_FALSE(WriteFile(out, chunk.data(), 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  EXPECT_FALSE(SetEndOfFile(out));
  EXPECT_EQ(GetFileSize(out, nullptr), INVALID_FILE_SIZE);
  char buffer[16];
  EXPECT_FALSE(ReadFile(in, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_REMOVED);
  EXPECT_TRUE(CloseHandle(out));
  EXPECT_TRUE(CloseHandle(in));

  // Its paths are not found, its folder is gone from the root, and nothing can be removed.
  EXPECT_EQ(CreateFileW(kPackage, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(DeleteFileW(kImage));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesW(u"\\Storage Card"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ULARGE_INTEGER free_bytes{};
  EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\Storage Card\\", &free_bytes, nullptr, nullptr));
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(u"\\*", &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      EXPECT_NE(std::u16string(data.cFileName), u"Storage Card");
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  EXPECT_EQ(std::filesystem::file_size(HostPath(kImage)), 5000u);
}

TEST_F(FileFaultsTest, DiskFullWritesWhatFitsThenRefuses) {
  AddDiskFull(5000);
  Boot();
  EXPECT_LE(FreeOnCard(), 5000u);
  HANDLE out = CreateImage();
  ASSERT_NE(out, INVALID_HANDLE_VALUE);
  const std::string chunk(3000, 'c');
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(out, chunk.data(), 3000, &written, nullptr));
  EXPECT_FALSE(WriteFile(out, chunk.data(), 3000, &written, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_DISK_FULL);
  EXPECT_EQ(written, 2000u);
  EXPECT_EQ(GetFileSize(out, nullptr), 5000u);
  EXPECT_FALSE(WriteFile(out, chunk.data(), 1, &written, nullptr));
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(FreeOnCard(), 0u);
  CloseHandle(out);
  // The root folder's volume is not concerned.
  HANDLE elsewhere = CreateFileW(u"\\log.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_TRUE(WriteFile(elsewhere, chunk.data(), 3000, &written, nullptr));
  CloseHandle(elsewhere);
}

TEST_F(FileFaultsTest, ConfiguredFreeBytesFollowWhatTheDeviceWrites) {
  profile().cards = {wce::CardSpec{u"Storage Card", {}, 5ull << 30}};  // 5 GiB: above 32 bits
  Boot();
  EXPECT_EQ(FreeOnCard(), 5ull << 30);
  HANDLE out = CreateImage();
  const std::string chunk(1000, 'c');
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(out, chunk.data(), 1000, &written, nullptr));
  ASSERT_EQ(SetFilePointer(out, 0, nullptr, FILE_BEGIN), 0u);
  ASSERT_TRUE(WriteFile(out, chunk.data(), 1000, &written, nullptr));  // overwrites: no growth
  EXPECT_EQ(FreeOnCard(), (5ull << 30) - 1000);
  CloseHandle(out);
  ASSERT_TRUE(DeleteFileW(kImage));
  EXPECT_EQ(FreeOnCard(), 5ull << 30);

  ULARGE_INTEGER caller{}, total{}, total_free{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Storage Card", &caller, &total, &total_free));
  EXPECT_EQ(caller.HighPart, 1u);
  EXPECT_EQ(total_free.QuadPart, caller.QuadPart);
  EXPECT_GE(total.QuadPart, caller.QuadPart);
}

TEST_F(FileFaultsTest, FreeSpaceOfHostFoldersAndBadPaths) {
  Boot();
  ULARGE_INTEGER caller{}, total{};
  ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\Storage Card\\", &caller, &total, nullptr));
  EXPECT_GT(total.QuadPart, 0u);
  EXPECT_LE(caller.QuadPart, total.QuadPart);
  EXPECT_TRUE(GetDiskFreeSpaceExW(nullptr, &caller, nullptr, nullptr));
  EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\Storage Card\\Missing\\", &caller, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  // A program in the root folder asks with an empty card root.
  EXPECT_FALSE(GetDiskFreeSpaceExW(u"", &caller, nullptr, nullptr));
}

}  // namespace
