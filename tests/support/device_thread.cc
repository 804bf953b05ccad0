#include "support/device_thread.h"

#include <cstdio>
#include <cstdlib>
#include <future>

#include <gtest/gtest.h>

#include "system/device.h"
#include "kernel/threads.h"

namespace kepla_test {

DeviceThreadGuard::DeviceThreadGuard(std::chrono::milliseconds limit) {
  wce::Device& device = wce::Device::Get();
  record_ = device.threads().NewRecord();
  scope_.emplace(device.scheduler(), record_);
  watchdog_ = std::thread([this, limit] {
    std::unique_lock<std::mutex> lock(mu_);
    if (cv_.wait_for(lock, limit, [this] { return done_; })) return;
    ADD_FAILURE() << "the test did not finish within " << limit.count() << " ms of real time";
    wce::Scheduler& scheduler = wce::Device::Get().scheduler();
    wce::MutexLock device_lock(scheduler.mutex());
    record_->MarkTerminated();
    scheduler.NotifyAll();
  });
}

DeviceThreadGuard::~DeviceThreadGuard() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    done_ = true;
  }
  cv_.notify_all();
  watchdog_.join();
  scope_.reset();
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
