// Reading, writing, seeking and cutting open files, with the fault plan applied.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "host/errors.h"
#include "model/faults.h"
#include "model/scheduler.h"
#include "kernel/filesystem.h"

namespace wce {
namespace {

// pread until `length` bytes or the end of the file; *done = bytes read.
DWORD ReadAt(int fd, void* buffer, std::size_t length, std::uint64_t position, std::size_t* done) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  *done = 0;
  while (*done < length) {
    const ssize_t n =
        pread(fd, bytes + *done, length - *done, static_cast<off_t>(position + *done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno == EIO ? ERROR_READ_FAULT : Win32ErrorFromErrno(errno);
    if (n == 0) break;
    *done += static_cast<std::size_t>(n);
  }
  return ERROR_SUCCESS;
}

// pwrite all `length` bytes; *done = bytes written, also on failure.
DWORD WriteAt(int fd, const void* buffer, std::size_t length, std::uint64_t position,
              std::size_t* done) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  *done = 0;
  while (*done < length) {
    const ssize_t n =
        pwrite(fd, bytes + *done, length - *done, static_cast<off_t>(position + *done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno == EIO ? ERROR_WRITE_FAULT : Win32ErrorFromErrno(errno);
    if (n == 0) return ERROR_DISK_FULL;
    *done += static_cast<std::size_t>(n);
  }
  return ERROR_SUCCESS;
}

std::int64_t SizeOf(int fd) {
  struct stat st;
  return fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

}  // namespace

void FileSystem::Stall(std::uint32_t ms) {
  UniqueLock lock(scheduler_.mutex());
  scheduler_.Wait(
      lock, [] { return false; }, scheduler_.DeadlineAfterLocked(ms));
}

DWORD FileSystem::Read(FileObject& file, void* buffer, DWORD length, DWORD* done) {
  *done = 0;
  if (IsRemoved(file.info().volume)) return ERROR_DEVICE_REMOVED;
  if (!(file.info().access & GENERIC_READ)) return ERROR_ACCESS_DENIED;
  const std::uint64_t position = file.position();
  const FaultPlan::ReadPlan plan = faults_.PlanRead(file.info().device_path, position, length);
  if (plan.stall_ms > 0) Stall(plan.stall_ms);
  if (plan.fail) return ERROR_READ_FAULT;
  std::size_t got = 0;
  const DWORD error = ReadAt(
      file.fd(), buffer, static_cast<std::size_t>(std::min<std::uint64_t>(length, plan.deliver)),
      position, &got);
  file.set_position(position + got);
  *done = static_cast<DWORD>(got);
  return error;
}

DWORD FileSystem::Write(FileObject& file, const void* buffer, DWORD length, DWORD* done) {
  *done = 0;
  const FileObject::Info& info = file.info();
  if (IsRemoved(info.volume)) return ERROR_DEVICE_REMOVED;
  if (!(info.access & GENERIC_WRITE)) return ERROR_ACCESS_DENIED;
  const std::uint64_t position = file.position();
  const FaultPlan::WritePlan plan =
      faults_.PlanWrite(info.device_path, volumes_[info.volume].name, position, length);
  if (plan.fail) return ERROR_WRITE_FAULT;
  const std::int64_t size_before = SizeOf(file.fd());
  std::size_t written = 0;
  DWORD error =
      WriteAt(file.fd(), buffer, static_cast<std::size_t>(plan.accept), position, &written);
  if (error == ERROR_SUCCESS && written < length) error = ERROR_DISK_FULL;
  const std::int64_t end = static_cast<std::int64_t>(position + written);
  if (size_before >= 0 && end > size_before) AddUsage(info.volume, end - size_before);
  file.set_position(position + written);
  if (plan.remove_card) {
    removed_[info.volume].store(true, std::memory_order_release);
    error = ERROR_DEVICE_REMOVED;
  }
  *done = static_cast<DWORD>(written);
  return error;
}

DWORD FileSystem::Seek(FileObject& file, std::int64_t distance, DWORD method, std::uint64_t limit,
                       std::uint64_t* position) {
  if (IsRemoved(file.info().volume)) return ERROR_DEVICE_REMOVED;
  std::int64_t base;
  switch (method) {
    case FILE_BEGIN:
      base = 0;
      break;
    case FILE_CURRENT:
      base = static_cast<std::int64_t>(file.position());
      break;
    case FILE_END:
      base = SizeOf(file.fd());
      if (base < 0) return Win32ErrorFromErrno(errno);
      break;
    default:
      return ERROR_INVALID_PARAMETER;
  }
  std::int64_t target;
  if (__builtin_add_overflow(base, distance, &target)) return ERROR_INVALID_PARAMETER;
  if (target < 0) return ERROR_NEGATIVE_SEEK;
  if (static_cast<std::uint64_t>(target) > limit) return ERROR_INVALID_PARAMETER;
  file.set_position(static_cast<std::uint64_t>(target));
  *position = static_cast<std::uint64_t>(target);
  return ERROR_SUCCESS;
}

DWORD FileSystem::Size(const FileObject& file, std::uint64_t* size) const {
  if (IsRemoved(file.info().volume)) return ERROR_DEVICE_REMOVED;
  const std::int64_t bytes = SizeOf(file.fd());
  if (bytes < 0) return Win32ErrorFromErrno(errno);
  *size = static_cast<std::uint64_t>(bytes);
  return ERROR_SUCCESS;
}

DWORD FileSystem::SetEnd(FileObject& file) {
  const FileObject::Info& info = file.info();
  if (IsRemoved(info.volume)) return ERROR_DEVICE_REMOVED;
  if (!(info.access & GENERIC_WRITE)) return ERROR_ACCESS_DENIED;
  const std::int64_t size_before = SizeOf(file.fd());
  const std::uint64_t end = file.position();
  if (end > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    return ERROR_INVALID_PARAMETER;
  }
  if (ftruncate(file.fd(), static_cast<off_t>(end)) != 0) return Win32ErrorFromErrno(errno);
  if (size_before >= 0) AddUsage(info.volume, static_cast<std::int64_t>(end) - size_before);
  return ERROR_SUCCESS;
}

}  // namespace wce
