// The extraction end to end: the worker, the wait loop, the watchdog and the clean-up, on a
// device with a virtual clock (the eleven-second settle phase costs no real time).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "package/data_unpacker.h"
#include "package_fixture.h"

namespace kepla_test {
namespace {

using Kind = wce::FaultSpec::Kind;

class UnpackDataTest : public PackageDeviceTest {
 protected:
  // Boots with a package of `size` bytes and loads the data object; returns the package.
  std::string Prepare(std::size_t size) {
    std::string package = MakeTestPackage(size);
    PutFile(kPackagePath, package);
    BootAsUi();
    unpacker_ = std::make_unique<DataUnpacker>();
    unpacker_->Load();
    return package;
  }

  // Runs the extraction; records how long it took in device time.
  BOOL Unpack() {
    DWORD start = GetTickCount();
    BOOL result = unpacker_->UnpackData(bar());
    elapsed_ = GetTickCount() - start;
    return result;
  }

  void TearDown() override {
    unpacker_.reset();
    PackageDeviceTest::TearDown();
  }

  // Holds the open of the package that follows `skip` earlier ones for ten minutes.
  void AddOpenStall(int skip) {
    wce::FaultSpec spec;
    spec.kind = Kind::kOpenStall;
    spec.file = kPackagePath;
    spec.ms = 600000;
    spec.skip = skip;
    profile().faults.push_back(spec);
  }

  std::unique_ptr<DataUnpacker> unpacker_;
  DWORD elapsed_ = 0;
};

TEST_F(UnpackDataTest, WritesTheHiddenImageAndSettlesForElevenSeconds) {
  std::string package = Prepare(40000);
  ASSERT_TRUE(Unpack());
  EXPECT_EQ(ImageBytes(), ImageOf(package));
  EXPECT_EQ(ImageBytes().size(), package.size() - 512);
  std::uint64_t offset = 0;
  std::string error;
  EXPECT_EQ(kepla::pkg::VerifyImage(HostPath(kPackagePath), HostPath(kImagePath), &offset, &error),
            kepla::pkg::Verdict::kSame);
  DWORD attributes = GetFileAttributesW(kImagePath);
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(std::u16string(unpacker_->OutputPath()), kImagePath);

  // One step after the first block, one after the only full chunk; 100 at the end.
  EXPECT_EQ(Steps(), 2);
  auto messages = BarMessages();
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().message, (UINT)PBM_SETPOS);
  EXPECT_EQ(messages.back().wparam, 100u);
  DWORD first = messages.front().tick;
  EXPECT_GE(messages.back().tick - first, 10000u);
  EXPECT_GE(elapsed_, 11000u);
  EXPECT_LT(elapsed_, 12000u);
}

TEST_F(UnpackDataTest, ImageIsThePackageWithoutTrailerAtEverySize) {
  // The smallest package, whole chunks with no tail, and a package under one chunk.
  for (std::size_t size : {std::size_t{2560}, std::size_t{2560 + 32767 * 3}, std::size_t{30000}}) {
    SCOPED_TRACE(size);
    std::string package = MakeTestPackage(size, TestFields(), (unsigned)size);
    PutFile(kPackagePath, package);
    if (!booted()) BootAsUi();
    DataUnpacker unpacker;
    unpacker.Load();
    ASSERT_TRUE(unpacker.UnpackData(bar()));
    EXPECT_EQ(ImageBytes(), ImageOf(package));
  }
}

TEST_F(UnpackDataTest, LargePackageStepsAbout90Times) {
  // 90 steps of 4 chunks each: the first block, then one step per 131068 bytes.
  Prepare(90 * 32767 * 4);
  ASSERT_TRUE(Unpack());
  EXPECT_EQ(Steps(), 90);
}

TEST_F(UnpackDataTest, ReplacesAnExistingHiddenImage) {
  PutFile(kImagePath, std::string(100000, 'o'));
  std::string package = MakeTestPackage(5000);
  PutFile(kPackagePath, package);
  BootAsUi();
  ASSERT_TRUE(SetFileAttributesW(kImagePath, FILE_ATTRIBUTE_HIDDEN));
  DataUnpacker unpacker;
  unpacker.Load();
  ASSERT_TRUE(unpacker.UnpackData(bar()));
  EXPECT_EQ(ImageBytes(), ImageOf(package));
}

TEST_F(UnpackDataTest, TooSmallPackageFailsAndLeavesNoImage) {
  Prepare(2559);
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
}

struct FileFault {
  const char* name;
  Kind kind;
  const char16_t* file;
  std::uint64_t offset;
};

void PrintTo(const FileFault& fault, std::ostream* os) { *os << fault.name; }

class UnpackFileFaultTest : public UnpackDataTest,
                            public ::testing::WithParamInterface<FileFault> {};

TEST_P(UnpackFileFaultTest, FailsAndLeavesNoImage) {
  AddFault(GetParam().kind, GetParam().file, GetParam().offset);
  Prepare(100000);
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnpackFileFaultTest,
    ::testing::Values(FileFault{"ReadError", Kind::kReadError, kPackagePath, 50000},
                      FileFault{"ShortRead", Kind::kShortRead, kPackagePath, 50000},
                      FileFault{"ShortReadOfFirstBlock", Kind::kShortRead, kPackagePath, 1000},
                      FileFault{"WriteError", Kind::kWriteError, kImagePath, 50000},
                      FileFault{"WriteErrorInTheTail", Kind::kWriteError, kImagePath, 99000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UnpackDataTest, DiskFullFailsAndLeavesNoImage) {
  AddDiskFull(40000);
  Prepare(100000);
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
}

TEST_F(UnpackDataTest, WatchdogTerminatesAStalledWorkerAndLeavesAnEmptyImage) {
  AddFault(Kind::kReadStall, kPackagePath, 50000, 600000);
  Prepare(100000);
  EXPECT_FALSE(Unpack());
  // Terminated at the first time-out that finds the sign of life 5 s old.
  EXPECT_GE(elapsed_, 5000u);
  EXPECT_LE(elapsed_, 10000u);
  // The worker still holds the image open: it could only be cut to zero length.
  ASSERT_TRUE(ImageExists());
  EXPECT_EQ(std::filesystem::file_size(HostPath(kImagePath)), 0u);
  DWORD attributes = GetFileAttributesW(kImagePath);
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN));
}

TEST_F(UnpackDataTest, WorkerThatCannotStartFailsAfterTheFirstTimeOut) {
  wce::FaultSpec spec;
  spec.kind = Kind::kThreadCreate;
  profile().faults.push_back(spec);
  Prepare(10000);
  EXPECT_FALSE(Unpack());
  EXPECT_EQ(elapsed_, 5000u);
  EXPECT_FALSE(ImageExists());
}

// Sets the abort event as another process would, `after_ms` of device time from now.
class Aborter {
 public:
  Aborter(wce::HostDevice& device, DWORD after_ms)
      : runner_(device, [after_ms] {
          Sleep(after_ms);
          HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"UNPACK_DATA_ABORT");
          ASSERT_NE(event, nullptr);
          SetEvent(event);
          CloseHandle(event);
        }) {}
  ~Aborter() { EXPECT_TRUE(runner_.Join()); }

 private:
  DeviceThreadRunner runner_;
};

TEST_F(UnpackDataTest, AbortDuringTheCopyStopsTheWorkerAndLeavesNoImage) {
  // The worker is held in a read at 3 s; the abort comes at 1 s.
  AddFault(Kind::kReadStall, kPackagePath, 50000, 3000);
  Prepare(200000);
  Aborter aborter(host(), 1000);
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
  // Returned once the worker had stopped on its own, not by the watchdog.
  EXPECT_GE(elapsed_, 3000u);
  EXPECT_LT(elapsed_, 5000u);
  // Nothing reappears: the worker is gone. It finished only the chunk it was reading.
  Sleep(20000);
  EXPECT_FALSE(ImageExists());
  EXPECT_EQ(Steps(), 3);
}

TEST_F(UnpackDataTest, AbortWithAWorkerStuckInAReadStillLeavesNoImage) {
  // The worker never comes back from its read: after the abort it gets 5 s, then is terminated
  // with the image open. The image is closed for it and deleted.
  AddFault(Kind::kReadStall, kPackagePath, 50000, 600000);
  Prepare(200000);
  Aborter aborter(host(), 1000);
  EXPECT_FALSE(Unpack());
  EXPECT_GE(elapsed_, 6000u);
  EXPECT_LT(elapsed_, 7000u);
  EXPECT_FALSE(ImageExists());
  Sleep(20000);
  EXPECT_FALSE(ImageExists());
}

// The open of the package (its second, after the Load's) that holds the worker for ten minutes,
// after it has created the image: the image's handle already exists and must be closed for it.
TEST_F(UnpackDataTest, AbortWhileTheWorkerOpensThePackageLeavesNoImage) {
  AddOpenStall(/*skip=*/1);
  Prepare(100000);
  Aborter aborter(host(), 1000);
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
}

// The verification's open of the package holds the worker past the watchdog while it holds the
// finished image open without sharing: that handle is closed for it, and the image goes.
TEST_F(UnpackDataTest, WatchdogDuringTheVerificationLeavesNoImage) {
  AddOpenStall(/*skip=*/2);
  Prepare(100000);
  EXPECT_FALSE(Unpack());
  EXPECT_GE(elapsed_, 11000u);
  EXPECT_FALSE(ImageExists());
}

// While the worker writes the image, another writer (a second copy of the program, whose failed
// check removes what it cannot open) can neither replace nor cut it.
TEST_F(UnpackDataTest, ImageBeingWrittenIsSharedWithNoOtherWriter) {
  AddFault(Kind::kReadStall, kPackagePath, 50000, 3000);
  const std::string package = Prepare(100000);
  DeviceThreadRunner other(host(), [] {
    Sleep(1000);
    EXPECT_EQ(CreateFileW(kImagePath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, TRUNCATE_EXISTING,
                          FILE_ATTRIBUTE_HIDDEN, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  });
  EXPECT_TRUE(Unpack());
  EXPECT_TRUE(other.Join());
  EXPECT_TRUE(ImageBytes() == ImageOf(package));
}

TEST_F(UnpackDataTest, AbortWhileSettlingRemovesTheFinishedImage) {
  Prepare(100000);
  Aborter aborter(host(), 3000);
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
  EXPECT_LT(elapsed_, 5000u);
  Sleep(20000);
  EXPECT_FALSE(ImageExists());
  for (const auto& m : BarMessages()) EXPECT_NE(m.message, (UINT)PBM_SETPOS);
}

TEST_F(UnpackDataTest, PackageReplacedSinceLoadIsRefused) {
  Prepare(10000);
  // Same name, another header.
  auto fields = TestFields();
  fields.model = u"QMR408";
  PutFile(kPackagePath, MakeTestPackage(10000, fields));
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
}

TEST_F(UnpackDataTest, PackageRenamedSinceLoadIsRefused) {
  std::string package = Prepare(10000);
  ASSERT_TRUE(DeleteFileW(kPackagePath));
  PutFile(u"\\Storage Card\\Upgrade\\fw2.bin", package);
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
}

TEST_F(UnpackDataTest, MissingPackageFailsAfterSettling) {
  Prepare(10000);
  ASSERT_TRUE(DeleteFileW(kPackagePath));
  EXPECT_FALSE(Unpack());
  EXPECT_FALSE(ImageExists());
}

TEST_F(UnpackDataTest, QuitMessageDuringTheExtractionIsDropped) {
  Prepare(10000);
  PostQuitMessage(3);
  ASSERT_TRUE(Unpack());
  MSG message;
  EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// A program in the card's root whose package already bears the image's name: writing the image
// would destroy the package, so the preparation fails and the package is kept as it was.
TEST_F(UnpackDataTest, PackageBearingTheImagesNameIsNeitherOverwrittenNorRemoved) {
  profile().program = u"\\Storage Card\\KEPLA.exe";
  std::string package = MakeTestPackage(5000);
  PutFile(u"\\Storage Card\\407_qmr_sd.bin", package);
  BootAsUi();
  DataUnpacker unpacker;
  unpacker.Load();
  ASSERT_NE(unpacker.Header()->model[0], 0);  // the Welcome page's checks would pass
  EXPECT_FALSE(unpacker.UnpackData(bar()));
  EXPECT_EQ(FileBytes(u"\\Storage Card\\407_qmr_sd.bin"), package);
}

TEST_F(UnpackDataTest, ImageGoesToTheFirstFolderOfTheProgramsPath) {
  profile().program = u"\\My Documents\\Upgrade\\KEPLA.exe";
  std::string package = MakeTestPackage(5000);
  PutFile(u"\\My Documents\\Upgrade\\fw.bin", package);
  BootAsUi();
  DataUnpacker unpacker;
  unpacker.Load();
  ASSERT_TRUE(unpacker.UnpackData(bar()));
  EXPECT_EQ(FileBytes(u"\\My Documents\\407_QMR_SD.bin"), ImageOf(package));
}

}  // namespace
}  // namespace kepla_test
