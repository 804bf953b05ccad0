// What a person sees on the device screen, read with Win32 calls on the user-interface thread,
// and the presses a person can make there.
//
// The foreground is the topmost visible top-level window of the thread that is neither one of the
// shim's bars nor a message box; the message box is the topmost one of the thread. A soft key is
// offered when no message box is open, the foreground window is enabled and its key exists and is
// enabled; OK when a message box is open.
//
// Thread rules: the user-interface thread only (the agent sends it a message to get there).
#ifndef KEPLA_WIN32_AGENT_SCREEN_PROBE_H_
#define KEPLA_WIN32_AGENT_SCREEN_PROBE_H_

#include <windows.h>

#include <string>

namespace kepla_shim {

// The screen as a JSON object: title, class, template (-1: Win32 keeps no record of it),
// rotation, width, height, controls, softKeys, messageBox (when open), backlightHeld,
// idleTimerResets. Texts are UTF-8.
std::string ScreenJson();

// Clicks soft key `index` (0 left, 1 right) when it is offered. Returns whether it was.
bool PressSoftKey(int index);
// Clicks the OK button of the open message box. Returns whether one was open.
bool DismissMessageBox();

}  // namespace kepla_shim

#endif  // KEPLA_WIN32_AGENT_SCREEN_PROBE_H_
