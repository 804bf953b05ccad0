// A booted device that runs the wizard's code: the program's resources are its module, the clock
// is virtual, firmware packages can be put in the program's folder, and the calling thread (a
// device thread under a real-time guard) watches and presses the screen through automation while
// the program runs on a thread of its own. ProgramFixture (program_fixture.h) is the test fixture
// around one; tests that run many devices in turn (the fault matrix) make their own.
//
//   ProgramDevice phone;
//   phone.WritePackage(MatchingFields());
//   phone.Boot();
//   phone.StartProgram(&kepla_test::ProgramProcess, u"");
//   phone.WaitForTemplate(IDD_WELCOME);
//   ASSERT_TRUE(phone.Press(1));
//   EXPECT_EQ(phone.FinishProgram(), 16);
//   phone.Shutdown();   // or let it go; the same folder may then be booted again
#ifndef KEPLA_TESTS_SUPPORT_PROGRAM_DEVICE_H_
#define KEPLA_TESTS_SUPPORT_PROGRAM_DEVICE_H_

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <wince/automation.h>
#include <wince/host_device.h>
#include <wince/profile.h>
#include "support/device_thread.h"
#include "support/program_thread.h"
#include "support/scratch_dir.h"
#include "tools/package_file.h"

namespace kepla_test {

// Header texts that match the default device profile (model QMR407, "1.13.407 ENG WWE").
kepla::pkg::PackageFields MatchingFields();

// Every method is for the thread that booted the device (failures are reported to gtest).
class ProgramDevice {
 public:
  ProgramDevice() = default;
  ~ProgramDevice() { Shutdown(); }
  ProgramDevice(const ProgramDevice&) = delete;
  ProgramDevice& operator=(const ProgramDevice&) = delete;

  // Where the default profile's program lies, and the package the tests put beside it.
  static constexpr char kProgramFolder[] = "Storage Card/Upgrade";
  static constexpr char kPackagePath[] = "Storage Card/Upgrade/fw.bin";
  // The prepared image at the card root.
  static constexpr char kImagePath[] = "Storage Card/407_QMR_SD.bin";

  // Boots `profile` with a virtual clock and the program's resources, and makes this thread a
  // device thread. Fails the test when the device cannot boot. With `publish` the program's
  // windows and events are reachable from other processes on the device folder (run/). After
  // Shutdown the same folder, with what the last run left, may be booted again.
  void Boot(wce::DeviceProfile profile = {}, bool publish = false);
  // Stops a program still running, ends this thread's device role and shuts the device down.
  // Idempotent.
  void Shutdown();
  bool booted() const { return device_ != nullptr; }
  const std::filesystem::path& folder() const { return folder_.path(); }

  wce::HostDevice& device() { return *device_; }
  wce::DeviceScreen& automation() { return device_->screen(); }
  std::uint64_t Now() { return device_->Now(); }

  // The host path of the device path "\`relative`" ("/" separates folders).
  std::filesystem::path HostPath(std::string_view relative) const;
  // Writes `bytes` at "\`relative`", making folders.
  void WriteFile(std::string_view relative, std::string_view bytes) const;
  // Writes a package of an image of `imageBytes` with `fields` at kPackagePath.
  void WritePackage(const kepla::pkg::PackageFields& fields, std::size_t imageBytes = 4096) const;
  // Makes the card report exactly `freeBytes` free (call before Boot).
  void SetFreeSpace(wce::DeviceProfile* profile, std::uint64_t freeBytes) const;

  // Starts the program: `entry` with `commandLine`, or a body run on the program's thread.
  void StartProgram(wce::HostDevice::EntryPoint entry, std::u16string commandLine);
  void StartBody(std::function<int(HINSTANCE)> body);
  // Waits for the program to end and returns its exit code (nullopt, failing the test, after
  // `timeoutMs` of device time).
  std::optional<int> FinishProgram(std::uint32_t timeoutMs = 120000);

  // The first screen, while the program waits for input, that satisfies `want`; fails the test
  // (returning the last screen seen) when none comes within `timeoutMs` of device time or the
  // program ends first.
  wce::ScreenSnapshot WaitForScreen(const std::function<bool(const wce::ScreenSnapshot&)>& want,
                                    std::uint64_t timeoutMs = 60000);
  // The screen once a dialog made from template `templateId` is in front, with no message box.
  wce::ScreenSnapshot WaitForTemplate(int templateId);
  // Presses soft key `index` (0 left, 1 right) as soon as it is offered; false on time-out.
  bool Press(int index, std::uint64_t timeoutMs = 60000);
  // Waits for a message box, dismisses it and returns what it showed; nullopt (failing the
  // test) on time-out.
  std::optional<wce::MessageBoxSnapshot> DismissMessageBox(std::uint64_t timeoutMs = 60000);

  // The control `id` of `screen`, or null; its text, or "<no control>".
  static const wce::ControlSnapshot* Control(const wce::ScreenSnapshot& screen, int id);
  static std::u16string ControlText(const wce::ScreenSnapshot& screen, int id);

 private:
  ScratchDir folder_;
  std::unique_ptr<wce::HostDevice> device_;
  std::optional<DeviceThreadGuard> guard_;
  std::unique_ptr<ProgramThread> program_;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_PROGRAM_DEVICE_H_
