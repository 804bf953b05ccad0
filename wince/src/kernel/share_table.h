// The device's sharing rules between open files.
//
// An open asks for access (GENERIC_READ, GENERIC_WRITE) and grants sharing to later and earlier
// opens (FILE_SHARE_READ, FILE_SHARE_WRITE). Two opens of one file conflict when either asks for
// an access the other does not share. An open that asks for neither read nor write access (a query
// of attributes or size) never conflicts.
#ifndef WINCE_KERNEL_SHARE_TABLE_H_
#define WINCE_KERNEL_SHARE_TABLE_H_

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <vector>

#include <windows.h>

namespace wce {

// A host file, whatever name it was opened by.
struct FileKey {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileKey&) const = default;
};

struct FileKeyHash {
  std::size_t operator()(const FileKey& key) const {
    return std::hash<ino_t>()(key.inode) * 31 + std::hash<dev_t>()(key.device);
  }
};

// True when an open with (access_a, share_a) and one with (access_b, share_b) may not coexist.
bool SharingConflicts(DWORD access_a, DWORD share_a, DWORD access_b, DWORD share_b);

// The opens in effect, per file. Not thread-safe: FileSystem guards it.
class ShareTable {
 public:
  // Records the open `owner` of `key`, unless it conflicts with an open already recorded; returns
  // false (and records nothing) on conflict.
  bool TryAdd(const FileKey& key, const void* owner, DWORD access, DWORD share);
  // Forgets the open `owner` of `key` (nothing when unknown).
  void Remove(const FileKey& key, const void* owner);
  // True while any open of `key` is recorded.
  bool IsOpen(const FileKey& key) const { return opens_.count(key) > 0; }

 private:
  struct Open {
    const void* owner;
    DWORD access;
    DWORD share;
  };
  std::unordered_map<FileKey, std::vector<Open>, FileKeyHash> opens_;
};

}  // namespace wce

#endif  // WINCE_KERNEL_SHARE_TABLE_H_
