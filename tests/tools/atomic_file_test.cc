#include "tools/atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "tools/pending_temporaries.h"

namespace kepla::pkg {
namespace {

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + i / 4093);
  return bytes;
}

// Appends a range of `source` after a few written bytes, commits, and checks the result.
void AppendAndCommit(const kepla_test::ScratchDir& dir, const std::filesystem::path& source) {
  const std::string text = Pattern(2'600'000);
  {
    std::FILE* f = std::fopen(source.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
  }
  int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  AtomicFile out(dir / "out.img");
  std::string error;
  ASSERT_TRUE(out.Open(&error)) << error;
  ASSERT_TRUE(out.Write("head", 4, &error)) << error;
  std::vector<std::uint64_t> steps;
  ASSERT_TRUE(out.Append(fd, source, 7, 2'500'000, &error, [&](std::uint64_t copied) {
    steps.push_back(copied);
  })) << error;
  ::close(fd);
  ASSERT_TRUE(out.Commit(&error)) << error;
  EXPECT_EQ(dir.Read("out.img"), "head" + text.substr(7, 2'500'000));
  // Pieces of at most 1 MiB (the kernel may copy less than asked), ending with the whole range.
  ASSERT_GE(steps.size(), 3u);
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::uint64_t before = i == 0 ? 0 : steps[i - 1];
    EXPECT_GT(steps[i], before);
    EXPECT_LE(steps[i] - before, 1u << 20);
  }
  EXPECT_EQ(steps.back(), 2'500'000u);
}

// The kernel copies inside one file system; across two (a tmpfs source) it refuses, and the
// copy goes by reads and writes. Either way the result is the same bytes.
TEST(AtomicFileTest, AppendCopiesARangeWithOrWithoutTheKernelsOffload) {
  kepla_test::ScratchDir dir;
  AppendAndCommit(dir, dir / "source.bin");
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) {
    const std::filesystem::path shm = "/dev/shm/kepla-atomic-file-" + std::to_string(::getpid());
    std::filesystem::remove(dir / "out.img");
    AppendAndCommit(dir, shm);
    std::filesystem::remove(shm, ec);
  }
}

// A package that is shorter than its size said (cut while being read) is an error that names
// it, and nothing is left behind.
TEST(AtomicFileTest, AppendPastTheSourcesEndFailsAndLeavesNothing) {
  kepla_test::ScratchDir dir;
  dir.Write("source.bin", Pattern(5000));
  int fd = ::open((dir / "source.bin").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::string error;
  {
    AtomicFile out(dir / "out.img");
    ASSERT_TRUE(out.Open(&error)) << error;
    EXPECT_FALSE(out.Append(fd, dir / "source.bin", 100, 5000, &error));
    EXPECT_EQ(error, (dir / "source.bin").string() + ": ended early (changed while being read?)");
  }
  ::close(fd);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

std::size_t Entries(const kepla_test::ScratchDir& dir) {
  return static_cast<std::size_t>(
      std::distance(std::filesystem::directory_iterator(dir.path()), {}));
}

// A run ended by SIGTERM removes its temporary and still dies of the signal; one killed outright
// leaves it to the next write of the same output, which removes it but not the temporaries of
// processes that still exist.
TEST(AtomicFileTest, TemporariesDoNotOutliveTheirRun) {
  kepla_test::ScratchDir dir;
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RemoveTemporariesOnSignals();
    AtomicFile out(dir / "out.img");
    std::string error;
    if (!out.Open(&error) || !out.Write("data", 4, &error)) ::_exit(3);
    ::raise(SIGTERM);
    ::_exit(4);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(Entries(dir), 0u);

  pid_t gone = ::fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(gone, &status, 0), gone);
  const std::string stale = ".out.img.tmp." + std::to_string(gone) + ".0";
  const std::string alive = ".out.img.tmp." + std::to_string(::getppid()) + ".0";
  dir.Write(stale, "left by a killed run");
  dir.Write(alive, "still being written");
  dir.Write(".other.img.tmp." + std::to_string(gone) + ".0", "another output's");
  AtomicFile out(dir / "out.img");
  std::string error;
  ASSERT_TRUE(out.Open(&error)) << error;
  EXPECT_FALSE(std::filesystem::exists(dir / stale));
  EXPECT_TRUE(std::filesystem::exists(dir / alive));
  EXPECT_EQ(Entries(dir), 3u);  // the new temporary included
}

// Something that takes the destination's name while the file is written is not replaced.
TEST(AtomicFileTest, CommitDoesNotRenameOverANodeThatAppeared) {
  kepla_test::ScratchDir dir;
  AtomicFile out(dir / "out.img");
  std::string error;
  ASSERT_TRUE(out.Open(&error)) << error;
  ASSERT_TRUE(out.Write("data", 4, &error)) << error;
  ASSERT_EQ(::mkfifo((dir / "out.img").c_str(), 0600), 0);
  EXPECT_FALSE(out.Commit(&error));
  EXPECT_EQ(error, (dir / "out.img").string() + ": is a FIFO, not a regular file; not replaced");
  struct stat info;
  ASSERT_EQ(::lstat((dir / "out.img").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

}  // namespace
}  // namespace kepla::pkg
