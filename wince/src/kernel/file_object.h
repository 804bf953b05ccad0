// An open file behind a device file handle (CreateFileW).
#ifndef WINCE_KERNEL_FILE_OBJECT_H_
#define WINCE_KERNEL_FILE_OBJECT_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <windows.h>

#include "kernel/handles.h"
#include "kernel/share_table.h"

namespace wce {

class FileSystem;

// Owns one host descriptor, closed when the last reference goes (a read in progress on another
// thread keeps it open). When its last handle is closed it stops counting for the sharing rules
// and for DeleteFileW. The position may be moved by any thread; concurrent reads and writes
// through one handle each see a consistent position but may interleave.
class FileObject final : public KernelObject {
 public:
  struct Info {
    FileKey key;
    DWORD access = 0;        // GENERIC_READ | GENERIC_WRITE as asked
    DWORD share = 0;         // FILE_SHARE_* as granted
    std::size_t volume = 0;  // index into FileSystem::volumes()
    std::u16string device_path;
  };

  // Takes ownership of `fd`. `file_system` must outlive every handle of the object (the device
  // closes handles before it destroys its file system).
  FileObject(FileSystem* file_system, int fd, Info info)
      : file_system_(file_system), fd_(fd), info_(std::move(info)) {}
  ~FileObject() override;
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  void OnLastHandleClosed() override;

  int fd() const { return fd_; }
  const Info& info() const { return info_; }
  std::uint64_t position() const { return position_.load(std::memory_order_acquire); }
  void set_position(std::uint64_t position) {
    position_.store(position, std::memory_order_release);
  }

 private:
  FileSystem* const file_system_;
  const int fd_;
  const Info info_;
  std::atomic<std::uint64_t> position_{0};
};

// The file object that `handle` names in `table`; null when the handle is unknown, closed or names
// something else (the caller fails with ERROR_INVALID_HANDLE).
std::shared_ptr<FileObject> LookUpFile(const HandleTable& table, HANDLE handle);

}  // namespace wce

#endif  // WINCE_KERNEL_FILE_OBJECT_H_
