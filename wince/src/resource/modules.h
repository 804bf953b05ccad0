// The device's loaded modules, as far as their resources go: HINSTANCE -> .res image.
//
// A host registers the program's compiled resources (and tests register their own) with Add; the
// Win32 resource calls look resources up here. Images are parsed once and never change or go
// away afterwards, so lookups hand out pointers and spans into them that stay valid for the life
// of the device. Thread-safe: Add and every lookup may be called from any thread.
#ifndef WINCE_RESOURCE_MODULES_H_
#define WINCE_RESOURCE_MODULES_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include <windows.h>

#include "host/mutex.h"
#include "resource/res_file.h"
#include "resource/string_table.h"

namespace wce {

class Modules {
 public:
  Modules();
  ~Modules();
  Modules(const Modules&) = delete;
  Modules& operator=(const Modules&) = delete;

  // Registers a .res image whose bytes outlive the device and returns its instance handle
  // (distinct per call, never null). Returns null when the bytes are not a well-formed .res
  // image; nothing is registered then.
  HINSTANCE Add(std::span<const std::uint8_t> image);

  // True when `instance` was returned by Add.
  bool Contains(HINSTANCE instance) const;

  // Finds a resource of `instance`. When several languages hold it the first in the image wins.
  // On failure returns null and stores in *error (if given) ERROR_RESOURCE_DATA_NOT_FOUND for an
  // unknown instance, ERROR_RESOURCE_TYPE_NOT_FOUND when the image has no resource of that type,
  // ERROR_RESOURCE_NAME_NOT_FOUND when it has the type but not the name. Names compare without
  // regard to ASCII case.
  const ResEntry* Find(HINSTANCE instance, const ResId& type, const ResId& name,
                       DWORD* error = nullptr) const;

  // The entry behind a handle given out by Find (an HRSRC is the entry's address), or null when
  // `entry` is no entry of any image. With a non-null `instance` the entry must belong to it.
  const ResEntry* Validate(HINSTANCE instance, const void* entry) const;

  // The stored string `id` of `instance` (see string_table.h), or nullopt with *error set as for
  // Find (ERROR_RESOURCE_NAME_NOT_FOUND also for an unused slot, ERROR_INVALID_DATA for a block
  // that does not parse).
  std::optional<StringSlotData> FindString(HINSTANCE instance, UINT id,
                                           DWORD* error = nullptr) const;

  // What the resource holding an address is: DialogBoxIndirectParamW gets only a pointer.
  struct Located {
    HINSTANCE instance;
    const ResEntry* entry;
    std::span<const std::uint8_t> rest;  // from the address to the end of the entry's data
  };
  // The resource whose data contains `p`, or nullopt when p lies in no registered resource.
  std::optional<Located> Locate(const void* p) const;
  // Locate(p)->rest: the bytes a parser may read from p on.
  std::optional<std::span<const std::uint8_t>> SpanContaining(const void* p) const;

 private:
  struct Module {
    HINSTANCE instance;
    std::vector<ResEntry> entries;
  };
  const Module* ModuleLocked(HINSTANCE instance) const WCE_REQUIRES(mu_);

  mutable Mutex mu_;
  std::vector<std::unique_ptr<Module>> modules_ WCE_GUARDED_BY(mu_);  // elements never change
};

}  // namespace wce

#endif  // WINCE_RESOURCE_MODULES_H_
