// A simulated device booted on a fresh device folder, for tests of the layer and the program.
//
//   class MyTest : public kepla_test::DeviceFixture {};
//   TEST_F(MyTest, Something) {
//     profile().battery_percent = 20;   // optional: adjust the profile first
//     Boot();                           // virtual clock unless the profile says otherwise
//     PutFile(u"\\Storage Card\\x.bin", "bytes");
//     ...
//   }
// The device is shut down and the folder removed when the test ends.
#ifndef KEPLA_TESTS_SUPPORT_DEVICE_FIXTURE_H_
#define KEPLA_TESTS_SUPPORT_DEVICE_FIXTURE_H_

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include <wince/host_device.h>
#include <wince/profile.h>
#include "support/scratch_dir.h"

namespace kepla_test {

class DeviceFixture : public ::testing::Test {
 protected:
  DeviceFixture();
  ~DeviceFixture() override;

  // The profile Boot() uses. Starts as the defaults with a virtual clock.
  wce::DeviceProfile& profile() { return profile_; }
  // Boots the device on folder() with profile(). Fails the test when the device cannot boot.
  void Boot();
  // Replaces profile() with `profile` (its clock included), then boots.
  void Boot(const wce::DeviceProfile& profile);
  // Shuts the device down (also done at the end of the test).
  void Shutdown();

  wce::HostDevice& host() { return *device_; }
  // The layer's own device, for the layer's unit tests (they include system/device.h).
  wce::Device& device() { return device_->internal(); }
  bool booted() const { return device_ != nullptr; }
  const std::filesystem::path& folder() const { return scratch_.path(); }

  // Where `device_path` lies on the host, by exact spelling ("\Storage Card\x" is the card's host
  // folder + "/x", anything else is under fs/).
  std::filesystem::path HostPath(std::u16string_view device_path) const;
  // Writes a host file at `device_path`, making its folders.
  void PutFile(std::u16string_view device_path, std::string_view bytes) const;
  // The content of the host file at `device_path` (empty when missing).
  std::string FileBytes(std::u16string_view device_path) const;

 private:
  ScratchDir scratch_;
  wce::DeviceProfile profile_;
  std::unique_ptr<wce::HostDevice> device_;
};

// Runs `body` on a new host thread that is a device thread of `device` (its waits count for the
// virtual clock). An exception escaping `body` fails the test.
class DeviceThreadRunner {
 public:
  DeviceThreadRunner(wce::HostDevice& device, std::function<void()> body);
  // The same, with the device as the layer's own tests hold it.
  DeviceThreadRunner(wce::Device& device, std::function<void()> body);
  // If the body is still running: marks its thread terminated (so its next layer call or its wait
  // unwinds) and joins it.
  ~DeviceThreadRunner();
  DeviceThreadRunner(const DeviceThreadRunner&) = delete;
  DeviceThreadRunner& operator=(const DeviceThreadRunner&) = delete;

  // Waits up to `timeout` of real time for the body to end; false when it has not.
  bool Join(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Marks the thread terminated and wakes it, as TerminateThread does.
  void Terminate();
  // True when the body ended by ThreadTerminated.
  bool terminated() const { return was_terminated_; }

 private:
  // Starts `body` on a thread of the booted device (the one both constructors name).
  void Start(std::function<void()> body);

  std::mutex mu_;
  wce::HostThread* self_ = nullptr;  // guarded by mu_; null once the body's thread has ended
  std::promise<void> done_;
  std::future<void> done_future_;
  bool was_terminated_ = false;
  std::thread thread_;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_DEVICE_FIXTURE_H_
