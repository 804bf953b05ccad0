#include "support/device_fixture.h"

#include <fstream>
#include <sstream>

#include <wince/utf.h>

namespace kepla_test {

DeviceFixture::DeviceFixture() { profile_.clock = wce::ClockSpec{wce::ClockMode::kVirtual, 1.0}; }

DeviceFixture::~DeviceFixture() { Shutdown(); }

void DeviceFixture::Boot() {
  ASSERT_EQ(device_, nullptr) << "the device is already booted";
  wce::DeviceOptions options;
  options.folder = folder();
  options.profile = profile_;
  options.publish = false;
  std::string error;
  device_ = wce::HostDevice::Boot(options, &error);
  ASSERT_NE(device_, nullptr) << error;
}

void DeviceFixture::Boot(const wce::DeviceProfile& profile) {
  profile_ = profile;
  Boot();
}

void DeviceFixture::Shutdown() { device_.reset(); }

std::filesystem::path DeviceFixture::HostPath(std::u16string_view device_path) const {
  std::u16string rest(device_path);
  std::filesystem::path host = folder() / "fs";
  const auto& cards = device_ ? device_->profile().cards : profile_.cards;
  if (cards.empty()) {
    const std::u16string prefix = u"\\Storage Card";
    if (rest.starts_with(prefix) &&
        (rest.size() == prefix.size() || rest[prefix.size()] == u'\\')) {
      host /= "Storage Card";
      rest.erase(0, prefix.size());
    }
  }
  for (const wce::CardSpec& card : cards) {
    const std::u16string prefix = u"\\" + card.name;
    if (rest.starts_with(prefix) &&
        (rest.size() == prefix.size() || rest[prefix.size()] == u'\\')) {
      host = card.host.empty() ? folder() / "fs" / card.name : card.host;
      rest.erase(0, prefix.size());
      break;
    }
  }
  std::size_t start = 0;
  while (start < rest.size()) {
    std::size_t end = rest.find(u'\\', start);
    if (end == std::u16string::npos) end = rest.size();
    if (end > start) host /= wce::Utf16ToUtf8(rest.substr(start, end - start));
    start = end + 1;
  }
  return host;
}

void DeviceFixture::PutFile(std::u16string_view device_path, std::string_view bytes) const {
  const std::filesystem::path host = HostPath(device_path);
  std::filesystem::create_directories(host.parent_path());
  std::ofstream out(host, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << "cannot write " << host;
}

std::string DeviceFixture::FileBytes(std::u16string_view device_path) const {
  std::ifstream in(HostPath(device_path), std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

DeviceThreadRunner::DeviceThreadRunner(wce::HostDevice& /*device*/, std::function<void()> body)
    : done_future_(done_.get_future()) {
  Start(std::move(body));
}

DeviceThreadRunner::DeviceThreadRunner(wce::Device& /*device*/, std::function<void()> body)
    : done_future_(done_.get_future()) {
  Start(std::move(body));
}

void DeviceThreadRunner::Start(std::function<void()> body) {
  auto registered = std::make_shared<std::promise<void>>();
  std::future<void> registered_future = registered->get_future();
  thread_ = std::thread([this, registered, body = std::move(body)] {
    {
      wce::HostThread self;
      {
        std::lock_guard<std::mutex> lock(mu_);
        self_ = &self;
      }
      registered->set_value();
      try {
        was_terminated_ = !self.Run(body);
      } catch (...) {
        ADD_FAILURE() << "an exception escaped a device thread's body";
      }
      std::lock_guard<std::mutex> lock(mu_);
      self_ = nullptr;
    }
    done_.set_value();
  });
  // Counted before the constructor returns, so the virtual clock cannot jump before it runs.
  if (registered_future.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
    ADD_FAILURE() << "the device thread did not start";
  }
}

DeviceThreadRunner::~DeviceThreadRunner() {
  if (done_future_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) Terminate();
  thread_.join();
}

bool DeviceThreadRunner::Join(std::chrono::milliseconds timeout) {
  return done_future_.wait_for(timeout) == std::future_status::ready;
}

void DeviceThreadRunner::Terminate() {
  std::lock_guard<std::mutex> lock(mu_);
  if (self_ != nullptr) self_->Terminate();
}

}  // namespace kepla_test
