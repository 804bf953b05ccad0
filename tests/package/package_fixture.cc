#include "package_fixture.h"

#include <windows.h>
#include <commctrl.h>

#include <filesystem>
#include <span>

namespace kepla_test {

std::mutex PackageDeviceTest::mu_;
std::vector<PackageDeviceTest::BarMessage> PackageDeviceTest::messages_;

kepla::pkg::PackageFields TestFields() {
  return {u"ENG", u"WWE,HKG", u"QMR407", u"1.13.407.3", u"1.13.407 ENG WWE"};
}

std::string MakeTestPackage(std::size_t size, const kepla::pkg::PackageFields& fields,
                            unsigned seed) {
  std::string bytes(size - kepla::pkg::kTrailerSize, '\0');
  std::uint32_t x = seed * 2654435761u;
  for (char& c : bytes) {
    x = x * 1103515245u + 12345;
    c = static_cast<char>(x >> 16);
  }
  auto trailer = kepla::pkg::EncodeTrailer(fields);
  bytes.append(trailer.begin(), trailer.end());
  return bytes;
}

std::string ImageOf(const std::string& package) {
  std::string error;
  auto image = kepla::pkg::MakeImage(
      std::span(reinterpret_cast<const std::uint8_t*>(package.data()), package.size()), &error);
  return std::string(image.begin(), image.end());
}

void PackageDeviceTest::TearDown() {
  guard_.reset();
  Shutdown();
}

void PackageDeviceTest::AddFault(wce::FaultSpec::Kind kind, std::u16string file,
                                 std::uint64_t offset, std::uint32_t ms) {
  wce::FaultSpec spec;
  spec.kind = kind;
  spec.file = std::move(file);
  spec.offset = offset;
  spec.ms = ms;
  profile().faults.push_back(spec);
}

void PackageDeviceTest::AddDiskFull(std::uint64_t bytes) {
  wce::FaultSpec spec;
  spec.kind = wce::FaultSpec::Kind::kDiskFull;
  spec.card = u"Storage Card";
  spec.bytes = bytes;
  profile().faults.push_back(spec);
}

void PackageDeviceTest::BootAsUi() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    messages_.clear();
  }
  PutFile(u"\\Storage Card\\Upgrade\\KEPLA.exe", "MZ");
  Boot();
  guard_.emplace();
  WNDCLASSW wc{};
  wc.lpfnWndProc = &BarProc;
  wc.lpszClassName = u"RecordingBar";
  ASSERT_NE(RegisterClassW(&wc), 0);
  bar_ = CreateWindowExW(0, u"RecordingBar", u"", WS_VISIBLE, 0, 0, 100, 10, nullptr, nullptr,
                         nullptr, nullptr);
  ASSERT_NE(bar_, nullptr);
}

std::vector<PackageDeviceTest::BarMessage> PackageDeviceTest::BarMessages() {
  std::lock_guard<std::mutex> lock(mu_);
  return messages_;
}

int PackageDeviceTest::Steps() {
  int steps = 0;
  for (const BarMessage& m : BarMessages()) steps += m.message == PBM_STEPIT;
  return steps;
}

bool PackageDeviceTest::ImageExists() const {
  return std::filesystem::exists(HostPath(kImagePath));
}

LRESULT CALLBACK PackageDeviceTest::BarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message >= PBM_SETRANGE && message <= PBM_GETPOS) {
    std::lock_guard<std::mutex> lock(mu_);
    messages_.push_back(BarMessage{message, wparam, GetTickCount()});
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace kepla_test
