// A device with the program at \Storage Card\Upgrade\KEPLA.exe, packages made to order, and a
// progress bar that records what the extraction sends it. The test's thread is the device's
// user-interface thread.
#ifndef KEPLA_TESTS_PACKAGE_PACKAGE_FIXTURE_H_
#define KEPLA_TESTS_PACKAGE_PACKAGE_FIXTURE_H_

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <wince/profile.h>
#include "support/device_fixture.h"
#include "support/device_thread.h"
#include "tools/package_file.h"

namespace kepla_test {

inline constexpr char16_t kPackagePath[] = u"\\Storage Card\\Upgrade\\fw.bin";
inline constexpr char16_t kImagePath[] = u"\\Storage Card\\407_QMR_SD.bin";

// The header fields the test packages carry unless a test says otherwise.
kepla::pkg::PackageFields TestFields();
// A package of `size` bytes (more than 512): pseudo-random bytes followed by the trailer for
// `fields`; `seed` picks the bytes.
std::string MakeTestPackage(std::size_t size,
                            const kepla::pkg::PackageFields& fields = TestFields(),
                            unsigned seed = 1);
// The image the wizard must write for `package` (what kepla-pkg extract writes).
std::string ImageOf(const std::string& package);

class PackageDeviceTest : public DeviceFixture {
 protected:
  struct BarMessage {
    UINT message;
    WPARAM wparam;
    DWORD tick;
  };

  void TearDown() override;

  void AddFault(wce::FaultSpec::Kind kind, std::u16string file, std::uint64_t offset,
                std::uint32_t ms = 0);
  void AddDiskFull(std::uint64_t bytes);

  // Boots, makes the test's thread a device thread (with a real-time limit) and makes a
  // recording progress bar.
  void BootAsUi();
  HWND bar() const { return bar_; }
  std::vector<BarMessage> BarMessages();
  int Steps();

  bool ImageExists() const;
  std::string ImageBytes() const { return FileBytes(kImagePath); }

 private:
  static LRESULT CALLBACK BarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  static std::mutex mu_;
  static std::vector<BarMessage> messages_;
  std::optional<DeviceThreadGuard> guard_;
  HWND bar_ = nullptr;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_PACKAGE_PACKAGE_FIXTURE_H_
