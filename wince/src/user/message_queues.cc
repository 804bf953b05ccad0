#include "user/message_queues.h"

namespace wce {
namespace {

constexpr DWORD kErrorInvalidThreadId = 1444;

// Calls a window's procedure: its class's handler when the window carries ClassHandledProc.
LRESULT Invoke(WNDPROC proc, const WindowClass& cls, HWND hwnd, UINT message, WPARAM wparam,
               LPARAM lparam) {
  if (proc == &ClassHandledProc && cls.handler) return cls.handler(hwnd, message, wparam, lparam);
  return proc(hwnd, message, wparam, lparam);
}

}  // namespace

MessageQueues::MessageQueues(Scheduler& scheduler, const HandleTable& handles, WindowTable& table,
                             const UpperFloors& floors)
    : scheduler_(scheduler),
      handles_(handles),
      mu_(scheduler.mutex()),
      table_(table),
      floors_(floors) {}

std::shared_ptr<ThreadQueue> MessageQueues::CurrentLocked() {
  DeviceThread* self = DeviceThread::Current();
  if (self == nullptr) return nullptr;
  if (!self->queue || self->queue->closed()) {
    self->queue = std::make_shared<ThreadQueue>(self->id());
    queues_[self->id()] = self->queue;
  }
  return self->queue;
}

bool MessageQueues::IsCallerThreadOfLocked(const Window& w) {
  auto mine = CurrentLocked();
  return mine && w.queue.lock() == mine;
}

std::shared_ptr<ThreadQueue> MessageQueues::OfThreadLocked(std::uint32_t thread_id) const {
  auto it = queues_.find(thread_id);
  auto queue = it == queues_.end() ? nullptr : it->second.lock();
  return queue && !queue->closed() ? queue : nullptr;
}

std::shared_ptr<ThreadQueue> MessageQueues::CloseLocked(DeviceThread& thread) {
  std::shared_ptr<ThreadQueue> queue = std::move(thread.queue);
  if (!queue) return nullptr;
  queue->Close();
  auto registered = queues_.find(thread.id());
  if (registered != queues_.end() && registered->second.lock() == queue) {
    queues_.erase(registered);
  }
  return queue;
}

bool MessageQueues::IsWaitingForInputLocked(const DeviceThread* thread) const {
  return thread != nullptr && thread->queue && thread->queue->IsWaitingForInput();
}

bool MessageQueues::IsThreadWaitingForInputLocked(std::uint32_t thread_id) const {
  auto it = queues_.find(thread_id);
  if (it == queues_.end()) return false;
  auto queue = it->second.lock();
  return queue && queue->IsWaitingForInput();
}

LRESULT MessageQueues::Call(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc;
  std::shared_ptr<const WindowClass> cls;
  {
    MutexLock lock(mu_);
    scheduler_.mutex().AssertHeld();
    table_.mutex().AssertHeld();
    const Window* w = table_.FindLocked(hwnd);
    if (w == nullptr || w->proc == nullptr) return 0;
    proc = w->proc;
    cls = w->window_class;
  }
  return Invoke(proc, *cls, hwnd, message, wparam, lparam);
}

void MessageQueues::RunSentLocked(UniqueLock& lock, ThreadQueue& queue) {
  while (auto sent = queue.PopSent()) {
    // Whatever happens in the procedure, the sender gets a reply (0 if it unwinds).
    struct Reply {
      UniqueLock& lock;
      SentMessage& sent;
      Scheduler& scheduler;
      ~Reply() {
        if (!lock.owns_lock()) lock.lock();
        sent.done = true;
        scheduler.NotifyAll();
      }
    } reply{lock, *sent, scheduler_};
    lock.unlock();
    sent->result = Call(sent->hwnd, sent->message, sent->wparam, sent->lparam);
  }
}

MessageFilter MessageQueues::MakeFilterLocked(HWND hwnd, UINT min, UINT max) const {
  table_.mutex().AssertHeld();
  MessageFilter filter;
  filter.hwnd = hwnd;
  filter.min = min;
  filter.max = max;
  if (hwnd != nullptr) {
    filter.accepts_window = [this, hwnd](HWND target) {
      table_.mutex().AssertHeld();  // called by retrievals, under the lock
      return table_.IsAncestorLocked(hwnd, target);
    };
  }
  return filter;
}

bool MessageQueues::RetrieveLocked(UniqueLock& lock, MSG* msg, const MessageFilter& filter,
                                   bool remove, bool wait, const std::function<bool()>& stop) {
  scheduler_.mutex().AssertHeld();
  auto queue = CurrentLocked();
  if (!queue) return false;
  const std::function<bool()> ready = [&] {
    scheduler_.mutex().AssertHeld();
    return queue->closed() || queue->has_sent() ||
           queue->HasRetrievable(filter, scheduler_.NowLocked()) || (stop && stop());
  };
  for (;;) {
    RunSentLocked(lock, *queue);
    if (stop && stop()) return false;
    if (auto taken = queue->Take(filter, remove, scheduler_.NowLocked())) {
      *msg = *taken;
      return true;
    }
    if (!wait || queue->closed()) return false;
    const std::uint64_t next_timer = queue->NextTimerDueAfter(scheduler_.NowLocked(), &filter);
    queue->BeginInputWait(&ready);
    scheduler_.NotifyAll();  // automation waits for this thread to wait for input
    try {
      scheduler_.Wait(lock, ready, next_timer);
    } catch (...) {
      queue->EndInputWait();
      throw;
    }
    queue->EndInputWait();
  }
}

Result<BOOL> MessageQueues::Get(MSG* msg, HWND hwnd, UINT min, UINT max) {
  if (msg == nullptr) return {-1, ERROR_INVALID_PARAMETER};
  UniqueLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  table_.mutex().AssertHeld();
  if (hwnd != nullptr && hwnd != reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)) &&
      table_.FindLocked(hwnd) == nullptr) {
    return {-1, ERROR_INVALID_WINDOW_HANDLE};
  }
  if (!CurrentLocked()) return {-1, ERROR_ACCESS_DENIED};
  if (!RetrieveLocked(lock, msg, MakeFilterLocked(hwnd, min, max), /*remove=*/true,
                      /*wait=*/true, nullptr)) {
    return {-1, ERROR_ACCESS_DENIED};
  }
  return {msg->message == WM_QUIT ? FALSE : TRUE};
}

Result<BOOL> MessageQueues::Peek(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove) {
  if (msg == nullptr) return {FALSE, ERROR_INVALID_PARAMETER};
  UniqueLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  return {RetrieveLocked(lock, msg, MakeFilterLocked(hwnd, min, max), (remove & PM_REMOVE) != 0,
                         /*wait=*/false, nullptr)
              ? TRUE
              : FALSE};
}

LRESULT MessageQueues::Dispatch(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    DWORD now;
    {
      MutexLock lock(mu_);
      scheduler_.mutex().AssertHeld();
      auto queue = CurrentLocked();
      // Only a procedure this thread set a timer with is called: a forged lParam is not code.
      if (!queue || !queue->HasTimerProc(proc)) return 0;
      now = static_cast<DWORD>(scheduler_.NowLocked());
    }
    proc(msg->hwnd, WM_TIMER, msg->wParam, now);
    return 0;
  }
  if (msg->hwnd == nullptr) return 0;
  return Call(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void MessageQueues::PostQuit(int exit_code) {
  MutexLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  if (auto queue = CurrentLocked()) {
    queue->PostQuit(exit_code);
    scheduler_.NotifyAll();
  }
}

DWORD MessageQueues::Post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MutexLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  table_.mutex().AssertHeld();
  std::shared_ptr<ThreadQueue> queue;
  if (hwnd == nullptr) {
    queue = CurrentLocked();
  } else if (const Window* w = table_.FindLocked(hwnd)) {
    queue = w->queue.lock();
  } else if (table_.ProxyLocked(hwnd) != nullptr) {
    return ERROR_NOT_SUPPORTED;  // only sends cross to other programs
  } else {
    return ERROR_INVALID_WINDOW_HANDLE;
  }
  if (!queue || queue->closed()) {
    return hwnd ? ERROR_INVALID_WINDOW_HANDLE : kErrorInvalidThreadId;
  }
  MSG msg{hwnd, message, wparam, lparam, static_cast<DWORD>(scheduler_.NowLocked()), {}};
  queue->Post(msg, QS_POSTMESSAGE);
  scheduler_.NotifyAll();
  return ERROR_SUCCESS;
}

DWORD MessageQueues::PostToThread(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  MutexLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  auto queue = OfThreadLocked(thread_id);
  if (!queue) return kErrorInvalidThreadId;
  MSG msg{nullptr, message, wparam, lparam, static_cast<DWORD>(scheduler_.NowLocked()), {}};
  queue->Post(msg, QS_POSTMESSAGE);
  scheduler_.NotifyAll();
  return ERROR_SUCCESS;
}

bool MessageQueues::PostInputLocked(HWND target, UINT message, WPARAM wparam, LPARAM lparam) {
  table_.mutex().AssertHeld();
  scheduler_.mutex().AssertHeld();
  Window* w = table_.FindLocked(target);
  if (w == nullptr) return false;
  auto queue = w->queue.lock();
  if (!queue || queue->closed()) return false;
  MSG msg{target, message, wparam, lparam, static_cast<DWORD>(scheduler_.NowLocked()), {}};
  queue->Post(msg, QS_KEY);
  scheduler_.NotifyAll();
  return true;
}

std::optional<LRESULT> MessageQueues::Deliver(HWND hwnd, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  if (!CrossesProcesses(message, wparam, lparam)) return std::nullopt;
  {
    MutexLock lock(mu_);
    scheduler_.mutex().AssertHeld();
    table_.mutex().AssertHeld();
    if (table_.FindLocked(hwnd) == nullptr) return std::nullopt;
  }
  const Result<LRESULT> sent = Send(hwnd, message, wparam, lparam);
  if (sent.error != ERROR_SUCCESS) return std::nullopt;  // gone meanwhile
  return sent.value;
}

Result<LRESULT> MessageQueues::Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  UniqueLock lock(mu_);
  scheduler_.mutex().AssertHeld();
  table_.mutex().AssertHeld();
  Window* w = table_.FindLocked(hwnd);
  if (w == nullptr) {
    const RemoteWindow* remote = table_.ProxyLocked(hwnd);
    if (remote == nullptr) return {0, ERROR_INVALID_WINDOW_HANDLE};
    if (!CrossesProcesses(message, wparam, lparam)) {
      return {0, ERROR_INVALID_PARAMETER};  // an address of ours means nothing over there
    }
    RemoteWindow copy = *remote;
    lock.unlock();
    LRESULT result = 0;
    if (floors_.others != nullptr) {
      floors_.others->SendRemote(copy, message, wparam, lparam, &result);
    }
    return {result};
  }
  auto target = w->queue.lock();
  if (!target || target->closed()) return {0};
  auto self = CurrentLocked();
  if (self == target) {
    WNDPROC proc = w->proc;
    std::shared_ptr<const WindowClass> cls = w->window_class;
    lock.unlock();
    return {proc ? Invoke(proc, *cls, hwnd, message, wparam, lparam) : 0};
  }

  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = hwnd;
  sent->message = message;
  sent->wparam = wparam;
  sent->lparam = lparam;
  target->PushSent(sent);
  scheduler_.NotifyAll();
  // While waiting, messages sent to this thread are handled (two threads may send to each
  // other). A sender terminated here unwinds; the receiver still fills in `sent`.
  const std::function<bool()> ready = [&] {
    return sent->done || target->closed() || (self && self->has_sent());
  };
  for (;;) {
    scheduler_.Wait(lock, ready);
    if (sent->done) return {sent->result};
    if (target->closed()) return {0};
    RunSentLocked(lock, *self);
  }
}

}  // namespace wce
