// STUB: to be replaced by the component's owner.
#ifndef WINCE_DEVICE_AUTOMATION_H_
#define WINCE_DEVICE_AUTOMATION_H_

#include "core/device.h"

namespace wce {

class Automation {
 public:
  explicit Automation(Device&) {}
};

}  // namespace wce

#endif
