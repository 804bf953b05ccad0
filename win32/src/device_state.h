// What the shim records of the program's calls that have no desktop effect: the backlight power
// requirement and the idle-timer resets. The automation agent reports them.
//
// Thread rules: any thread; every value is read and written with interlocked operations.
#ifndef KEPLA_WIN32_DEVICE_STATE_H_
#define KEPLA_WIN32_DEVICE_STATE_H_

#include <windows.h>

namespace kepla_shim {

struct KeepAwakeRecord {
  bool backlight_held = false;  // a requirement on "BKL1:" (any case) at D0 is held
  int requirements_held = 0;
  int idle_timer_resets = 0;
};

KeepAwakeRecord KeepAwakeState();

}  // namespace kepla_shim

#endif  // KEPLA_WIN32_DEVICE_STATE_H_
