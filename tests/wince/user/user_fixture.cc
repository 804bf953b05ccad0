#include "user_fixture.h"

#include <algorithm>

namespace kepla_test {

std::mutex UserTest::log_mu_;
std::vector<Received> UserTest::log_;
std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool*)> UserTest::on_message;

void UserTest::SetUp() {
  {
    std::lock_guard<std::mutex> lock(log_mu_);
    log_.clear();
  }
  on_message = nullptr;
  Boot();
  guard_.emplace();
  WNDCLASSW wc{};
  wc.lpfnWndProc = &RecordingProc;
  wc.lpszClassName = u"Recorder";
  ASSERT_NE(RegisterClassW(&wc), 0);
}

void UserTest::TearDown() {
  guard_.reset();
  on_message = nullptr;
}

HWND UserTest::MakeWindow(HWND parent, int id, LPVOID param) {
  const DWORD style = WS_VISIBLE | (parent ? WS_CHILD : 0);
  return CreateWindowExW(0, u"Recorder", u"recorder", style, parent ? 10 : CW_USEDEFAULT,
                         parent ? 20 : CW_USEDEFAULT, parent ? 50 : CW_USEDEFAULT,
                         parent ? 30 : CW_USEDEFAULT, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, param);
}

std::vector<Received> UserTest::Log() {
  std::lock_guard<std::mutex> lock(log_mu_);
  return log_;
}

std::vector<UINT> UserTest::Messages(HWND hwnd) {
  std::vector<UINT> messages;
  for (const Received& r : Log()) {
    if (r.hwnd == hwnd) messages.push_back(r.message);
  }
  return messages;
}

int UserTest::Count(HWND hwnd, UINT message) {
  auto messages = Messages(hwnd);
  return static_cast<int>(std::count(messages.begin(), messages.end(), message));
}

bool UserTest::WaitUntil(const std::function<bool()>& ready, std::uint32_t device_ms) {
  wce::Scheduler& scheduler = device().scheduler();
  wce::UniqueLock lock(scheduler.mutex());
  return scheduler.Wait(lock, ready, scheduler.DeadlineAfterLocked(device_ms));
}

LRESULT CALLBACK UserTest::RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  {
    std::lock_guard<std::mutex> lock(log_mu_);
    log_.push_back(Received{hwnd, message, wparam, lparam, GetCurrentThreadId()});
  }
  if (on_message) {
    bool handled = false;
    LRESULT result = on_message(hwnd, message, wparam, lparam, &handled);
    if (handled) return result;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace kepla_test
