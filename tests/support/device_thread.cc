#include "support/device_thread.h"

#include <cstdio>
#include <cstdlib>
#include <future>

#include <gtest/gtest.h>

namespace kepla_test {

DeviceThreadGuard::DeviceThreadGuard(std::chrono::milliseconds limit) {
  self_.emplace();
  watchdog_ = std::thread([this, limit] {
    std::unique_lock<std::mutex> lock(mu_);
    if (cv_.wait_for(lock, limit, [this] { return done_; })) return;
    ADD_FAILURE() << "the test did not finish within " << limit.count() << " ms of real time";
    self_->Terminate();
  });
}

DeviceThreadGuard::~DeviceThreadGuard() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    done_ = true;
  }
  cv_.notify_all();
  watchdog_.join();
  self_.reset();
}

void FinishWithin(std::chrono::milliseconds limit, const std::function<void()>& action,
                  const char* what) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::thread worker([action, done] {
    action();
    done->set_value();
  });
  if (finished.wait_for(limit) != std::future_status::ready) {
    std::fprintf(stderr, "FATAL: %s did not finish within %lld ms of real time\n", what,
                 static_cast<long long>(limit.count()));
    std::abort();
  }
  worker.join();
}

void DeviceThreadTest::BootHere(std::chrono::milliseconds limit) {
  Boot();
  if (booted()) guard_.emplace(limit);
}

void DeviceThreadTest::ShutdownNow() {
  guard_.reset();
  if (booted())
    FinishWithin(
        std::chrono::seconds(20), [this] { Shutdown(); }, "device shutdown");
}

}  // namespace kepla_test
