// The card attributes host tools read, over the attribute store.
#include <wince/card_attributes.h>

#include <vector>

#include "host/attribute_store.h"

namespace wce {

AttributeForm AttributeFormOf(const std::filesystem::path& folder) {
  switch (AttributeStore::FormFor(folder)) {
    case AttributeStore::Form::kFat:
      return AttributeForm::kFat;
    case AttributeStore::Form::kExtendedAttribute:
      return AttributeForm::kExtendedAttribute;
    case AttributeStore::Form::kRecord:
      break;
  }
  return AttributeForm::kRecord;
}

CardAttributes::CardAttributes(const std::filesystem::path& device_folder,
                               std::span<const Volume> volumes)
    : store_(std::make_unique<AttributeStore>(
          device_folder.empty() ? std::vector<AttributeStore::CardRecord>{}
                                : AttributeStore::CardRecordsOf(device_folder, volumes),
          /*sidecar_only=*/false, /*read_only=*/true)) {}

CardAttributes::~CardAttributes() = default;

DWORD CardAttributes::Get(const std::filesystem::path& host) const { return store_->Get(host); }

DWORD StoreFileAttributes(const std::filesystem::path& host, DWORD attributes) {
  return AttributeStore().Set(host, attributes);
}

}  // namespace wce
