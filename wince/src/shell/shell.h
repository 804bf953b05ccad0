// STUB: to be replaced by the component's owner.
#ifndef WINCE_SHELL_SHELL_H_
#define WINCE_SHELL_SHELL_H_

#include "core/device.h"

namespace wce {

class Shell {
 public:
  explicit Shell(Device&) {}
};

}  // namespace wce

#endif
