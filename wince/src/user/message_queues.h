// Message queues and dispatch: the queue of each device thread, posting, sending (to a window of
// this thread, of another thread, or of another program), retrieving, dispatching, and the wait
// that input also ends.
//
// A message sent to a window of another thread waits in that thread's queue until the thread
// retrieves messages (a retrieval, a modal loop) or itself waits in a send; the sender blocks in
// a scheduler wait meanwhile, so a virtual clock can still jump when both are blocked for good
// reasons. Message queues exist only for device threads (created on first use); a host thread
// that is no device thread may send messages but cannot own windows or retrieve messages.
//
// Locking: state is guarded by the device lock (the scheduler's mutex). ...Locked methods need it
// held; the others take it and must be called without it. No procedure is ever called with the
// lock held, and neither is another program.
#ifndef WINCE_USER_MESSAGE_QUEUES_H_
#define WINCE_USER_MESSAGE_QUEUES_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>

#include <windows.h>

#include "host/mutex.h"
#include "kernel/handles.h"
#include "model/scheduler.h"
#include "user/result.h"
#include "user/thread_queue.h"
#include "user/upper_floors.h"
#include "user/user_input.h"
#include "user/window_table.h"

namespace wce {

class MessageQueues final : public IncomingMessages, public UserInput {
 public:
  // `handles` resolves the kernel objects a message wait also waits on.
  MessageQueues(Scheduler& scheduler, const HandleTable& handles, WindowTable& table,
                const UpperFloors& floors);
  MessageQueues(const MessageQueues&) = delete;
  MessageQueues& operator=(const MessageQueues&) = delete;

  Mutex& mutex() const WCE_RETURN_CAPABILITY(mu_) { return mu_; }

  // The calling thread's queue, created on first use; null on a host thread.
  std::shared_ptr<ThreadQueue> CurrentLocked() WCE_REQUIRES(mu_);
  // Whether the calling thread owns `w`.
  bool IsCallerThreadOfLocked(const Window& w) WCE_REQUIRES(mu_);

  // Calls the window's procedure with no lock held (0 when it is gone).
  LRESULT Call(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  // Sends and waits for the reply: on this thread the procedure is called directly; on another
  // thread the caller waits (running messages sent to itself meanwhile); to another program's
  // window only messages that CrossesProcesses go. ERROR_INVALID_WINDOW_HANDLE for no window,
  // ERROR_INVALID_PARAMETER for a message that may not cross.
  Result<LRESULT> Send(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  std::optional<LRESULT> Deliver(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) override;
  // To a window's thread, or to the caller's own thread with a null `hwnd`.
  // ERROR_INVALID_WINDOW_HANDLE, ERROR_NOT_SUPPORTED (another program's window), or the
  // invalid-thread error when the caller has no queue.
  DWORD Post(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  DWORD PostToThread(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam);
  bool PostInputLocked(HWND target, UINT message, WPARAM wparam, LPARAM lparam)
      WCE_REQUIRES(mu_) override;
  void PostQuit(int exit_code);

  // Waits for a message: TRUE, FALSE for WM_QUIT, -1 with the error.
  Result<BOOL> Get(MSG* msg, HWND hwnd, UINT min, UINT max);
  Result<BOOL> Peek(MSG* msg, HWND hwnd, UINT min, UINT max, UINT remove);
  LRESULT Dispatch(const MSG* msg);
  // Runs the sent messages first, then takes a message the filter accepts. With `wait`, blocks
  // until there is one (or stop() holds), running sent messages as they arrive. False when
  // nothing was taken (also on a host thread).
  bool RetrieveLocked(UniqueLock& lock, MSG* msg, const MessageFilter& filter, bool remove,
                      bool wait, const std::function<bool()>& stop) WCE_REQUIRES(mu_);

  // A kernel wait that new input also ends (msg_wait.cc): WAIT_OBJECT_0 + i, WAIT_OBJECT_0 +
  // count for input, WAIT_TIMEOUT, or WAIT_FAILED with the error.
  Result<DWORD> WaitForObjectsOrInput(DWORD count, const HANDLE* handles, DWORD timeout_ms,
                                      DWORD wake_mask, DWORD flags);

  // True while `thread` is blocked in a retrieval, a modal loop, or a wait with input or posted
  // messages in its mask, and has nothing to retrieve.
  bool IsWaitingForInputLocked(const DeviceThread* thread) const WCE_REQUIRES(mu_);
  bool IsThreadWaitingForInputLocked(std::uint32_t thread_id) const WCE_REQUIRES(mu_);
  // The thread's queue, if it has a live one.
  std::shared_ptr<ThreadQueue> OfThreadLocked(std::uint32_t thread_id) const WCE_REQUIRES(mu_);

  // A device thread is ending: closes its queue and releases senders waiting on it. Returns the
  // closed queue (null if it had none).
  std::shared_ptr<ThreadQueue> CloseLocked(DeviceThread& thread) WCE_REQUIRES(mu_);

 private:
  // Runs the sent messages waiting in `queue` (unlocks around each procedure).
  // (The analysis cannot follow a caller's lock released and taken again through `lock`.)
  void RunSentLocked(UniqueLock& lock, ThreadQueue& queue)
      WCE_REQUIRES(mu_) WCE_NO_THREAD_SAFETY_ANALYSIS;
  MessageFilter MakeFilterLocked(HWND hwnd, UINT min, UINT max) const WCE_REQUIRES(mu_);

  Scheduler& scheduler_;
  const HandleTable& handles_;
  Mutex& mu_;
  WindowTable& table_;
  const UpperFloors& floors_;
  std::unordered_map<std::uint32_t, std::weak_ptr<ThreadQueue>> queues_
      WCE_GUARDED_BY(mu_);  // by thread id
};

}  // namespace wce

#endif  // WINCE_USER_MESSAGE_QUEUES_H_
