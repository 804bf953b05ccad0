// STUB: to be replaced by the component's owner.
#ifndef WINCE_DEVICE_HARDWARE_H_
#define WINCE_DEVICE_HARDWARE_H_

#include "core/device.h"

namespace wce {

class Hardware {
 public:
  explicit Hardware(Device&) {}
};

}  // namespace wce

#endif
