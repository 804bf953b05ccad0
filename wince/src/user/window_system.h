// The device's window system: window classes and windows, per-thread message queues, timers,
// modal dialogs, message boxes, the static and progress-bar controls, and windows of other
// programs on the same device (proxies through OtherProcesses). This object only holds the parts
// together and wires them; each part says what it does in its own header.
//
// Locking: every piece of state is guarded by the scheduler's mutex (the device lock). No window,
// dialog or timer procedure is ever called with it held, and neither are the floors above.
//
// Failures: the parts answer the platform's error with their result (user/result.h); only the
// entry points make it the last error. Window handles are never reused.
#ifndef WINCE_USER_WINDOW_SYSTEM_H_
#define WINCE_USER_WINDOW_SYSTEM_H_

#include <string_view>

#include <windows.h>

#include "model/scheduler.h"
#include "user/controls.h"
#include "user/dialogs.h"
#include "user/message_box.h"
#include "user/message_queues.h"
#include "user/screen_view.h"
#include "user/timers.h"
#include "user/upper_floors.h"
#include "user/window_lifecycle.h"
#include "user/window_state.h"
#include "user/window_table.h"

namespace wce {

class Modules;

class WindowSystem {
 public:
  // Dialog templates are looked up in `modules`; `screen` is the screen until the shell sets
  // another. Registers the built-in classes and installs itself as the scheduler's thread-exit
  // hook (removed on destruction). `scheduler` and `modules` must outlive it.
  WindowSystem(Scheduler& scheduler, const HandleTable& handles, Modules& modules,
               const ScreenMetrics& screen);
  ~WindowSystem();
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;

  // The floors above (either may be null). Set once before any program runs; both must outlive
  // this object or be disconnected (null) first.
  void Connect(OtherProcesses* others, WindowEvents* events);

  // Registers a class for the layer's own windows (the shell's menu bar), whose procedure is
  // `handler`: its windows are never found, published, or counted as foreground. Returns its atom
  // (0 if the name is taken).
  ATOM RegisterInternalClass(std::u16string_view name, WindowTable::ClassHandler handler);

  // Called on a device thread that is ending (by the scheduler's thread-exit hook): closes its
  // queue, releases senders waiting on it and destroys its windows without calling their
  // procedures.
  void ThreadEnded(DeviceThread& thread);

  WindowTable& table() { return table_; }
  MessageQueues& queues() { return queues_; }
  Timers& timers() { return timers_; }
  const ScreenView& view() const { return view_; }
  WindowLifecycle& lifecycle() { return lifecycle_; }
  WindowState& state() { return state_; }
  Dialogs& dialogs() { return dialogs_; }
  MessageBoxes& message_boxes() { return boxes_; }

 private:
  void RegisterBuiltinClasses();

  Scheduler& scheduler_;
  UpperFloors floors_;
  WindowTable table_;
  MessageQueues queues_;
  Timers timers_;
  ScreenView view_;
  WindowLifecycle lifecycle_;
  WindowState state_;
  Dialogs dialogs_;
  MessageBoxes boxes_;
  Controls controls_;
};

}  // namespace wce

#endif  // WINCE_USER_WINDOW_SYSTEM_H_
