// STUB: to be replaced by the component's owner.
#ifndef WINCE_KERNEL_FILESYSTEM_H_
#define WINCE_KERNEL_FILESYSTEM_H_

#include "core/device.h"

namespace wce {

class FileSystem {
 public:
  explicit FileSystem(Device&) {}
};

}  // namespace wce

#endif
