#include "kernel/events.h"

#include <algorithm>

#include "model/scheduler.h"

namespace wce {

Event::Event(Mutex& mu, bool manual_reset, bool initially_set, std::u16string name,
             EventRegistry* registry)
    : mu_(mu),
      manual_reset_(manual_reset),
      name_(std::move(name)),
      registry_(registry),
      signalled_(initially_set) {}

void Event::ResetLocked() {
  signalled_ = false;
  pulse_releases_ = 0;
}

void Event::PulseLocked() {
  signalled_ = false;
  pulse_releases_ = manual_reset_ ? waiters_ : std::min(waiters_, 1);
}

void Event::RemoveWaiterLocked() {
  --waiters_;
  // Releases meant for threads that left the wait otherwise must not fall to later waiters.
  pulse_releases_ = std::min(pulse_releases_, waiters_);
}

void Event::OnWaitSatisfiedLocked() {
  if (signalled_) {
    if (!manual_reset_) signalled_ = false;
  } else if (pulse_releases_ > 0) {
    --pulse_releases_;
  }
}

void Event::OnLastHandleClosed() {
  if (!name_.empty() && registry_ != nullptr) registry_->Forget(this);
}

HANDLE EventRegistry::Create(bool manual_reset, bool initially_set, std::u16string_view name,
                             bool* existed) {
  *existed = false;
  HANDLE handle;
  {
    MutexLock lock(scheduler_.mutex());
    if (!name.empty()) {
      if (std::shared_ptr<Event> event = FindLocked(name)) {
        *existed = true;
        return handles_.Add(std::move(event));
      }
    }
    auto event = std::make_shared<Event>(scheduler_.mutex(), manual_reset, initially_set,
                                         std::u16string(name), name.empty() ? nullptr : this);
    if (!name.empty()) named_.insert_or_assign(std::u16string(name), event);
    handle = handles_.Add(std::move(event));
  }
  if (!name.empty()) Announce(std::u16string(name), true);
  return handle;
}

HANDLE EventRegistry::Open(std::u16string_view name) {
  MutexLock lock(scheduler_.mutex());
  std::shared_ptr<Event> event = FindLocked(name);
  if (event == nullptr) return nullptr;
  // Added under the lock so that Forget() sees the new handle.
  return handles_.Add(std::move(event));
}

bool EventRegistry::SetNamedEvent(std::u16string_view name) {
  MutexLock lock(scheduler_.mutex());
  std::shared_ptr<Event> event = FindLocked(name);
  if (event == nullptr) return false;
  event->mutex().AssertHeld();
  event->SetLocked();
  scheduler_.NotifyAll();
  return true;
}

std::vector<std::u16string> EventRegistry::Names() {
  MutexLock lock(scheduler_.mutex());
  std::vector<std::u16string> names;
  for (const auto& [name, event] : named_) {
    if (!event.expired()) names.push_back(name);
  }
  return names;
}

void EventRegistry::Forget(const Event* event) {
  {
    MutexLock lock(scheduler_.mutex());
    auto it = named_.find(event->name());
    if (it == named_.end() || it->second.lock().get() != event) return;
    if (handles_.CountHandlesTo(event) > 0) return;
    named_.erase(it);
  }
  Announce(event->name(), false);
}

std::shared_ptr<Event> EventRegistry::FindLocked(std::u16string_view name) {
  auto it = named_.find(name);
  if (it == named_.end()) return nullptr;
  std::shared_ptr<Event> event = it->second.lock();
  if (event == nullptr) named_.erase(it);
  return event;
}

void EventRegistry::Announce(const std::u16string& name, bool created) {
  if (on_named_change) on_named_change(name, created);
}

}  // namespace wce
