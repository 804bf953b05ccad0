// The file attributes a device keeps on its cards (hidden, system, archive, temporary), read as a
// host tool sees them: kept in the FAT entry, in an extended attribute, or in a record in the
// device folder when the card's file system keeps neither.
#ifndef WINCE_CARD_ATTRIBUTES_H_
#define WINCE_CARD_ATTRIBUTES_H_

#include <windows.h>

#include <filesystem>
#include <memory>
#include <span>

#include <wince/device_path.h>

namespace wce {

class AttributeStore;

// Which form keeps the attributes of the entries of the existing folder `folder`. Reads only.
enum class AttributeForm { kFat, kExtendedAttribute, kRecord };
AttributeForm AttributeFormOf(const std::filesystem::path& folder);

// Reads the attributes of files on the cards among `volumes` (volumes[0], the root "\", has
// none) of the device folder `device_folder` (empty: no device folder, so no card records).
// Reads only: it writes and moves nothing. Get may be called from any thread.
class CardAttributes {
 public:
  CardAttributes(const std::filesystem::path& device_folder, std::span<const Volume> volumes);
  ~CardAttributes();
  CardAttributes(const CardAttributes&) = delete;
  CardAttributes& operator=(const CardAttributes&) = delete;

  // The stored bits of the file or folder at `host` (0 when nothing is stored or it is
  // unreadable).
  DWORD Get(const std::filesystem::path& host) const;

 private:
  std::unique_ptr<AttributeStore> store_;
};

// Stores `attributes` (of the four kept bits) for the existing entry at `host`, as
// SetFileAttributes does for a file of the device's own fs/. Returns ERROR_SUCCESS or the Win32
// code of the failure.
DWORD StoreFileAttributes(const std::filesystem::path& host, DWORD attributes);

}  // namespace wce

#endif  // WINCE_CARD_ATTRIBUTES_H_
