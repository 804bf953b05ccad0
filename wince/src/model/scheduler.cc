#include "model/scheduler.h"

#include <algorithm>
#include <exception>

namespace wce {
namespace {
thread_local DeviceThread* t_current = nullptr;
thread_local Scheduler* t_scheduler = nullptr;  // the scheduler that counts t_current
}  // namespace

DeviceThread* DeviceThread::Current() { return t_current; }

void ThreadGate() {
  DeviceThread* self = t_current;
  if (self != nullptr && self->is_program() && t_scheduler != nullptr &&
      t_scheduler->powered_off()) {
    UniqueLock lock(t_scheduler->mutex());
    t_scheduler->ParkLocked(lock);
  }
  // While a terminated thread unwinds, destructors may still call into the layer: let them.
  if (self != nullptr && self->terminated() && std::uncaught_exceptions() == 0) {
    throw ThreadTerminated{};
  }
}

Scheduler::Scheduler(ClockSpec spec) : clock_(spec) {}

std::uint64_t Scheduler::Now() {
  MutexLock lock(mu_);
  return clock_.NowMs();
}

std::uint64_t Scheduler::DeadlineAfterLocked(std::uint32_t timeout_ms) const {
  if (timeout_ms == 0xFFFFFFFFu) return kNever;
  return clock_.NowMs() + timeout_ms;
}

bool Scheduler::Wait(UniqueLock& lock, const std::function<bool()>& ready, std::uint64_t deadline) {
  DeviceThread* self = t_current;
  auto check_terminated = [&] {
    if (self != nullptr && self->terminated() && std::uncaught_exceptions() == 0) {
      throw ThreadTerminated{};
    }
  };
  check_terminated();
  if (self != nullptr && self->is_program() && powered_off()) ParkLocked(lock);
  if (ready()) return true;
  if (clock_.NowMs() >= deadline) return false;

  const bool counted = self != nullptr;
  auto it = waiters_.insert(waiters_.end(), Waiter{&ready, deadline, counted, self});
  if (counted) ++counted_waiters_;
  // A thread of the program that the loss of power finds waiting stops here, out of the waiters.
  auto park_if_powered_off = [&] {
    mu_.AssertHeld();  // called from the wait loop below, which holds it
    if (self == nullptr || !self->is_program() || !powered_off()) return;
    waiters_.erase(it);
    if (counted) --counted_waiters_;
    ParkLocked(lock);
  };
  struct Unregister {
    Scheduler* s;
    std::list<Waiter>::iterator it;
    bool counted;
    ~Unregister() {
      s->mu_.AssertHeld();  // Wait returns, or unwinds, with the lock held
      s->waiters_.erase(it);
      if (counted) --s->counted_waiters_;
    }
  } unregister{this, it, counted};

  // A thread starting to wait can itself be what another waiter waits for ("the user-interface
  // thread waits for input"): let every waiter look again.
  cv_.notify_all();
  for (;;) {
    MaybeAdvanceLocked();
    if (ready()) return true;
    if (clock_.NowMs() >= deadline) return false;
    if (clock_.is_virtual()) {
      cv_.wait(lock.native());
    } else {
      cv_.wait_until(lock.native(), clock_.HostDeadline(deadline));
    }
    park_if_powered_off();
    check_terminated();
  }
}

void Scheduler::PowerOffLocked() {
  powered_off_.store(true, std::memory_order_release);
  cv_.notify_all();
}

void Scheduler::ParkLocked(UniqueLock& lock) {
  --device_threads_;
  MaybeAdvanceLocked();
  cv_.notify_all();
  for (;;) cv_.wait(lock.native());
}

void Scheduler::MaybeAdvanceLocked() {
  if (!clock_.is_virtual()) return;
  if (device_threads_ == 0 || counted_waiters_ < device_threads_) return;
  std::uint64_t earliest = kNever;
  for (const Waiter& w : waiters_) {
    if ((*w.ready)()) return;  // someone can run: time stands still
    // A thread terminated while it waits runs again, to unwind, once it sees it.
    if (w.thread != nullptr && w.thread->terminated()) return;
    earliest = std::min(earliest, w.deadline);
  }
  if (earliest == kNever || earliest <= clock_.NowMs()) return;
  clock_.AdvanceTo(earliest);
  if (on_advance) on_advance(earliest);
  cv_.notify_all();
}

void Scheduler::AddDeviceThread() {
  MutexLock lock(mu_);
  ++device_threads_;
}

void Scheduler::RemoveDeviceThread() {
  MutexLock lock(mu_);
  --device_threads_;
  // The departing thread may have been the last one running.
  MaybeAdvanceLocked();
  cv_.notify_all();
}

DeviceThreadScope::DeviceThreadScope(Scheduler& scheduler, std::shared_ptr<DeviceThread> thread)
    : scheduler_(scheduler), thread_(std::move(thread)), previous_(t_current) {
  scheduler_.AddDeviceThread();
  t_current = thread_.get();
  previous_scheduler_ = t_scheduler;
  t_scheduler = &scheduler_;
}

DeviceThreadScope::~DeviceThreadScope() {
  if (scheduler_.on_thread_exit) scheduler_.on_thread_exit(*thread_);
  t_current = previous_;
  t_scheduler = previous_scheduler_;
  scheduler_.RemoveDeviceThread();
}

}  // namespace wce
