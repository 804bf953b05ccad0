#include "kernel/threads.h"

#include <system_error>
#include <vector>

#include "model/faults.h"

namespace wce {

bool ThreadObject::EndLocked(DWORD exit_code) {
  if (ended_) return false;
  ended_ = true;
  exit_code_ = exit_code;
  return true;
}

Threads::Threads(Scheduler& scheduler, FaultPlan& faults, HandleTable& handles)
    : scheduler_(scheduler), faults_(faults), events_(scheduler, handles) {}

Threads::~Threads() { TerminateAllAndJoin(); }

std::shared_ptr<DeviceThread> Threads::NewRecord() {
  return std::make_shared<DeviceThread>(++next_id_);
}

std::shared_ptr<ThreadObject> Threads::Start(LPTHREAD_START_ROUTINE routine, void* parameter,
                                             DWORD* error) {
  ReapFinished();
  if (faults_.TakeThreadCreateFailure()) {
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  std::shared_ptr<DeviceThread> record = NewRecord();
  record->set_role(DeviceThread::Role::kWorker);
  auto object = std::make_shared<ThreadObject>(scheduler_.mutex(), record);
  auto worker = std::make_unique<Worker>();
  worker->object = object;
  Worker& w = *worker;

  // Counted as running until the new thread has registered itself (Run drops this count).
  scheduler_.AddDeviceThread();
  bool started = true;
  {
    MutexLock lock(workers_mu_);
    try {
      w.host = std::thread([this, &w, record, routine, parameter] {
        {
          DeviceThreadScope scope(scheduler_, record);
          scheduler_.RemoveDeviceThread();
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
    scheduler_.RemoveDeviceThread();
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
  MutexLock lock(scheduler_.mutex());
  worker.object->mutex().AssertHeld();
  worker.object->EndLocked(code);
  scheduler_.NotifyAll();
}

void Threads::Terminate(ThreadObject& thread, DWORD exit_code) {
  {
    MutexLock lock(scheduler_.mutex());
    thread.mutex().AssertHeld();
    if (!thread.EndLocked(exit_code)) return;
    // Marked under the lock, so a thread about to wait either sees the mark or gets the wake-up.
    thread.record().MarkTerminated();
    scheduler_.NotifyAll();
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
      MutexLock lock(scheduler_.mutex());
      for (const auto& worker : all) {
        worker->object->mutex().AssertHeld();
        worker->object->EndLocked(0xFFFFFFFF);
        worker->object->record().MarkTerminated();
      }
      scheduler_.NotifyAll();
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
  MutexLock lock(scheduler_.mutex());
  for (const auto& object : objects) {
    object->mutex().AssertHeld();
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
