// STUB: to be replaced by the component's owner.
#ifndef WINCE_KERNEL_FAULTS_H_
#define WINCE_KERNEL_FAULTS_H_

#include <vector>

#include "core/profile.h"

namespace wce {

class FaultPlan {
 public:
  explicit FaultPlan(std::vector<FaultSpec> faults) : faults_(std::move(faults)) {}

 private:
  std::vector<FaultSpec> faults_;
};

}  // namespace wce

#endif
