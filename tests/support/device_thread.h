// Device threads for tests: make the test's own thread a device thread of the booted device, with
// a real-time deadline that fails the test instead of letting it hang.
#ifndef KEPLA_TESTS_SUPPORT_DEVICE_THREAD_H_
#define KEPLA_TESTS_SUPPORT_DEVICE_THREAD_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <wince/host_device.h>
#include "support/device_fixture.h"

namespace kepla_test {

// For its lifetime the calling thread is a device thread of the booted device (so a virtual clock
// counts it), and a watchdog runs: if the guard still lives after `limit` of real time, the test
// fails and the thread is terminated, so that the layer wait it is stuck in throws
// the layer's termination exception (gtest reports it) instead of hanging. Make it after booting
// the device and destroy it before the device.
class DeviceThreadGuard {
 public:
  explicit DeviceThreadGuard(std::chrono::milliseconds limit = std::chrono::seconds(20));
  ~DeviceThreadGuard();
  DeviceThreadGuard(const DeviceThreadGuard&) = delete;
  DeviceThreadGuard& operator=(const DeviceThreadGuard&) = delete;

 private:
  std::optional<wce::HostThread> self_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool done_ = false;
  std::thread watchdog_;
};

// Runs `action` on a host thread and waits for it at most `limit` of real time. On time-out the
// test fails and the process aborts with a message (a stuck join cannot be undone): use it for
// steps such as joining device threads at shutdown, which no layer wait can break.
void FinishWithin(std::chrono::milliseconds limit, const std::function<void()>& action,
                  const char* what);

// A DeviceFixture whose test body runs as one of the device's threads, so that the body's own
// waits and sleeps count for the virtual clock: BootHere() boots profile() and makes the calling
// thread a device thread under a DeviceThreadGuard; TearDown ends that role and shuts the device
// down within a deadline.
class DeviceThreadTest : public DeviceFixture {
 protected:
  void BootHere(std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Ends the role of this thread, then shuts the device down (terminating and joining the threads
  // still running), aborting the run if that takes more than 20 s of real time. Idempotent.
  void ShutdownNow();
  void TearDown() override { ShutdownNow(); }

 private:
  std::optional<DeviceThreadGuard> guard_;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_DEVICE_THREAD_H_
