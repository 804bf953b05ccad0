// Opening files: dispositions, the sharing rules, attributes of new and replaced files.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "host/errors.h"
#include "model/faults.h"
#include "model/scheduler.h"
#include "kernel/filesystem.h"
#include "host/host_share_locks.h"

namespace wce {
namespace {

// Writing opens read too where the host lets them: the cross-process share locks are read
// locks, which need a readable descriptor (the layer still refuses reads the open did not ask
// for).
int HostFlags(DWORD access) {
  const int mode = (access & GENERIC_WRITE) ? O_RDWR : O_RDONLY;
  return mode | O_CLOEXEC | O_NOCTTY;
}

// Checks the disposition against whether the file exists; ERROR_SUCCESS when the open may go on.
DWORD CheckDisposition(DWORD disposition, DWORD access, bool exists) {
  switch (disposition) {
    case CREATE_NEW:
      return exists ? ERROR_FILE_EXISTS : ERROR_SUCCESS;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS:
      return ERROR_SUCCESS;
    case OPEN_EXISTING:
      return exists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    case TRUNCATE_EXISTING:
      if (!(access & GENERIC_WRITE)) return ERROR_INVALID_PARAMETER;
      return exists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

}  // namespace

std::shared_ptr<FileObject> FileSystem::Open(std::u16string_view path, const OpenRequest& request,
                                             DWORD* error, bool* existed) {
  if (const std::uint32_t stall_ms = faults_.PlanOpen(path)) Stall(stall_ms);
  HostLocation where;
  *error = Map(path, &where);
  if (*error != ERROR_SUCCESS) return nullptr;
  struct stat st;
  const bool exists = where.exists && stat(where.host.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    // Folders (and host oddities such as pipes) cannot be opened as files.
    *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  *error = CheckDisposition(request.disposition, request.access, exists);
  if (*error != ERROR_SUCCESS) return nullptr;
  if (exists && (request.access & GENERIC_WRITE) && !(st.st_mode & S_IWUSR)) {
    *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }

  int flags = HostFlags(request.access);
  if (!exists) flags |= O_CREAT | O_EXCL;
  int fd = open(where.host.c_str(), flags, 0666);
  if (fd < 0 && errno == EACCES && (flags & O_ACCMODE) == O_RDWR &&
      !(request.access & GENERIC_READ)) {
    fd = open(where.host.c_str(), (flags & ~O_ACCMODE) | O_WRONLY, 0666);  // a write-only file
  }
  if (fd < 0 || fstat(fd, &st) != 0) {
    *error = Win32ErrorFromErrno(errno);
    if (fd >= 0) close(fd);
    return nullptr;
  }
  FileObject::Info info{FileKey{st.st_dev, st.st_ino}, request.access, request.share, where.volume,
                        std::move(where.device)};
  auto file = std::make_shared<FileObject>(this, fd, std::move(info));
  {
    MutexLock lock(scheduler_.mutex());
    if (!shares_.TryAdd(file->info().key, file.get(), request.access, request.share)) {
      *error = ERROR_SHARING_VIOLATION;
      return nullptr;
    }
  }
  // The opens of the other programs on the device.
  if (!TakeShareLocks(fd, request.access, request.share)) {
    *error = ERROR_SHARING_VIOLATION;
    Release(*file);
    return nullptr;
  }

  const bool replace =
      exists && (request.disposition == CREATE_ALWAYS || request.disposition == TRUNCATE_EXISTING);
  if (replace) {
    if (ftruncate(fd, 0) != 0) {
      *error = Win32ErrorFromErrno(errno);
      Release(*file);
      return nullptr;
    }
    AddUsage(where.volume, -static_cast<std::int64_t>(st.st_size));
  }
  if (!exists || request.disposition == CREATE_ALWAYS) {
    // The new content's attributes: hidden and the like are kept; read-only applies to later
    // opens, not to this handle.
    attributes_.Set(where.host, request.attributes);
    if (request.attributes & FILE_ATTRIBUTE_READONLY) fchmod(fd, st.st_mode & 0555);
  }
  *existed = exists;
  return file;
}

void FileSystem::Release(const FileObject& file) {
  DropShareLocks(file.fd());
  MutexLock lock(scheduler_.mutex());
  shares_.Remove(file.info().key, &file);
}

}  // namespace wce
