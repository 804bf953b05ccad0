// STUB: to be replaced by the component's owner.
#ifndef WINCE_RESOURCE_MODULES_H_
#define WINCE_RESOURCE_MODULES_H_

#include "core/device.h"

namespace wce {

class Modules {
 public:
  explicit Modules(Device&) {}
  // Registers a .res image (which must outlive the device) and returns its instance handle.
  HINSTANCE Add(std::span<const std::uint8_t>) { return reinterpret_cast<HINSTANCE>(0x10000); }
};

}  // namespace wce

#endif
