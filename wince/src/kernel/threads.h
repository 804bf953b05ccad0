// Device threads: CreateThread/TerminateThread bookkeeping, thread objects, and the registry of
// named events.
//
// Every thread made with CreateThread is a host thread registered as a device thread, so that its
// waits go through the device clock. The component owns the host threads: it joins those that
// have ended when it starts new ones, and joins the rest at device shutdown.
#ifndef WINCE_KERNEL_THREADS_H_
#define WINCE_KERNEL_THREADS_H_

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

#include <windows.h>

#include "kernel/handles.h"
#include "model/scheduler.h"
#include "kernel/events.h"
#include "host/mutex.h"

namespace wce {

class FaultPlan;

// The waitable object of a thread made with CreateThread: signalled once the thread has ended or
// been terminated. Guarded by the scheduler's mutex, which `mu` is.
class ThreadObject final : public KernelObject {
 public:
  ThreadObject(Mutex& mu, std::shared_ptr<DeviceThread> record)
      : mu_(mu), record_(std::move(record)) {}

  DeviceThread& record() const { return *record_; }
  std::uint32_t id() const { return record_->id(); }

  // The scheduler's mutex, by this object's name for it.
  Mutex& mutex() const WCE_RETURN_CAPABILITY(mu_) { return mu_; }

  bool ended_locked() const WCE_REQUIRES(mu_) { return ended_; }
  // STILL_ACTIVE until the thread has ended.
  DWORD exit_code_locked() const WCE_REQUIRES(mu_) { return exit_code_; }
  // Records the end of the thread; the first end wins (a terminated thread that later returns
  // keeps the code it was terminated with). Returns false if it had already ended.
  bool EndLocked(DWORD exit_code) WCE_REQUIRES(mu_);

  bool IsWaitable() const override { return true; }
  bool IsSignalledLocked() const override WCE_REQUIRES(mu_) { return ended_; }

 private:
  Mutex& mu_;
  const std::shared_ptr<DeviceThread> record_;
  bool ended_ WCE_GUARDED_BY(mu_) = false;
  DWORD exit_code_ WCE_GUARDED_BY(mu_) = STILL_ACTIVE;
};

class Threads {
 public:
  // Threads are counted and paced by `scheduler`, refused when `faults` says so; event handles
  // go into `handles`. All three must outlive the component.
  Threads(Scheduler& scheduler, FaultPlan& faults, HandleTable& handles);
  // Terminates and joins what is still running.
  ~Threads();
  Threads(const Threads&) = delete;
  Threads& operator=(const Threads&) = delete;

  // A record for a host thread that becomes a device thread (see DeviceThreadScope): the
  // program's user-interface thread, the script driver, a test's thread. Thread-safe.
  std::shared_ptr<DeviceThread> NewRecord();

  // Starts `routine(parameter)` on a new device thread. Returns its thread object, or null with
  // *error set (ERROR_NOT_ENOUGH_MEMORY when the fault plan or the host refuses a thread). The
  // new thread counts as running from the moment this returns, so the virtual clock cannot jump
  // before it gets going. Thread-safe; takes the scheduler's mutex.
  std::shared_ptr<ThreadObject> Start(LPTHREAD_START_ROUTINE routine, void* parameter,
                                      DWORD* error);

  // Terminates the thread: its object is signalled at once with `exit_code`, and the thread
  // throws ThreadTerminated at its next layer call or inside the wait it is blocked in (it is
  // woken). What it opened stays open. A thread that has already ended keeps its exit code.
  // Terminating the calling thread itself throws ThreadTerminated at once.
  void Terminate(ThreadObject& thread, DWORD exit_code);

  // Device shutdown: terminates every CreateThread thread still running and joins it. A thread
  // inside a host call (a real read or write) finishes that call first. Call with no layer lock
  // held, from a thread that is not one of them.
  void TerminateAllAndJoin() WCE_EXCLUDES(workers_mu_);

  // Whether a thread made with Start is still running: neither ended nor terminated. Call with
  // no layer lock held.
  bool AnyRunning() WCE_EXCLUDES(workers_mu_);

  // The named events of this process.
  EventRegistry& events() { return events_; }

 private:
  struct Worker {
    std::shared_ptr<ThreadObject> object;
    std::thread host;
    std::atomic<bool> finished{false};  // set as the host thread's last act
  };

  void Run(Worker& worker, LPTHREAD_START_ROUTINE routine, void* parameter);
  // Joins the host threads that have finished. Call with no layer lock held.
  void ReapFinished() WCE_EXCLUDES(workers_mu_);

  Scheduler& scheduler_;
  FaultPlan& faults_;
  EventRegistry events_;
  std::atomic<std::uint32_t> next_id_{0};
  Mutex workers_mu_;  // never held while taking the scheduler's mutex
  std::list<std::unique_ptr<Worker>> workers_ WCE_GUARDED_BY(workers_mu_);
};

}  // namespace wce

#endif  // WINCE_KERNEL_THREADS_H_
