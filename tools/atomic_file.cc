#include "tools/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kepla::pkg {
namespace {

std::string Reason(const std::filesystem::path& path, int error_number) {
  return path.string() + ": " + std::strerror(error_number);
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path destination) : destination_(std::move(destination)) {}

AtomicFile::~AtomicFile() {
  if (!committed_) Discard();
}

bool AtomicFile::Open(std::string* error) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path folder = destination_.parent_path();
  if (folder.empty()) folder = ".";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::filesystem::path candidate =
        folder / ("." + destination_.filename().string() + ".tmp." + std::to_string(::getpid()) +
                  "." + std::to_string(counter.fetch_add(1)));
    // O_EXCL: never write into a file that someone else made; 0666 lets the umask decide.
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temporary_ = candidate;
      return true;
    }
    if (errno != EEXIST) break;
  }
  *error = Reason(destination_, errno);
  return false;
}

bool AtomicFile::Write(const void* data, std::size_t size, std::string* error) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t written = ::write(fd_, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      *error = Reason(destination_, errno);
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool AtomicFile::Commit(std::string* error) {
  if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
    fd_ = -1;
    *error = Reason(destination_, errno);
    return false;
  }
  fd_ = -1;
  if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
    *error = Reason(destination_, errno);
    return false;
  }
  committed_ = true;
  return true;
}

void AtomicFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

}  // namespace kepla::pkg
