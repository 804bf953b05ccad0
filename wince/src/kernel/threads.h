// STUB: to be replaced by the component's owner.
#ifndef WINCE_KERNEL_THREADS_H_
#define WINCE_KERNEL_THREADS_H_

#include "core/device.h"

namespace wce {

class Threads {
 public:
  explicit Threads(Device& d) : device_(d) {}
  // A record for a host thread that becomes a device thread (see DeviceThreadScope).
  std::shared_ptr<DeviceThread> NewRecord() { return std::make_shared<DeviceThread>(++next_id_); }
  // Terminates every device thread made with CreateThread and joins it.
  void TerminateAllAndJoin() {}
 private:
  Device& device_;
  std::uint32_t next_id_ = 0;
};

}  // namespace wce

#endif
