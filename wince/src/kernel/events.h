// Events and the registry of named events.
//
// One namespace holds every named event of this process; names are case-sensitive. A named event
// stays findable while a handle to it is open. Other processes on the same device reach the
// registry through the run folder (system/run_folder.h), which calls SetNamedEvent and Names().
#ifndef WINCE_KERNEL_EVENTS_H_
#define WINCE_KERNEL_EVENTS_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>

#include "host/mutex.h"
#include "kernel/handles.h"
#include "model/scheduler.h"

namespace wce {

class EventRegistry;

// A manual- or auto-reset event. State is guarded by the scheduler's mutex (`mu`): every *Locked
// method must be called with it held, and callers NotifyAll() after a change.
class Event final : public KernelObject {
 public:
  // A named event is made by `registry` (which outlives every handle of it), an unnamed one
  // with no registry.
  Event(Mutex& mu, bool manual_reset, bool initially_set, std::u16string name,
        EventRegistry* registry = nullptr);

  bool manual_reset() const { return manual_reset_; }
  // Empty for an unnamed event.
  const std::u16string& name() const { return name_; }
  // The scheduler's mutex, by this event's name for it.
  Mutex& mutex() const WCE_RETURN_CAPABILITY(mu_) { return mu_; }

  void SetLocked() WCE_REQUIRES(mu_) { signalled_ = true; }
  void ResetLocked() WCE_REQUIRES(mu_);
  // Releases the threads waiting at this moment (all of them for a manual-reset event, one for an
  // auto-reset event) and leaves the event reset. A thread that starts waiting before a released
  // one has woken may take its place.
  void PulseLocked() WCE_REQUIRES(mu_);

  // Kept by the wait engine so that a pulse knows how many threads it may release.
  void AddWaiterLocked() WCE_REQUIRES(mu_) { ++waiters_; }
  void RemoveWaiterLocked() WCE_REQUIRES(mu_);

  bool IsWaitable() const override { return true; }
  bool IsSignalledLocked() const override WCE_REQUIRES(mu_) {
    return signalled_ || pulse_releases_ > 0;
  }
  void OnWaitSatisfiedLocked() override WCE_REQUIRES(mu_);
  // Withdraws the name from its registry.
  void OnLastHandleClosed() override;

 private:
  Mutex& mu_;
  const bool manual_reset_;
  const std::u16string name_;
  EventRegistry* const registry_;
  bool signalled_ WCE_GUARDED_BY(mu_);
  int waiters_ WCE_GUARDED_BY(mu_) = 0;
  int pulse_releases_ WCE_GUARDED_BY(mu_) = 0;
};

// A handle opened by name onto an event of another process on the same device. It can only be
// set (through the run folder); it cannot be waited on, reset or pulsed.
class RemoteEvent final : public KernelObject {
 public:
  explicit RemoteEvent(std::u16string name) : name_(std::move(name)) {}
  const std::u16string& name() const { return name_; }

 private:
  const std::u16string name_;
};

// The named events of this process. Thread-safe: every method takes the scheduler's mutex itself,
// so none may be called with it held.
class EventRegistry {
 public:
  // Handles of the events go into `handles`. Both must outlive the registry.
  EventRegistry(Scheduler& scheduler, HandleTable& handles)
      : scheduler_(scheduler), handles_(handles) {}
  EventRegistry(const EventRegistry&) = delete;
  EventRegistry& operator=(const EventRegistry&) = delete;

  // Makes an event and a handle to it. With a name that is already registered, returns a new
  // handle to the existing event (its reset mode and state unchanged) and sets *existed. Returns
  // null only when the handle table refuses (never at present).
  HANDLE Create(bool manual_reset, bool initially_set, std::u16string_view name, bool* existed)
      WCE_EXCLUDES(scheduler_.mutex());
  // A new handle to the named event of this process, or null when there is none.
  HANDLE Open(std::u16string_view name) WCE_EXCLUDES(scheduler_.mutex());

  // Sets the named event of this process as another process would. False when there is none.
  bool SetNamedEvent(std::u16string_view name) WCE_EXCLUDES(scheduler_.mutex());
  // The names of the events of this process, sorted.
  std::vector<std::u16string> Names() WCE_EXCLUDES(scheduler_.mutex());

  // Called by Event when its last handle closes: forgets the name unless a handle was opened
  // again meanwhile.
  void Forget(const Event* event) WCE_EXCLUDES(scheduler_.mutex());

  // Called with no lock held after a named event appears (true) or disappears (false). Set it
  // before any device thread runs (the run folder does so in Open()).
  std::function<void(const std::u16string& name, bool created)> on_named_change;

 private:
  // Null when the name is unknown or its event is gone.
  std::shared_ptr<Event> FindLocked(std::u16string_view name) WCE_REQUIRES(scheduler_.mutex());
  void Announce(const std::u16string& name, bool created);

  Scheduler& scheduler_;
  HandleTable& handles_;
  // Weak: the handles own the events.
  std::map<std::u16string, std::weak_ptr<Event>, std::less<>> named_
      WCE_GUARDED_BY(scheduler_.mutex());
};

}  // namespace wce

#endif  // WINCE_KERNEL_EVENTS_H_
