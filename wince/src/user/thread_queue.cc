#include "user/thread_queue.h"

#include <algorithm>
#include <limits>

namespace wce {
namespace {
constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
}  // namespace

bool MessageFilter::AcceptsMessage(UINT message) const {
  if (min == 0 && max == 0) return true;
  return message >= min && message <= max;
}

bool MessageFilter::AcceptsTarget(HWND target) const {
  if (hwnd == nullptr) return true;
  if (hwnd == kThreadMessagesOnly) return target == nullptr;
  if (target == nullptr) return false;
  return accepts_window ? accepts_window(target) : target == hwnd;
}

void ThreadQueue::Close() {
  closed_ = true;
  for (auto& sent : sent_) sent->done = true;  // result stays 0
  sent_.clear();
  posted_.clear();
  timers_.clear();
  input_wait_ = nullptr;
}

void ThreadQueue::Post(const MSG& msg, std::uint32_t qs) {
  if (closed_) return;
  posted_.push_back(Posted{msg, qs});
  new_bits_ |= qs;
}

void ThreadQueue::PostQuit(int exit_code) {
  if (closed_) return;
  quit_ = true;
  quit_code_ = exit_code;
  new_bits_ |= QS_POSTMESSAGE;
}

void ThreadQueue::PurgeWindow(HWND hwnd) {
  std::erase_if(posted_, [hwnd](const Posted& p) { return p.msg.hwnd == hwnd; });
}

void ThreadQueue::PushSent(std::shared_ptr<SentMessage> sent) {
  if (closed_) {
    sent->done = true;
    return;
  }
  sent_.push_back(std::move(sent));
  new_bits_ |= QS_SENDMESSAGE;
}

std::shared_ptr<SentMessage> ThreadQueue::PopSent() {
  if (sent_.empty()) return nullptr;
  auto sent = std::move(sent_.front());
  sent_.pop_front();
  return sent;
}

void ThreadQueue::SetTimer(const Timer& timer) {
  KillTimer(timer.hwnd, timer.id);
  timers_.push_back(timer);
}

bool ThreadQueue::KillTimer(HWND hwnd, UINT_PTR id) {
  return std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; }) > 0;
}

void ThreadQueue::KillWindowTimers(HWND hwnd) {
  std::erase_if(timers_, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

bool ThreadQueue::HasTimerProc(TIMERPROC proc) const {
  return std::any_of(timers_.begin(), timers_.end(),
                     [proc](const Timer& t) { return t.proc == proc; });
}

std::uint64_t ThreadQueue::NextTimerDueAfter(std::uint64_t now_ms,
                                             const MessageFilter* filter) const {
  std::uint64_t next = kNever;
  for (const Timer& t : timers_) {
    if (t.due_ms <= now_ms) continue;
    if (filter && !(filter->AcceptsTarget(t.hwnd) && filter->AcceptsMessage(WM_TIMER))) continue;
    next = std::min(next, t.due_ms);
  }
  return next;
}

std::optional<MSG> ThreadQueue::Take(const MessageFilter& filter, bool remove,
                                     std::uint64_t now_ms) {
  // Whatever is in the queue now has been looked at: only later arrivals wake MsgWait.
  new_bits_ = 0;
  for (Timer& t : timers_) {
    if (Due(t, now_ms)) t.seen = true;
  }

  for (auto it = posted_.begin(); it != posted_.end(); ++it) {
    if (!filter.AcceptsTarget(it->msg.hwnd) || !filter.AcceptsMessage(it->msg.message)) continue;
    MSG msg = it->msg;
    if (remove) posted_.erase(it);
    return msg;
  }
  // WM_QUIT is retrieved whatever the filter says.
  if (quit_) {
    MSG msg{};
    msg.message = WM_QUIT;
    msg.wParam = static_cast<WPARAM>(quit_code_);
    msg.time = static_cast<DWORD>(now_ms);
    if (remove) quit_ = false;
    return msg;
  }
  Timer* due = nullptr;
  for (Timer& t : timers_) {
    if (!Due(t, now_ms) || !filter.AcceptsTarget(t.hwnd) || !filter.AcceptsMessage(WM_TIMER)) {
      continue;
    }
    if (due == nullptr || t.due_ms < due->due_ms) due = &t;
  }
  if (due != nullptr) {
    MSG msg{};
    msg.hwnd = due->hwnd;
    msg.message = WM_TIMER;
    msg.wParam = due->id;
    msg.lParam = reinterpret_cast<LPARAM>(due->proc);
    msg.time = static_cast<DWORD>(now_ms);
    if (remove) {
      // One pending WM_TIMER per timer: the next period starts when this one is taken.
      due->due_ms = now_ms + due->elapse_ms;
      due->seen = false;
    }
    return msg;
  }
  return std::nullopt;
}

bool ThreadQueue::HasRetrievable(const MessageFilter& filter, std::uint64_t now_ms) const {
  if (quit_) return true;
  for (const Posted& p : posted_) {
    if (filter.AcceptsTarget(p.msg.hwnd) && filter.AcceptsMessage(p.msg.message)) return true;
  }
  if (!filter.AcceptsMessage(WM_TIMER)) return false;
  return std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) {
    return Due(t, now_ms) && filter.AcceptsTarget(t.hwnd);
  });
}

std::uint32_t ThreadQueue::NewInput(std::uint64_t now_ms) const {
  std::uint32_t bits = new_bits_;
  for (const Timer& t : timers_) {
    if (Due(t, now_ms) && !t.seen) bits |= QS_TIMER;
  }
  return bits;
}

std::uint32_t ThreadQueue::AllInput(std::uint64_t now_ms) const {
  std::uint32_t bits = 0;
  for (const Posted& p : posted_) bits |= p.qs;
  if (quit_) bits |= QS_POSTMESSAGE;
  if (!sent_.empty()) bits |= QS_SENDMESSAGE;
  for (const Timer& t : timers_) {
    if (Due(t, now_ms)) bits |= QS_TIMER;
  }
  return bits;
}

}  // namespace wce
