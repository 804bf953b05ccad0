// The device's one lock and its wait engine.
//
// All state of the simulated kernel and window system is guarded by Scheduler::mutex(). Every
// blocking call of the layer waits through Scheduler::Wait, which is what lets the virtual clock
// jump: time stands still while any device thread can run, and moves to the earliest deadline
// when every device thread waits and none of them is ready.
#ifndef WINCE_MODEL_SCHEDULER_H_
#define WINCE_MODEL_SCHEDULER_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

#include "model/clock.h"
#include "host/mutex.h"

namespace wce {

class ThreadQueue;  // the window system's per-thread message queue (user/)

// Thrown inside a device thread that has been terminated; caught by the thread's trampoline.
struct ThreadTerminated {};

// A thread that the device counts: the program's user-interface thread, threads made with
// CreateThread, and the script driver. Owned by the thread itself (see DeviceThreadScope).
class DeviceThread {
 public:
  // Whose thread it is: the program's (its user-interface thread, or a thread it made with
  // CreateThread), or the host's (the script driver, a test).
  enum class Role { kHost, kUi, kWorker };

  explicit DeviceThread(std::uint32_t id) : id_(id) {}

  // The calling thread's record, or null on a host thread that is no device thread.
  static DeviceThread* Current();

  std::uint32_t id() const { return id_; }
  bool terminated() const { return terminated_.load(std::memory_order_acquire); }
  void MarkTerminated() { terminated_.store(true, std::memory_order_release); }
  // Set once, before the thread starts running as a device thread.
  Role role() const { return role_; }
  void set_role(Role role) { role_ = role; }
  bool is_program() const { return role_ != Role::kHost; }

  // The thread's message queue; created by the window system on first use. Guarded by the
  // scheduler's mutex.
  std::shared_ptr<ThreadQueue> queue;

 private:
  friend class DeviceThreadScope;
  const std::uint32_t id_;
  std::atomic<bool> terminated_{false};
  Role role_ = Role::kHost;
};

// Throws ThreadTerminated when the calling device thread has been terminated, and parks a thread
// of the program for good once the device has lost power (see Scheduler::PowerOffLocked). Every
// entry point checks this first.
void ThreadGate();

class Scheduler {
 public:
  static constexpr std::uint64_t kNever = DeviceClock::kNever;

  explicit Scheduler(ClockSpec spec);
  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

  Mutex& mutex() WCE_RETURN_CAPABILITY(mu_) { return mu_; }
  const DeviceClock& clock() const WCE_REQUIRES(mu_) { return clock_; }

  // Device milliseconds since boot.
  std::uint64_t Now() WCE_EXCLUDES(mu_);
  std::uint64_t NowLocked() const WCE_REQUIRES(mu_) { return clock_.NowMs(); }
  // Adds a timeout in device ms to now; INFINITE (0xFFFFFFFF) gives kNever.
  std::uint64_t DeadlineAfterLocked(std::uint32_t timeout_ms) const WCE_REQUIRES(mu_);

  // Blocks until ready() returns true or device time reaches `deadline`. `lock` holds mutex(); it
  // is let go while the thread sleeps and held again on return. ready() is evaluated with
  // the lock held, and may be evaluated by other threads deciding whether time may jump, so it
  // must only read state guarded by mutex(). Returns true when ready, false on time-out.
  // Throws ThreadTerminated when the calling device thread is terminated while it waits.
  bool Wait(UniqueLock& lock, const std::function<bool()>& ready, std::uint64_t deadline = kNever)
      WCE_REQUIRES(mu_);

  // Wakes every waiter to evaluate its condition again. Call after changing guarded state.
  void NotifyAll() { cv_.notify_all(); }

  // Counts device threads for the virtual clock. Locks the mutex.
  void AddDeviceThread() WCE_EXCLUDES(mu_);
  void RemoveDeviceThread() WCE_EXCLUDES(mu_);
  int device_threads() const WCE_REQUIRES(mu_) { return device_threads_; }

  // The device loses power: from now on every thread of the program stops for good at its next
  // layer call or inside the wait it is in, as a pulled battery stops it, without unwinding (no
  // destructor of the program runs). Host threads go on. Irreversible: the scheduler, and what
  // the stopped threads reference, must then outlive the process (the host leaks the device).
  void PowerOffLocked() WCE_REQUIRES(mu_);
  bool powered_off() const { return powered_off_.load(std::memory_order_acquire); }
  // Stops the calling device thread for good (see PowerOffLocked); it stops counting for the
  // virtual clock. Never returns.
  [[noreturn]] void ParkLocked(UniqueLock& lock) WCE_REQUIRES(mu_);

  // A hook called with the lock held whenever the virtual clock jumps (for observers).
  std::function<void(std::uint64_t)> on_advance;
  // Called on a device thread that is about to stop being one (end of its DeviceThreadScope),
  // with no lock held. The window system closes the thread's message queue here.
  std::function<void(DeviceThread&)> on_thread_exit;

 private:
  struct Waiter {
    const std::function<bool()>* ready;
    std::uint64_t deadline;
    bool counted;
    const DeviceThread* thread;  // the waiting device thread, or null on a host thread
  };
  // With the lock held: when every counted device thread waits and none is ready, jump the
  // virtual clock to the earliest deadline.
  void MaybeAdvanceLocked() WCE_REQUIRES(mu_);

  Mutex mu_;
  std::condition_variable cv_;
  DeviceClock clock_ WCE_GUARDED_BY(mu_);
  std::list<Waiter> waiters_ WCE_GUARDED_BY(mu_);
  int device_threads_ WCE_GUARDED_BY(mu_) = 0;
  int counted_waiters_ WCE_GUARDED_BY(mu_) = 0;
  std::atomic<bool> powered_off_{false};
};

// Registers the calling host thread as a device thread for its lifetime.
class DeviceThreadScope {
 public:
  DeviceThreadScope(Scheduler& scheduler, std::shared_ptr<DeviceThread> thread);
  ~DeviceThreadScope();
  DeviceThreadScope(const DeviceThreadScope&) = delete;
  DeviceThreadScope& operator=(const DeviceThreadScope&) = delete;

 private:
  Scheduler& scheduler_;
  std::shared_ptr<DeviceThread> thread_;
  DeviceThread* previous_;
  Scheduler* previous_scheduler_ = nullptr;
};

}  // namespace wce

#endif  // WINCE_MODEL_SCHEDULER_H_
