// Timers: a window's timers and a thread's window-less ones, kept in the owning thread's queue
// and delivered by its retrievals as WM_TIMER.
//
// Thread: only the thread that owns a window may set or kill its timers (its next timer deadline
// is taken before it waits, so a timer set from elsewhere meanwhile would never wake it). Call
// with the device lock not held.
#ifndef WINCE_USER_TIMERS_H_
#define WINCE_USER_TIMERS_H_

#include <windows.h>

#include "model/scheduler.h"
#include "user/message_queues.h"
#include "user/result.h"
#include "user/window_table.h"

namespace wce {

class Timers {
 public:
  Timers(Scheduler& scheduler, WindowTable& table, MessageQueues& queues);

  // Sets (or replaces) timer `id` of `hwnd`; a null `hwnd` makes a thread timer with a fresh id.
  // Periods below the platform's minimum are raised to it. The timer's id (1 for a window timer
  // of id 0), or 0 with ERROR_INVALID_WINDOW_HANDLE / ERROR_ACCESS_DENIED.
  Result<UINT_PTR> Set(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
  // ERROR_INVALID_WINDOW_HANDLE, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER (no such timer), or
  // success.
  DWORD Kill(HWND hwnd, UINT_PTR id);

 private:
  // The queue that holds the timers of `hwnd` (the calling thread's for null): ERROR_SUCCESS and
  // *queue, ERROR_INVALID_WINDOW_HANDLE, or ERROR_ACCESS_DENIED for a window of another thread.
  DWORD QueueOfLocked(HWND hwnd, std::shared_ptr<ThreadQueue>* queue) WCE_REQUIRES(mu_);

  Scheduler& scheduler_;
  Mutex& mu_;
  WindowTable& table_;
  MessageQueues& queues_;
  UINT_PTR next_timer_id_ WCE_GUARDED_BY(mu_) = 1;
};

}  // namespace wce

#endif  // WINCE_USER_TIMERS_H_
