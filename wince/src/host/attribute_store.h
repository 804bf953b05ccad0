// The file attributes that a host file system has no bit for, kept with the file.
//
// Hidden, system, archive and temporary are stored, in this order of preference:
//   - on a kernel FAT mount (a real SD card), in the FAT entry itself (FAT_IOCTL_SET_ATTRIBUTES);
//   - elsewhere, in the extended attribute "user.DOSATTRIB" as "0x" and hexadecimal digits, the
//     form Wine and Samba use, so that either reads what the other wrote (the decimal
//     "user.kepla.attributes" of earlier versions is still read);
//   - where extended attributes are not supported, in a record file, one line "XXXXXXXX name" per
//     file (hex attributes, then the host name), rewritten through "<record>.new" and a rename:
//       - for a file on a card given to the store, the card's record in the device folder
//         (DEVICE/attributes/<card name>.attributes), the name being the file's path below the
//         card's folder ('/'-separated): nothing of the layer's is ever left on a card (a FAT
//         volume under FUSE, for one, keeps neither of the first two forms);
//       - for any other file (the device's own fs/), the sidecar ".kepla-attributes" in the
//         file's folder.
//     Neither sidecar name is ever listed nor reachable by a device path. A sidecar that earlier
//     versions left in a card's folder is moved into the card's record (what the record already
//     says wins) and removed from the card when the store meets it, unless the store only reads.
// Read-only is the host's write permission and directory the host's file type: neither is kept
// here (see FileSystem).
#ifndef WINCE_HOST_ATTRIBUTE_STORE_H_
#define WINCE_HOST_ATTRIBUTE_STORE_H_

#include <filesystem>
#include <mutex>
#include <span>
#include <vector>

#include <windows.h>

#include <wince/device_path.h>
#include "host/mutex.h"

namespace wce {

class AttributeStore {
 public:
  static constexpr DWORD kStored = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                   FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY;

  // A card's folder and the record file, outside it, that keeps what the card cannot.
  struct CardRecord {
    std::filesystem::path root;    // absolute, lexically normal
    std::filesystem::path record;  // DEVICE/attributes/<card name>.attributes
  };
  // The records of the cards among `volumes` (volumes[0], the root "\", has none) of the device
  // folder `device_folder`.
  static std::vector<CardRecord> CardRecordsOf(const std::filesystem::path& device_folder,
                                               std::span<const Volume> volumes);

  // Which form keeps the attributes of the entries of the existing folder `folder`. Reads only.
  enum class Form { kFat, kExtendedAttribute, kRecord };
  static Form FormFor(const std::filesystem::path& folder);

  // `sidecar_only`: skip the FAT and extended-attribute forms (hosts whose file system lies about
  // them, and tests of the records).
  explicit AttributeStore(bool sidecar_only = false) : sidecar_only_(sidecar_only) {}
  // `cards`: files below these folders keep their records in the device folder. `read_only`: a
  // store that only reads (Set and Forget are not called) and moves no earlier sidecar.
  AttributeStore(std::vector<CardRecord> cards, bool sidecar_only, bool read_only = false)
      : sidecar_only_(sidecar_only), read_only_(read_only), cards_(std::move(cards)) {}

  // The stored bits of the file or folder at `host` (0 when nothing is stored or it is unreadable).
  DWORD Get(const std::filesystem::path& host) const;
  // Stores `attributes & kStored` for the existing entry at `host`. Returns ERROR_SUCCESS or the
  // Win32 code of the host failure.
  DWORD Set(const std::filesystem::path& host, DWORD attributes);
  // Drops what a record keeps for `host` (call after deleting it; the other forms go with the
  // file).
  void Forget(const std::filesystem::path& host);

 private:
  // The record that keeps `host` and its name there.
  struct Place {
    std::filesystem::path record;
    std::string name;
    const CardRecord* card = nullptr;  // null for a sidecar
  };
  Place PlaceOf(const std::filesystem::path& host) const;
  // Moves a sidecar of an earlier version from the card folder holding `host` into the card's
  // record. Call with sidecar_mu_ held.
  void MoveOldSidecar(const std::filesystem::path& host, const Place& place) const
      WCE_REQUIRES(sidecar_mu_);
  DWORD GetRecord(const std::filesystem::path& host) const;
  DWORD SetRecord(const std::filesystem::path& host, DWORD attributes);

  const bool sidecar_only_;
  const bool read_only_ = false;
  const std::vector<CardRecord> cards_;
  mutable Mutex sidecar_mu_;  // one writer of record files at a time in this process
};

}  // namespace wce

#endif  // WINCE_HOST_ATTRIBUTE_STORE_H_
