// Keeps the device from suspending and its backlight on while the wizard runs.
//
// Process-wide; both values are zero while inactive. Thread rules: the user-interface thread
// (the timer has no window, so its procedure runs from that thread's message dispatch).
#ifndef KEPLA_APP_KEEP_AWAKE_H_
#define KEPLA_APP_KEEP_AWAKE_H_

#include <windows.h>

class KeepAwake {
 public:
  // Starts a 5000 ms timer that resets the idle timer, and holds the backlight at full power.
  // Does nothing while either is already held. A part that cannot be had is done without.
  static void Start();
  // Releases whatever is held and clears both values.
  static void Stop();

  static UINT_PTR TimerId() { return timerId; }
  static HANDLE PowerRequirement() { return powerRequirement; }

 private:
  static void CALLBACK OnTimer(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

  static UINT_PTR timerId;
  static HANDLE powerRequirement;
};

#endif  // KEPLA_APP_KEEP_AWAKE_H_
