#include "kernel/wait.h"

#include "model/scheduler.h"
#include "kernel/events.h"

namespace wce {
namespace {

// Tells the events of a wait how many threads wait on them, for the length of the wait.
class WaiterCount {
 public:
  explicit WaiterCount(std::span<const std::shared_ptr<KernelObject>> objects) {
    for (const auto& object : objects) {
      if (auto* event = dynamic_cast<Event*>(object.get())) {
        event->mutex().AssertHeld();  // the wait's lock
        event->AddWaiterLocked();
        events_.push_back(event);
      }
    }
  }
  ~WaiterCount() {
    for (Event* event : events_) {
      event->mutex().AssertHeld();  // the wait's lock, also while a terminated thread unwinds
      event->RemoveWaiterLocked();
    }
  }
  WaiterCount(const WaiterCount&) = delete;
  WaiterCount& operator=(const WaiterCount&) = delete;

 private:
  std::vector<Event*> events_;
};

}  // namespace

DWORD WaitForObjectsLocked(Scheduler& scheduler, UniqueLock& lock,
                           std::span<const std::shared_ptr<KernelObject>> objects,
                           std::uint64_t deadline, const std::function<bool()>& extra_ready) {
  auto lowest_signalled = [objects]() -> std::size_t {
    for (std::size_t i = 0; i < objects.size(); ++i) {
      if (objects[i]->IsSignalledLocked()) return i;
    }
    return objects.size();
  };
  const std::function<bool()> ready = [&] {
    return lowest_signalled() < objects.size() || (extra_ready && extra_ready());
  };

  WaiterCount count(objects);
  if (!scheduler.Wait(lock, ready, deadline)) return WAIT_TIMEOUT;
  // The lock has been held since ready() held true, so the same object is still signalled.
  std::size_t index = lowest_signalled();
  if (index < objects.size()) objects[index]->OnWaitSatisfiedLocked();
  return static_cast<DWORD>(index);
}

bool ResolveWaitHandles(const HandleTable& table, std::span<const HANDLE> handles,
                        std::vector<std::shared_ptr<KernelObject>>* out) {
  out->clear();
  out->reserve(handles.size());
  for (HANDLE handle : handles) {
    std::shared_ptr<KernelObject> object = table.Get(handle);
    if (object == nullptr || !object->IsWaitable()) return false;
    out->push_back(std::move(object));
  }
  return true;
}

}  // namespace wce
