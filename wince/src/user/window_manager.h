// STUB: to be replaced by the component's owner.
#ifndef WINCE_USER_WINDOW_MANAGER_H_
#define WINCE_USER_WINDOW_MANAGER_H_

#include "core/device.h"

namespace wce {

class WindowManager {
 public:
  explicit WindowManager(Device&) {}
};

}  // namespace wce

#endif
