// A booted device whose test thread is a device thread (with a real-time watchdog), and a window
// class whose procedure records what it receives.
#ifndef KEPLA_TESTS_WINCE_USER_USER_FIXTURE_H_
#define KEPLA_TESTS_WINCE_USER_USER_FIXTURE_H_

#include <windows.h>

#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "support/device_fixture.h"
#include "support/device_thread.h"
#include "system/device.h"
#include "user/window_system.h"

namespace kepla_test {

struct Received {
  HWND hwnd;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
  DWORD thread_id;
};

class UserTest : public DeviceFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  const wce::ScreenView& wm() { return device().windows().view(); }
  wce::MessageQueues& queues() { return device().windows().queues(); }
  wce::Mutex& device_mutex() { return device().scheduler().mutex(); }

  // A visible top-level window of the recording class ("Recorder"), or a child of `parent`.
  HWND MakeWindow(HWND parent = nullptr, int id = 0, LPVOID param = nullptr);

  // What the recording procedure has received, in order (any thread).
  static std::vector<Received> Log();
  static std::vector<UINT> Messages(HWND hwnd);
  static int Count(HWND hwnd, UINT message);

  // Called by the recording procedure for every message before it records and falls back to
  // DefWindowProcW; set *handled to answer the message yourself. Reset for each test.
  static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM, bool* handled)> on_message;

  // Blocks the calling device thread until `ready` holds (checked under the device lock) or
  // `device_ms` of device time pass; false on time-out.
  bool WaitUntil(const std::function<bool()>& ready, std::uint32_t device_ms = 60000);

 private:
  static LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  static std::mutex log_mu_;
  static std::vector<Received> log_;
  std::optional<DeviceThreadGuard> guard_;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_WINCE_USER_USER_FIXTURE_H_
