// The device's file system: device paths on host folders, open files and their sharing, file
// attributes, directory listings and free space.
//
// Volumes: the root "\" is <device folder>/fs; each card of the profile is "\<name>" on its own
// host folder (created at boot when missing). See host/device_path.h for how paths map and what
// is refused, host/attribute_store.h for where attributes live, model/faults.h for the failures
// injected into reads and writes.
//
// Every method returns ERROR_SUCCESS or a Win32 error code (it does not touch the last error) and
// may be called from any thread. Reads and writes are host I/O done with no lock held; an injected
// read or open stall waits through the scheduler (so a virtual clock moves and a terminated thread
// unwinds from it with ThreadTerminated).
//
// A card that the fault plan removes is gone for the device from then on: its paths are not found
// (ERROR_PATH_NOT_FOUND; the card's own folder ERROR_FILE_NOT_FOUND), the root no longer lists it,
// and every read, write, seek, size or cut through a handle opened on it fails with
// ERROR_DEVICE_REMOVED. Its host folder is left as it was.
#ifndef WINCE_KERNEL_FILESYSTEM_H_
#define WINCE_KERNEL_FILESYSTEM_H_

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <windows.h>

#include "host/attribute_store.h"
#include <wince/device_path.h>
#include "kernel/file_object.h"
#include "kernel/share_table.h"
#include <wince/profile.h>
#include "model/scheduler.h"

namespace wce {

class FaultPlan;

class FileSystem {
 public:
  // Maps the volumes of `profile` under the device folder `folder` (making the device's own
  // storage folders when missing). `scheduler` paces injected stalls and guards the sharing
  // table; `faults` decides the injected failures. All three must outlive the file system.
  FileSystem(const std::filesystem::path& folder, const DeviceProfile& profile,
             Scheduler& scheduler, FaultPlan& faults);
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;

  // volumes()[0] is the root "\"; volumes()[i] is the profile's card i - 1.
  const std::vector<Volume>& volumes() const { return volumes_; }
  // Maps a device path onto the host (MapDevicePath); a removed card's paths are not found.
  DWORD Map(std::u16string_view path, HostLocation* out) const;
  // Whether volume `volume` is a card the fault plan has removed.
  bool IsRemoved(std::size_t volume) const {
    return removed_[volume].load(std::memory_order_acquire);
  }

  struct OpenRequest {
    DWORD access = 0;  // GENERIC_READ | GENERIC_WRITE
    DWORD share = 0;   // FILE_SHARE_READ | FILE_SHARE_WRITE
    DWORD disposition = OPEN_EXISTING;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;  // kept when the call creates or replaces the file
  };
  // Opens (or creates) the file at `path`. On success returns the object (not yet in the handle
  // table) and sets *existed to whether the file was there before. On failure returns null and
  // sets *error: ERROR_FILE_NOT_FOUND, ERROR_FILE_EXISTS, ERROR_ACCESS_DENIED (a folder, a
  // read-only file opened for writing), ERROR_SHARING_VIOLATION, a path error, a host error.
  std::shared_ptr<FileObject> Open(std::u16string_view path, const OpenRequest& request,
                                   DWORD* error, bool* existed);
  // The last handle of `file` was closed: it no longer takes part in sharing.
  void Release(const FileObject& file);

  // Reads up to `length` bytes at the file's position and moves it past them; *done = bytes read
  // (0 at the end of the file, which is no error).
  DWORD Read(FileObject& file, void* buffer, DWORD length, DWORD* done);
  // Writes at the file's position and moves it past what was written. A write that does not fit
  // writes what fits, sets *done to it and returns ERROR_DISK_FULL.
  DWORD Write(FileObject& file, const void* buffer, DWORD length, DWORD* done);
  // Moves the position to `distance` from the start, the position or the end (FILE_BEGIN,
  // FILE_CURRENT, FILE_END). A target before the start gives ERROR_NEGATIVE_SEEK, one above
  // `limit` ERROR_INVALID_PARAMETER; the position then stays.
  DWORD Seek(FileObject& file, std::int64_t distance, DWORD method, std::uint64_t limit,
             std::uint64_t* position);
  DWORD Size(const FileObject& file, std::uint64_t* size) const;
  // Cuts or extends the file to its position.
  DWORD SetEnd(FileObject& file);

  // Fails with ERROR_SHARING_VIOLATION while any handle to the file is open, ERROR_ACCESS_DENIED
  // for a folder or a read-only file.
  DWORD Delete(std::u16string_view path);
  DWORD GetAttributes(std::u16string_view path, DWORD* attributes) const;
  // Keeps hidden, system, archive and temporary; read-only becomes the host's write permission.
  // On failure the file keeps its attributes and permission.
  DWORD SetAttributes(std::u16string_view path, DWORD attributes);
  DWORD MakeDirectory(std::u16string_view path);

  // The entries of a folder that match the last component of `pattern` ("\dir\*.*"), in the host's
  // directory order; "." and ".." are never listed, nor entries whose links lead out of the volume.
  // The root's listing shows every card as a folder. ERROR_FILE_NOT_FOUND when nothing matches.
  // An entry is kept small (its name on its own) rather than as a WIN32_FIND_DATAW of 600 bytes:
  // a search of a folder lists every entry at once, on whatever thread asks.
  struct FoundEntry {
    DWORD attributes = 0;
    FILETIME created{}, last_access{}, last_write{};
    std::uint64_t size = 0;  // 0 for a folder
    std::u16string name;     // at most MAX_PATH - 1 characters
  };
  DWORD List(std::u16string_view pattern, std::vector<FoundEntry>* entries) const;

  struct Space {
    std::uint64_t caller_free = 0;
    std::uint64_t total = 0;
    std::uint64_t total_free = 0;
  };
  // The free space of the volume that holds `path` (an existing file or folder): the host's, or
  // the card's freeBytes less what this device has since added to its files; never more than a
  // disk-full fault still accepts.
  DWORD FreeSpace(std::u16string_view path, Space* space) const;

 private:
  // The attributes the device reports for the entry at `host` with host status `st`.
  DWORD AttributesOf(const std::filesystem::path& host, const struct stat& st,
                     bool volume_root) const;
  // Records that files of `volume` grew (or shrank) by `bytes`.
  void AddUsage(std::size_t volume, std::int64_t bytes);
  // Waits `ms` of device time (an injected stall).
  void Stall(std::uint32_t ms);
  FoundEntry FindDataOf(std::u16string_view name, const std::filesystem::path& host,
                        const struct stat& st, bool volume_root) const;

  Scheduler& scheduler_;
  FaultPlan& faults_;
  std::vector<Volume> volumes_;
  std::vector<std::optional<std::uint64_t>> free_override_;  // per volume
  std::unique_ptr<std::atomic<std::int64_t>[]> usage_;       // per volume, bytes added since boot
  std::unique_ptr<std::atomic<bool>[]> removed_;             // per volume: a removed card
  AttributeStore attributes_;
  ShareTable shares_ WCE_GUARDED_BY(scheduler_.mutex());
};

}  // namespace wce

#endif  // WINCE_KERNEL_FILESYSTEM_H_
