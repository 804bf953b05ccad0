// The file attributes that a host file system has no bit for, kept with the file.
//
// Hidden, system, archive and temporary are stored, in this order of preference:
//   - on a FAT mount (a real SD card), in the FAT entry itself (FAT_IOCTL_SET_ATTRIBUTES);
//   - elsewhere, in the extended attribute "user.DOSATTRIB" as "0x" and hexadecimal digits, the
//     form Wine and Samba use, so that either reads what the other wrote (the decimal
//     "user.kepla.attributes" of earlier versions is still read);
//   - where extended attributes are not supported, in a sidecar file ".kepla-attributes" in the
//     file's folder, one line "XXXXXXXX name" per file (hex attributes, host name), rewritten
//     through ".kepla-attributes.new" and a rename. Neither name is ever listed nor reachable by a
//     device path.
// Read-only is the host's write permission and directory the host's file type: neither is kept
// here (see FileSystem).
#ifndef WINCE_KERNEL_ATTRIBUTE_STORE_H_
#define WINCE_KERNEL_ATTRIBUTE_STORE_H_

#include <filesystem>
#include <mutex>

#include <windows.h>

namespace wce {

class AttributeStore {
 public:
  static constexpr DWORD kStored = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;

  // `sidecar_only`: skip the FAT and extended-attribute forms (hosts whose file system lies about
  // them, and tests of the sidecar).
  explicit AttributeStore(bool sidecar_only = false) : sidecar_only_(sidecar_only) {}

  // The stored bits of the file or folder at `host` (0 when nothing is stored or it is unreadable).
  DWORD Get(const std::filesystem::path& host) const;
  // Stores `attributes & kStored` for the existing entry at `host`. Returns ERROR_SUCCESS or the
  // Win32 code of the host failure.
  DWORD Set(const std::filesystem::path& host, DWORD attributes);
  // Drops what the sidecar keeps for `host` (call after deleting it; the other forms go with the
  // file).
  void Forget(const std::filesystem::path& host);

 private:
  DWORD GetSidecar(const std::filesystem::path& host) const;
  DWORD SetSidecar(const std::filesystem::path& host, DWORD attributes);

  const bool sidecar_only_;
  mutable std::mutex sidecar_mu_;  // one writer of sidecar files at a time in this process
};

}  // namespace wce

#endif  // WINCE_KERNEL_ATTRIBUTE_STORE_H_
