// The message queue of one device thread: posted and input messages, messages sent by other
// threads that wait for the reply, the thread's timers and its quit request.
//
// A queue is owned by its thread's DeviceThread record (DeviceThread::queue); windows and senders
// refer to it weakly. Everything here is guarded by the scheduler's mutex; this class never waits
// and never calls out: MessageQueues decides when to wait and which procedure to call.
#ifndef WINCE_USER_THREAD_QUEUE_H_
#define WINCE_USER_THREAD_QUEUE_H_

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <windows.h>

namespace wce {

// A message sent from another thread. The sender keeps a reference while it waits; a sender
// that is terminated stops waiting, and the receiver then fills in a reply nobody reads.
struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
  LRESULT result = 0;
  bool done = false;
};

// Which messages a retrieval accepts (GetMessage/PeekMessage filters).
struct MessageFilter {
  // nullptr: any message of the thread; (HWND)-1: thread messages only; otherwise messages for
  // this window or its descendants (`accepts_window` decides, supplied by MessageQueues).
  HWND hwnd = nullptr;
  UINT min = 0;
  UINT max = 0;
  std::function<bool(HWND)> accepts_window;

  bool AcceptsMessage(UINT message) const;
  bool AcceptsTarget(HWND target) const;
};

class ThreadQueue {
 public:
  struct Timer {
    HWND hwnd = nullptr;  // null for a thread timer
    UINT_PTR id = 0;
    std::uint32_t elapse_ms = 0;
    TIMERPROC proc = nullptr;
    std::uint64_t due_ms = 0;
    bool seen = false;  // already looked at by GetMessage/PeekMessage while due
  };

  explicit ThreadQueue(std::uint32_t thread_id) : thread_id_(thread_id) {}

  std::uint32_t thread_id() const { return thread_id_; }
  // Closed when the thread has ended: nothing more is delivered, senders give up.
  bool closed() const { return closed_; }
  void Close();

  // --- Posting. `qs` is the QS_ class of the message (QS_POSTMESSAGE, or QS_KEY for input).
  void Post(const MSG& msg, std::uint32_t qs);
  void PostQuit(int exit_code);
  // Removes posted messages addressed to `hwnd` (the window is being destroyed).
  void PurgeWindow(HWND hwnd);

  // --- Sent messages from other threads, oldest first.
  void PushSent(std::shared_ptr<SentMessage> sent);
  bool has_sent() const { return !sent_.empty(); }
  std::shared_ptr<SentMessage> PopSent();

  // --- Timers. Set replaces a timer with the same (hwnd, id).
  void SetTimer(const Timer& timer);
  bool KillTimer(HWND hwnd, UINT_PTR id);
  void KillWindowTimers(HWND hwnd);
  bool HasTimerProc(TIMERPROC proc) const;
  // The earliest due time after `now_ms` of a timer the filter accepts (any timer with a null
  // filter); UINT64_MAX if none. A retrieval or MsgWait blocks no longer than that.
  std::uint64_t NextTimerDueAfter(std::uint64_t now_ms, const MessageFilter* filter) const;

  // --- Retrieval. Marks everything now in the queue as seen (old input for MsgWait), then takes
  // the first acceptable message: posted and input messages in arrival order, then WM_QUIT, then
  // a due timer (as WM_TIMER with the procedure in lParam). With `remove` false the message
  // stays. Sent messages are not retrieved here (MessageQueues runs them first).
  std::optional<MSG> Take(const MessageFilter& filter, bool remove, std::uint64_t now_ms);
  // Whether Take would find something acceptable at `now_ms`.
  bool HasRetrievable(const MessageFilter& filter, std::uint64_t now_ms) const;

  // --- Wake-up rules of MsgWaitForMultipleObjectsEx.
  // QS_ bits of input that arrived since the last retrieval, timers included once due.
  std::uint32_t NewInput(std::uint64_t now_ms) const;
  // QS_ bits of everything in the queue, seen or not (MWMO_INPUTAVAILABLE).
  std::uint32_t AllInput(std::uint64_t now_ms) const;

  // --- "Waiting for input": the thread is blocked in a retrieval that input could end.
  // `ready` is the predicate of that wait; it stays owned by the waiting thread. Whoever begins
  // an input wait must wake the scheduler's waiters: some wait for exactly this.
  void BeginInputWait(const std::function<bool()>* ready) { input_wait_ = ready; }
  void EndInputWait() { input_wait_ = nullptr; }
  bool IsWaitingForInput() const { return input_wait_ != nullptr && !(*input_wait_)(); }

 private:
  struct Posted {
    MSG msg;
    std::uint32_t qs;
  };
  static bool Due(const Timer& t, std::uint64_t now_ms) { return t.due_ms <= now_ms; }

  const std::uint32_t thread_id_;
  bool closed_ = false;
  std::deque<Posted> posted_;
  std::deque<std::shared_ptr<SentMessage>> sent_;
  std::vector<Timer> timers_;
  bool quit_ = false;
  int quit_code_ = 0;
  std::uint32_t new_bits_ = 0;  // QS_ classes that arrived since the last retrieval
  const std::function<bool()>* input_wait_ = nullptr;
};

}  // namespace wce

#endif  // WINCE_USER_THREAD_QUEUE_H_
