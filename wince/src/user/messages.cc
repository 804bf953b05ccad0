// Posting, sending and retrieving messages; timers.
//
// A message sent to a window of another thread waits in that thread's queue until the thread
// retrieves messages (GetMessageW, PeekMessageW, a modal loop) or itself waits in SendMessageW;
// the sender blocks in a scheduler wait meanwhile, so a virtual clock can still jump when both
// are blocked for good reasons.
#include <algorithm>

#include "user/window_manager.h"

namespace wce {
namespace {

constexpr DWORD kErrorInvalidThreadId = 1444;
constexpr UINT kMinimumTimerMs = 10;  // shorter periods are raised to this, as on the platform

// Calls a window's procedure: its class's handler when the window carries ClassHandledProc.
LRESULT Invoke(WNDPROC proc, const WindowClass& cls, HWND hwnd, UINT message, WPARAM wparam,
               LPARAM lparam) {
  if (proc == &ClassHandledProc && cls.handler) return cls.handler(hwnd, message, wparam, lparam);
  return proc(hwnd, message, wparam, lparam);
}

}  // namespace

LRESULT WindowManager::CallProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC proc;
  std::shared_ptr<const WindowClass> cls;
  {
    MutexLock lock(mu_);
    const Window* w = FindLocked(hwnd);
    if (w == nullptr || w->proc == nullptr) return 0;
    proc = w->proc;
    cls = w->window_class;
  }
  return Invoke(proc, *cls, hwnd, message, wparam, lparam);
}

void WindowManager::RunSentLocked(UniqueLock& lock, ThreadQueue& queue) {
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
    sent->result = CallProc(sent->hwnd, sent->message, sent->wparam, sent->lparam);
  }
}

MessageFilter WindowManager::MakeFilterLocked(HWND hwnd, UINT min, UINT max) const {
  MessageFilter filter;
  filter.hwnd = hwnd;
  filter.min = min;
  filter.max = max;
  if (hwnd != nullptr) {
    filter.accepts_window = [this, hwnd](HWND target) { return IsAncestorLocked(hwnd, target); };
  }
  return filter;
}

bool WindowManager::RetrieveLocked(UniqueLock& lock, MSG* msg, const MessageFilter& filter,
                                   bool remove, bool wait, const std::function<bool()>& stop) {
  auto queue = CurrentQueueLocked();
  if (!queue) return false;
  Scheduler& scheduler = scheduler_;
  const std::function<bool()> ready = [&] {
    return queue->closed() || queue->has_sent() ||
           queue->HasRetrievable(filter, scheduler.NowLocked()) || (stop && stop());
  };
  for (;;) {
    RunSentLocked(lock, *queue);
    if (stop && stop()) return false;
    if (auto taken = queue->Take(filter, remove, scheduler.NowLocked())) {
      *msg = *taken;
      return true;
    }
    if (!wait || queue->closed()) return false;
    const std::uint64_t next_timer = queue->NextTimerDueAfter(scheduler.NowLocked(), &filter);
    queue->BeginInputWait(&ready);
    scheduler.NotifyAll();  // automation waits for this thread to wait for input
    try {
      scheduler.Wait(lock, ready, next_timer);
    } catch (...) {
      queue->EndInputWait();
      throw;
    }
    queue->EndInputWait();
  }
}

BOOL WindowManager::GetMessage(MSG* msg, HWND hwnd, UINT min, UINT max) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  UniqueLock lock(mu_);
  if (hwnd != nullptr && hwnd != reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)) &&
      FindLocked(hwnd) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  if (!CurrentQueueLocked()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  if (!RetrieveLocked(lock, msg, MakeFilterLocked(hwnd, min, max), /*remove=*/true,
                      /*wait=*/true, nullptr)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WindowManager::PeekMessage(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  UniqueLock lock(mu_);
  return RetrieveLocked(lock, msg, MakeFilterLocked(hwnd, min, max), (remove & PM_REMOVE) != 0,
                        /*wait=*/false, nullptr)
             ? TRUE
             : FALSE;
}

LRESULT WindowManager::DispatchMessage(const MSG* msg) {
  if (msg == nullptr) return 0;
  if (msg->message == WM_TIMER && msg->lParam != 0) {
    auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
    DWORD now;
    {
      MutexLock lock(mu_);
      auto queue = CurrentQueueLocked();
      // Only a procedure this thread set a timer with is called: a forged lParam is not code.
      if (!queue || !queue->HasTimerProc(proc)) return 0;
      now = static_cast<DWORD>(scheduler_.NowLocked());
    }
    proc(msg->hwnd, WM_TIMER, msg->wParam, now);
    return 0;
  }
  if (msg->hwnd == nullptr) return 0;
  return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WindowManager::PostQuitMessage(int exit_code) {
  MutexLock lock(mu_);
  if (auto queue = CurrentQueueLocked()) {
    queue->PostQuit(exit_code);
    scheduler_.NotifyAll();
  }
}

BOOL WindowManager::PostMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MutexLock lock(mu_);
  std::shared_ptr<ThreadQueue> queue;
  if (hwnd == nullptr) {
    queue = CurrentQueueLocked();
  } else if (const Window* w = FindLocked(hwnd)) {
    queue = w->queue.lock();
  } else if (ProxyLocked(hwnd) != nullptr) {
    SetLastError(ERROR_NOT_SUPPORTED);  // only sends cross to other programs
    return FALSE;
  } else {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!queue || queue->closed()) {
    SetLastError(hwnd ? ERROR_INVALID_WINDOW_HANDLE : kErrorInvalidThreadId);
    return FALSE;
  }
  MSG msg{hwnd, message, wparam, lparam, static_cast<DWORD>(scheduler_.NowLocked()), {}};
  queue->Post(msg, QS_POSTMESSAGE);
  scheduler_.NotifyAll();
  return TRUE;
}

BOOL WindowManager::PostThreadMessage(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  MutexLock lock(mu_);
  auto it = queues_.find(thread_id);
  auto queue = it == queues_.end() ? nullptr : it->second.lock();
  if (!queue || queue->closed()) {
    SetLastError(kErrorInvalidThreadId);
    return FALSE;
  }
  MSG msg{nullptr, message, wparam, lparam, static_cast<DWORD>(scheduler_.NowLocked()), {}};
  queue->Post(msg, QS_POSTMESSAGE);
  scheduler_.NotifyAll();
  return TRUE;
}

LRESULT WindowManager::SendMessage(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  UniqueLock lock(mu_);
  Window* w = FindLocked(hwnd);
  if (w == nullptr) {
    const RemoteWindow* remote = ProxyLocked(hwnd);
    if (remote == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    if (!CrossesProcesses(message, wparam, lparam)) {
      SetLastError(ERROR_INVALID_PARAMETER);  // an address of ours means nothing over there
      return 0;
    }
    RemoteWindow copy = *remote;
    lock.unlock();
    LRESULT result = 0;
    if (others_ != nullptr) others_->SendRemote(copy, message, wparam, lparam, &result);
    return result;
  }
  auto target = w->queue.lock();
  if (!target || target->closed()) return 0;
  auto self = CurrentQueueLocked();
  if (self == target) {
    WNDPROC proc = w->proc;
    std::shared_ptr<const WindowClass> cls = w->window_class;
    lock.unlock();
    return proc ? Invoke(proc, *cls, hwnd, message, wparam, lparam) : 0;
  }

  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = hwnd;
  sent->message = message;
  sent->wparam = wparam;
  sent->lparam = lparam;
  target->PushSent(sent);
  Scheduler& scheduler = scheduler_;
  scheduler.NotifyAll();
  // While waiting, messages sent to this thread are handled (two threads may send to each
  // other). A sender terminated here unwinds; the receiver still fills in `sent`.
  const std::function<bool()> ready = [&] {
    return sent->done || target->closed() || (self && self->has_sent());
  };
  for (;;) {
    scheduler.Wait(lock, ready);
    if (sent->done) return sent->result;
    if (target->closed()) return 0;
    RunSentLocked(lock, *self);
  }
}

UINT_PTR WindowManager::SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
  MutexLock lock(mu_);
  std::shared_ptr<ThreadQueue> queue;
  if (hwnd == nullptr) {
    queue = CurrentQueueLocked();
    id = next_timer_id_++;  // thread timers always get a fresh identifier
  } else if (const Window* w = FindLocked(hwnd)) {
    // Only the window's own thread may give it a timer: the owner takes its next timer deadline
    // before it waits, so a timer set from elsewhere meanwhile would never wake it.
    if (!SameThreadLocked(*w)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    queue = w->queue.lock();
  } else {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!queue || queue->closed()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
  }
  ThreadQueue::Timer timer;
  timer.hwnd = hwnd;
  timer.id = id;
  timer.elapse_ms = std::max(elapse_ms, kMinimumTimerMs);
  timer.proc = proc;
  timer.due_ms = scheduler_.NowLocked() + timer.elapse_ms;
  queue->SetTimer(timer);
  // A window timer answers its own id; 0 would read as failure, so an id of 0 answers 1.
  return hwnd == nullptr ? id : (id != 0 ? id : 1);
}

BOOL WindowManager::KillTimer(HWND hwnd, UINT_PTR id) {
  MutexLock lock(mu_);
  std::shared_ptr<ThreadQueue> queue;
  if (hwnd == nullptr) {
    queue = CurrentQueueLocked();
  } else if (const Window* w = FindLocked(hwnd)) {
    if (!SameThreadLocked(*w)) {  // as for SetTimer: only the window's own thread
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    queue = w->queue.lock();
  } else {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!queue || !queue->KillTimer(hwnd, id)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

}  // namespace wce
