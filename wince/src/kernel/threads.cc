#include "kernel/threads.h"

#include <system_error>
#include <vector>

#include "system/device.h"
#include "model/faults.h"

namespace wce {

bool ThreadObject::EndLocked(DWORD exit_code) {
  if (ended_) return false;
  ended_ = true;
  exit_code_ = exit_code;
  return true;
}

Threads::Threads(Device& device) : device_(device), events_(device.scheduler()) {}

Threads::~Threads() { TerminateAllAndJoin(); }

std::shared_ptr<DeviceThread> Threads::NewRecord() {
  return std::make_shared<DeviceThread>(++next_id_);
}

std::shared_ptr<ThreadObject> Threads::Start(LPTHREAD_START_ROUTINE routine, void* parameter,
                                             DWORD* error) {
  ReapFinished();
  if (device_.faults().TakeThreadCreateFailure()) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  std::shared_ptr<DeviceThread> record = NewRecord();
  auto object = std::make_shared<ThreadObject>(record);
  auto worker = std::make_unique<Worker>();
  worker->object = object;
  Worker& w = *worker;

  // Counted as running until the new thread has registered itself (Run drops this count).
  Scheduler& scheduler = device_.scheduler();
  scheduler.AddDeviceThread();
  bool started = true;
  {
    MutexLock lock(workers_mu_);
    try {
      w.host = std::thread([this, &w, record, routine, parameter] {
        {
          DeviceThreadScope scope(device_.scheduler(), record);
          device_.scheduler().RemoveDeviceThread();
          Run(w, routine, parameter);
        }
        w.finished.store(true, std::memory_order_release);
      });
      workers_.push_back(std::move(worker));
    } catch (const std::system_error&) {
      started = false;
    }
  }
  if (!started) {
    scheduler.RemoveDeviceThread();
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  return object;
}

void Threads::Run(Worker& worker, LPTHREAD_START_ROUTINE routine, void* parameter) {
  DWORD code = 0;
  try {
    ThreadGate();
    code = routine(parameter);
  } catch (const ThreadTerminated&) {
    // Terminate() has already ended the thread object with its exit code.
  }
  Scheduler& scheduler = device_.scheduler();
  MutexLock lock(scheduler.mutex());
  worker.object->EndLocked(code);
  scheduler.NotifyAll();
}

void Threads::Terminate(ThreadObject& thread, DWORD exit_code) {
  {
    Scheduler& scheduler = device_.scheduler();
    MutexLock lock(scheduler.mutex());
    if (!thread.EndLocked(exit_code)) return;
    // Marked under the lock, so a thread about to wait either sees the mark or gets the wake-up.
    thread.record().MarkTerminated();
    scheduler.NotifyAll();
  }
  ThreadGate();
}

void Threads::TerminateAllAndJoin() {
  for (;;) {
    std::list<std::unique_ptr<Worker>> all;
    {
      MutexLock lock(workers_mu_);
      all.swap(workers_);
    }
    if (all.empty()) return;
    {
      Scheduler& scheduler = device_.scheduler();
      MutexLock lock(scheduler.mutex());
      for (const auto& worker : all) {
        worker->object->EndLocked(0xFFFFFFFF);
        worker->object->record().MarkTerminated();
      }
      scheduler.NotifyAll();
    }
    // A dying thread may have started another one meanwhile: go round again.
    for (const auto& worker : all) worker->host.join();
  }
}

bool Threads::AnyRunning() {
  std::vector<std::shared_ptr<ThreadObject>> objects;
  {
    MutexLock lock(workers_mu_);
    for (const auto& worker : workers_) objects.push_back(worker->object);
  }
  MutexLock lock(device_.scheduler().mutex());
  for (const auto& object : objects) {
    if (!object->ended_locked()) return true;
  }
  return false;
}

void Threads::ReapFinished() {
  std::list<std::unique_ptr<Worker>> done;
  {
    MutexLock lock(workers_mu_);
    for (auto it = workers_.begin(); it != workers_.end();) {
      auto next = std::next(it);
      if ((*it)->finished.load(std::memory_order_acquire)) done.splice(done.end(), workers_, it);
      it = next;
    }
  }
  for (const auto& worker : done) worker->host.join();
}

}  // namespace wce
