// STUB: replaced by the automation implementation.
#include "device/automation.h"

namespace wce {
Automation::Automation(Device& device) : device_(device) {}
Automation::~Automation() = default;
}  // namespace wce
