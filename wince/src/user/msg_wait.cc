// The wait for kernel objects that new input also ends.
//
// Input that GetMessageW or PeekMessageW has already looked at is old and does not end the wait
// (unless MWMO_INPUTAVAILABLE asks for any input). A message sent by another thread ends it when
// QS_SENDMESSAGE is in the mask, but is not run here: the caller's next retrieval runs it.
#include <algorithm>
#include <vector>

#include "kernel/wait.h"
#include "user/message_queues.h"

namespace wce {

Result<DWORD> MessageQueues::WaitForObjectsOrInput(DWORD count, const HANDLE* handles,
                                                   DWORD timeout_ms, DWORD wake_mask, DWORD flags) {
  if (count >= MAXIMUM_WAIT_OBJECTS || (count > 0 && handles == nullptr) ||
      (flags & MWMO_WAITALL) != 0) {
    return {WAIT_FAILED, ERROR_INVALID_PARAMETER};
  }
  std::vector<std::shared_ptr<KernelObject>> objects;
  if (!ResolveWaitHandles(handles_, std::span<const HANDLE>(handles, count), &objects)) {
    return {WAIT_FAILED, ERROR_INVALID_HANDLE};
  }

  UniqueLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  auto queue = CurrentLocked();  // null on a host thread: no input can arrive
  const std::uint64_t deadline = scheduler_.DeadlineAfterLocked(timeout_ms);
  const bool any_input = (flags & MWMO_INPUTAVAILABLE) != 0;
  const std::function<bool()> input_ready = [&] {
    scheduler_.mutex().AssertHeld();
    if (!queue) return false;
    const std::uint64_t now = scheduler_.NowLocked();
    return ((any_input ? queue->AllInput(now) : queue->NewInput(now)) & wake_mask) != 0;
  };
  // For "waiting for input": the whole wait's readiness, objects included.
  const std::function<bool()> wait_ready = [&] {
    return input_ready() || std::any_of(objects.begin(), objects.end(),
                                        [](const auto& o) { return o->IsSignalledLocked(); });
  };
  const bool counts_as_input_wait = queue && (wake_mask & (QS_INPUT | QS_POSTMESSAGE)) != 0;

  for (;;) {
    std::uint64_t until = deadline;
    if (queue && (wake_mask & QS_TIMER)) {
      until = std::min(until, queue->NextTimerDueAfter(scheduler_.NowLocked(), nullptr));
    }
    if (counts_as_input_wait) {
      queue->BeginInputWait(&wait_ready);
      scheduler_.NotifyAll();  // automation waits for this thread to wait for input
    }
    DWORD result;
    try {
      result = WaitForObjectsLocked(scheduler_, lock, objects, until, input_ready);
    } catch (...) {
      if (counts_as_input_wait) queue->EndInputWait();
      throw;
    }
    if (counts_as_input_wait) queue->EndInputWait();
    if (result < count) return {static_cast<DWORD>(WAIT_OBJECT_0 + result)};
    if (result == count) return {static_cast<DWORD>(WAIT_OBJECT_0 + count)};
    // The time-out, or a timer came due (the next round sees it as new input). Input there when
    // the time-out expires wins over it, as on Win32: a timer set with the wait's period, due at
    // the very moment the wait times out (on a virtual clock), ends the wait as input.
    if (scheduler_.NowLocked() >= deadline) {
      return {static_cast<DWORD>(input_ready() ? WAIT_OBJECT_0 + count : WAIT_TIMEOUT)};
    }
  }
}

}  // namespace wce
