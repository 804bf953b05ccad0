#include "user/timers.h"

#include <algorithm>

namespace wce {
namespace {

constexpr UINT kMinimumTimerMs = 10;  // shorter periods are raised to this, as on the platform

}  // namespace

Timers::Timers(Scheduler& scheduler, WindowTable& table, MessageQueues& queues)
    : scheduler_(scheduler), mu_(scheduler.mutex()), table_(table), queues_(queues) {}

Result<UINT_PTR> Timers::Set(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
  MutexLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  table_.mutex().AssertHeld();
  queues_.mutex().AssertHeld();
  std::shared_ptr<ThreadQueue> queue;
  if (const DWORD error = QueueOfLocked(hwnd, &queue); error != ERROR_SUCCESS) return {0, error};
  if (hwnd == nullptr) id = next_timer_id_++;  // thread timers always get a fresh identifier
  if (!queue || queue->closed()) return {0, ERROR_ACCESS_DENIED};
  ThreadQueue::Timer timer;
  timer.hwnd = hwnd;
  timer.id = id;
  timer.elapse_ms = std::max(elapse_ms, kMinimumTimerMs);
  timer.proc = proc;
  timer.due_ms = scheduler_.NowLocked() + timer.elapse_ms;
  queue->SetTimer(timer);
  // A window timer answers its own id; 0 would read as failure, so an id of 0 answers 1.
  return {hwnd == nullptr ? id : (id != 0 ? id : 1)};
}

DWORD Timers::Kill(HWND hwnd, UINT_PTR id) {
  MutexLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  table_.mutex().AssertHeld();
  queues_.mutex().AssertHeld();
  std::shared_ptr<ThreadQueue> queue;
  if (const DWORD error = QueueOfLocked(hwnd, &queue); error != ERROR_SUCCESS) return error;
  if (!queue || !queue->KillTimer(hwnd, id)) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

DWORD Timers::QueueOfLocked(HWND hwnd, std::shared_ptr<ThreadQueue>* queue) {
  scheduler_.mutex().AssertHeld();
  table_.mutex().AssertHeld();
  queues_.mutex().AssertHeld();
  if (hwnd == nullptr) {
    *queue = queues_.CurrentLocked();
    return ERROR_SUCCESS;
  }
  const Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) return ERROR_INVALID_WINDOW_HANDLE;
  if (!queues_.IsCallerThreadOfLocked(*w)) return ERROR_ACCESS_DENIED;
  *queue = w->queue.lock();
  return ERROR_SUCCESS;
}

}  // namespace wce
