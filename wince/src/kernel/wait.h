// Waiting on kernel objects: the engine behind WaitForSingleObject, WaitForMultipleObjects and
// the window system's MsgWaitForMultipleObjectsEx.
//
// Rules of the platform kept here: the lowest signalled object wins; only the object that ended
// the wait changes state (an auto-reset event resets, other signalled auto-reset events stay
// signalled); objects are looked at before any extra readiness (input beats nothing, but a
// signalled handle beats input).
#ifndef WINCE_KERNEL_WAIT_H_
#define WINCE_KERNEL_WAIT_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include <windows.h>

#include "kernel/handles.h"
#include "model/scheduler.h"

namespace wce {

// Blocks the calling thread until one of `objects` is signalled, `extra_ready` (when given)
// returns true, or device time reaches `deadline` (Scheduler::kNever: no time-out; build it with
// Scheduler::DeadlineAfterLocked).
//
// Returns:
//   i              the lowest index whose object is signalled; OnWaitSatisfiedLocked() has been
//                  called on that object alone;
//   objects.size() when no object is signalled and extra_ready() returned true;
//   WAIT_TIMEOUT   when the deadline passed first.
// `lock` must hold scheduler.mutex() and holds it again on return. Every object
// must be waitable (see ResolveWaitHandles). extra_ready() is evaluated with the lock held, also
// by other threads deciding whether the virtual clock may jump: it must only read state guarded
// by the scheduler's mutex. Throws ThreadTerminated when the calling device thread is terminated
// while it waits (the lock is then still held by `lock`).
DWORD WaitForObjectsLocked(Scheduler& scheduler, UniqueLock& lock,
                           std::span<const std::shared_ptr<KernelObject>> objects,
                           std::uint64_t deadline,
                           const std::function<bool()>& extra_ready = nullptr)
    WCE_REQUIRES(scheduler.mutex());

// Looks up `handles` in `table`. Returns false, with *out unspecified, when a
// handle is unknown, closed or names an object that cannot be waited on (the caller then fails
// with ERROR_INVALID_HANDLE). Takes no scheduler lock; call it before locking.
bool ResolveWaitHandles(const HandleTable& table, std::span<const HANDLE> handles,
                        std::vector<std::shared_ptr<KernelObject>>* out);

}  // namespace wce

#endif  // WINCE_KERNEL_WAIT_H_
