// The floors above the window system, as it sees them: the other programs on the device and
// who hears of message boxes, progress and ended dialogs. Either may be null (nothing crosses,
// nobody hears). Set once by the device before any program runs, cleared before they go.
#ifndef WINCE_USER_UPPER_FLOORS_H_
#define WINCE_USER_UPPER_FLOORS_H_

#include "user/other_processes.h"
#include "user/window_events.h"

namespace wce {

struct UpperFloors {
  OtherProcesses* others = nullptr;
  WindowEvents* events = nullptr;
};

}  // namespace wce

#endif  // WINCE_USER_UPPER_FLOORS_H_
