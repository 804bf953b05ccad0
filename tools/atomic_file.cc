#include "tools/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "tools/file_kind.h"
#include "tools/pending_temporaries.h"

namespace kepla::pkg {
namespace {

constexpr std::size_t kPiece = std::size_t{1} << 20;

std::string Reason(const std::filesystem::path& path, int error_number) {
  return path.string() + ": " + std::strerror(error_number);
}

// A write that failed (-1, errno set) or wrote nothing (0: no errno to tell why).
std::string ShortWrite(const std::filesystem::path& path, ssize_t written) {
  if (written < 0) return Reason(path, errno);
  return path.string() + ": nothing more could be written (disk full?)";
}

std::filesystem::path FolderOf(const std::filesystem::path& destination) {
  std::filesystem::path folder = destination.parent_path();
  return folder.empty() ? "." : folder;
}

std::string NotRegular(const std::filesystem::path& path, mode_t mode) {
  return path.string() + ": is " + FileKind(mode) + ", not a regular file; not replaced";
}

// Where writing `given` lands: `given` itself (a regular file, or nothing yet), or the regular
// file a symbolic link names. Anything else is refused.
bool ResolveDestination(const std::filesystem::path& given, std::filesystem::path* target,
                        std::string* error) {
  struct stat info;
  if (::lstat(given.c_str(), &info) != 0) {
    if (errno == ENOENT) {
      *target = given;
      return true;
    }
    *error = Reason(given, errno);
    return false;
  }
  if (S_ISLNK(info.st_mode)) {
    if (::stat(given.c_str(), &info) != 0) {
      *error = errno == ENOENT ? given.string() + ": a dangling symbolic link; not written"
                               : Reason(given, errno);
      return false;
    }
    if (!S_ISREG(info.st_mode)) {
      *error = NotRegular(given, info.st_mode);
      return false;
    }
    std::error_code ec;
    *target = std::filesystem::canonical(given, ec);
    if (ec) {
      *error = given.string() + ": " + ec.message();
      return false;
    }
    return true;
  }
  if (!S_ISREG(info.st_mode)) {
    *error = NotRegular(given, info.st_mode);
    return false;
  }
  *target = given;
  return true;
}

// The process id in a temporary's name ".NAME.tmp.PID.N" for this `prefix` (".NAME.tmp."), or 0
// when `name` is no such name.
pid_t TemporaryOwner(std::string_view name, std::string_view prefix) {
  if (name.substr(0, prefix.size()) != prefix) return 0;
  name.remove_prefix(prefix.size());
  const std::size_t dot = name.find('.');
  if (dot == 0 || dot > 9 || dot == std::string_view::npos || dot + 1 == name.size()) return 0;
  auto digits = [](std::string_view text) {
    return text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(name.substr(0, dot)) || !digits(name.substr(dot + 1))) return 0;
  pid_t pid = 0;
  for (char c : name.substr(0, dot)) pid = pid * 10 + (c - '0');
  return pid;
}

// Removes the temporaries in `folder` named with `prefix` that processes now gone left (killed
// outright).
// A process that still exists, even another user's, keeps its file.
void RemoveStaleTemporaries(const std::filesystem::path& folder, const std::string& prefix) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t owner = TemporaryOwner(entry->d_name, prefix);
    if (owner <= 0 || owner == ::getpid()) continue;
    if (::kill(owner, 0) == 0 || errno != ESRCH) continue;
    struct stat info;
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode)) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// Copies up to `size` bytes inside the kernel. Returns the bytes copied; 0 or less when it
// copied nothing: the file systems offer no offload between them (EXDEV, ENOSYS, EOPNOTSUPP,
// EINVAL, ...), the source ended, or a real read or write error, which the copy by hand then
// meets again and names.
ssize_t OffloadCopy(int source, std::uint64_t from, int target, std::uint64_t to,
                    std::size_t size) {
  loff_t in = static_cast<loff_t>(from);
  loff_t out = static_cast<loff_t>(to);
  for (;;) {
    ssize_t copied = ::copy_file_range(source, &in, target, &out, size, 0);
    if (copied < 0 && errno == EINTR) continue;
    return copied;
  }
}

// Flushes the folder's entries (the rename) to the disk. Returns 0 or the errno value.
int SyncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int result = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  // Some file systems cannot flush a folder by itself; there is nothing more to do on them.
  return result == EINVAL || result == ENOTSUP ? 0 : result;
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path destination)
    : shown_(destination), destination_(std::move(destination)) {}

AtomicFile::~AtomicFile() {
  if (!committed_) Discard();
}

bool AtomicFile::Open(std::string* error) {
  static std::atomic<unsigned> counter{0};
  if (!ResolveDestination(shown_, &destination_, error)) return false;
  const std::filesystem::path folder = FolderOf(destination_);
  const std::string prefix = "." + destination_.filename().string() + ".tmp.";
  RemoveStaleTemporaries(folder, prefix);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    name += std::to_string(::getpid());
    name += '.';
    name += std::to_string(counter.fetch_add(1));
    const std::filesystem::path candidate = folder / name;
    // O_EXCL: never write into a file that someone else made; 0666 lets the umask decide.
    fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temporary_ = candidate;
      noted_ = RememberTemporary(candidate.c_str());
      return true;
    }
    if (errno != EEXIST) break;
  }
  *error = Reason(shown_, errno);
  return false;
}

bool AtomicFile::Write(const void* data, std::size_t size, std::string* error) {
  const char* bytes = static_cast<const char*>(data);
  const std::uint64_t start = size_;
  while (size > 0) {
    ssize_t written = ::pwrite(fd_, bytes, size, static_cast<off_t>(size_));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      *error = ShortWrite(shown_, written);
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
    size_ += static_cast<std::uint64_t>(written);
  }
  StartWriteBack(start, size_ - start);
  return true;
}

bool AtomicFile::Append(int source, const std::filesystem::path& source_name, std::uint64_t offset,
                        std::uint64_t size, std::string* error,
                        const std::function<void(std::uint64_t copied)>& copied) {
  for (std::uint64_t done = 0; done < size;) {
    const std::size_t piece =
        static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size - done));
    std::size_t moved = 0;
    if (offload_) {
      ssize_t n = OffloadCopy(source, offset + done, fd_, size_, piece);
      if (n > 0) {
        moved = static_cast<std::size_t>(n);
      } else {
        offload_ = false;  // from here on by hand, which also names any real error
      }
    }
    if (moved == 0) {
      moved = CopyByHand(source, source_name, offset + done, piece, error);
      if (moved == 0) return false;
    }
    StartWriteBack(size_, moved);
    size_ += moved;
    done += moved;
    if (copied) copied(done);
  }
  return true;
}

std::size_t AtomicFile::CopyByHand(int source, const std::filesystem::path& source_name,
                                   std::uint64_t offset, std::size_t size, std::string* error) {
  if (buffer_.empty()) buffer_.resize(kPiece);
  size = std::min(size, buffer_.size());
  ssize_t got;
  do {
    got = ::pread(source, buffer_.data(), size, static_cast<off_t>(offset));
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    *error = Reason(source_name, errno);
    return 0;
  }
  if (got == 0) {
    *error = source_name.string() + ": ended early (changed while being read?)";
    return 0;
  }
  const std::size_t count = static_cast<std::size_t>(got);
  for (std::size_t put = 0; put < count;) {
    ssize_t written =
        ::pwrite(fd_, buffer_.data() + put, count - put, static_cast<off_t>(size_ + put));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      *error = ShortWrite(shown_, written);
      return 0;
    }
    put += static_cast<std::size_t>(written);
  }
  return count;
}

void AtomicFile::StartWriteBack(std::uint64_t offset, std::uint64_t size) {
  // Only a hint, so that the disk writes while we copy and Commit's flush has little left to do.
  // Its result does not matter: fsync in Commit reports any failed write-back.
  (void)::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(size),
                          SYNC_FILE_RANGE_WRITE);
}

bool AtomicFile::Commit(std::string* error) {
  const int synced = ::fsync(fd_) == 0 ? 0 : errno;
  const int closed = ::close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  if (synced != 0 || closed != 0) {
    *error = Reason(shown_, synced != 0 ? synced : closed);
    return false;
  }
  // Looked at again: something else may have taken the destination's name since Open.
  struct stat info;
  if (::lstat(destination_.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    *error = NotRegular(shown_, info.st_mode);
    return false;
  }
  if (std::rename(temporary_.c_str(), destination_.c_str()) != 0) {
    *error = Reason(shown_, errno);
    return false;
  }
  committed_ = true;
  ForgetTemporary(noted_);
  noted_ = -1;
  if (int failed = SyncFolder(FolderOf(destination_)); failed != 0) {
    *error = shown_.string() +
             ": written, but its folder could not be flushed to the disk: " + std::strerror(failed);
    return false;
  }
  return true;
}

void AtomicFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  ForgetTemporary(noted_);
  noted_ = -1;
}

}  // namespace kepla::pkg
