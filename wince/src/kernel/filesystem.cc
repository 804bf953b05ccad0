#include "kernel/filesystem.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "host/errors.h"
#include "model/faults.h"
#include "model/scheduler.h"
#include "host/host_share_locks.h"

namespace wce {
namespace {

std::filesystem::path CardHost(const std::filesystem::path& folder, const CardSpec& card) {
  if (card.host.empty()) return folder / "fs" / card.name;
  return card.host.is_absolute() ? card.host : folder / card.host;
}

bool IsWritable(const struct stat& st) { return (st.st_mode & S_IWUSR) != 0; }

// Whether any program on the device (this one included) holds the host file open.
bool IsOpenOnTheDevice(const std::filesystem::path& host) {
  const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  const bool held = HeldOpenElsewhere(fd);
  close(fd);
  return held;
}

// The root "\" and the profile's cards, each on its absolute host folder.
std::vector<Volume> MakeVolumes(const std::filesystem::path& folder, const DeviceProfile& profile) {
  std::vector<Volume> volumes;
  volumes.push_back(Volume{u"", folder / "fs"});
  for (const CardSpec& card : profile.cards) {
    volumes.push_back(Volume{card.name, CardHost(folder, card)});
  }
  for (Volume& volume : volumes) {
    // The device's own storage is made when missing; a card folder elsewhere (a real card's
    // mount point) is never made. A volume that is not there reports its paths as not found.
    std::error_code ec;
    if (&volume == &volumes.front() || IsInsideDeviceFolder(folder, volume.host)) {
      std::filesystem::create_directories(volume.host, ec);
    }
    const std::filesystem::path absolute = std::filesystem::absolute(volume.host, ec);
    if (!ec) volume.host = absolute.lexically_normal();
  }
  return volumes;
}

}  // namespace

FileSystem::FileSystem(const std::filesystem::path& folder, const DeviceProfile& profile,
                       Scheduler& scheduler, FaultPlan& faults)
    : scheduler_(scheduler),
      faults_(faults),
      volumes_(MakeVolumes(folder, profile)),
      attributes_(AttributeStore::CardRecordsOf(folder, volumes_), /*sidecar_only=*/false) {
  free_override_.push_back(std::nullopt);
  for (const CardSpec& card : profile.cards) free_override_.push_back(card.free_bytes);
  usage_ = std::make_unique<std::atomic<std::int64_t>[]>(volumes_.size());
  removed_ = std::make_unique<std::atomic<bool>[]>(volumes_.size());
}

DWORD FileSystem::Map(std::u16string_view path, HostLocation* out) const {
  const DWORD error = MapDevicePath(volumes_, path, out);
  if (error != ERROR_SUCCESS || !IsRemoved(out->volume)) return error;
  // The card's folder has gone from the root, and with it everything below.
  return out->leaf.empty() ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD FileSystem::AttributesOf(const std::filesystem::path& host, const struct stat& st,
                               bool volume_root) const {
  DWORD attributes = attributes_.Get(host);
  if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  if (!IsWritable(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  // The device reports a mounted card's folder as a temporary folder.
  if (volume_root) attributes |= FILE_ATTRIBUTE_TEMPORARY;
  return attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
}

void FileSystem::AddUsage(std::size_t volume, std::int64_t bytes) {
  if (bytes != 0) usage_[volume].fetch_add(bytes, std::memory_order_relaxed);
}

DWORD FileSystem::Delete(std::u16string_view path) {
  HostLocation where;
  if (const DWORD error = Map(path, &where); error != ERROR_SUCCESS) return error;
  struct stat st;
  if (!where.exists || stat(where.host.c_str(), &st) != 0) return ERROR_FILE_NOT_FOUND;
  if (where.leaf.empty() || S_ISDIR(st.st_mode) || !IsWritable(st)) return ERROR_ACCESS_DENIED;
  {
    // Unlinking under the lock keeps an open of this process from slipping in between the check
    // and the removal (another process's open may, as a race the device does not have).
    MutexLock lock(scheduler_.mutex());
    if (shares_.IsOpen(FileKey{st.st_dev, st.st_ino}) || IsOpenOnTheDevice(where.host)) {
      return ERROR_SHARING_VIOLATION;
    }
    if (unlink(where.host.c_str()) != 0) return Win32ErrorFromErrno(errno);
  }
  attributes_.Forget(where.host);
  AddUsage(where.volume, -static_cast<std::int64_t>(st.st_size));
  return ERROR_SUCCESS;
}

DWORD FileSystem::GetAttributes(std::u16string_view path, DWORD* attributes) const {
  HostLocation where;
  if (const DWORD error = Map(path, &where); error != ERROR_SUCCESS) return error;
  struct stat st;
  if (!where.exists || stat(where.host.c_str(), &st) != 0) return ERROR_FILE_NOT_FOUND;
  *attributes = AttributesOf(where.host, st, where.leaf.empty() && where.volume != 0);
  return ERROR_SUCCESS;
}

DWORD FileSystem::SetAttributes(std::u16string_view path, DWORD attributes) {
  HostLocation where;
  if (const DWORD error = Map(path, &where); error != ERROR_SUCCESS) return error;
  struct stat st;
  if (!where.exists || stat(where.host.c_str(), &st) != 0) return ERROR_FILE_NOT_FOUND;
  const mode_t write_bits = S_IWUSR | S_IWGRP | S_IWOTH;
  const mode_t mode =
      (attributes & FILE_ATTRIBUTE_READONLY) ? (st.st_mode & ~write_bits) : (st.st_mode | S_IWUSR);
  if (mode != st.st_mode && chmod(where.host.c_str(), mode & 07777) != 0) {
    return Win32ErrorFromErrno(errno);
  }
  const DWORD error = attributes_.Set(where.host, attributes);
  // A call that fails leaves the file as it found it: read-only goes back too.
  if (error != ERROR_SUCCESS && mode != st.st_mode) chmod(where.host.c_str(), st.st_mode & 07777);
  return error;
}

DWORD FileSystem::MakeDirectory(std::u16string_view path) {
  HostLocation where;
  if (const DWORD error = Map(path, &where); error != ERROR_SUCCESS) return error;
  if (where.exists) return ERROR_ALREADY_EXISTS;
  if (mkdir(where.host.c_str(), 0777) != 0) return Win32ErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

DWORD FileSystem::FreeSpace(std::u16string_view path, Space* space) const {
  HostLocation where;
  if (const DWORD error = Map(path, &where); error != ERROR_SUCCESS) return error;
  if (!where.exists) return ERROR_PATH_NOT_FOUND;
  struct statvfs vfs;
  if (statvfs(volumes_[where.volume].host.c_str(), &vfs) != 0) return Win32ErrorFromErrno(errno);
  Space result;
  result.caller_free = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  result.total = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
  result.total_free = static_cast<std::uint64_t>(vfs.f_bfree) * vfs.f_frsize;
  if (const auto& free_bytes = free_override_[where.volume]) {
    const std::int64_t used = usage_[where.volume].load(std::memory_order_relaxed);
    std::uint64_t free = *free_bytes;
    if (used > 0) free -= std::min<std::uint64_t>(free, static_cast<std::uint64_t>(used));
    if (used < 0) free += static_cast<std::uint64_t>(-used);
    result.caller_free = result.total_free = free;
    result.total = std::max(result.total, free);
  }
  if (auto room = faults_.DiskFullRemaining(volumes_[where.volume].name)) {
    result.caller_free = std::min(result.caller_free, *room);
    result.total_free = std::min(result.total_free, *room);
  }
  *space = result;
  return ERROR_SUCCESS;
}

}  // namespace wce
