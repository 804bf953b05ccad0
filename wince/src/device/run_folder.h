// STUB: to be replaced by the component's owner.
#ifndef WINCE_DEVICE_RUN_FOLDER_H_
#define WINCE_DEVICE_RUN_FOLDER_H_

#include "core/device.h"

namespace wce {

class RunFolder {
 public:
  RunFolder(Device&, bool) {}
  void Open() {}
  void Close() {}
};

}  // namespace wce

#endif
