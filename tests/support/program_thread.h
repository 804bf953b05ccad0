// The program's user-interface thread for tests: runs WinMain, or a test's own body, as the
// booted device's program while the test's thread drives the screen through automation.
#ifndef KEPLA_TESTS_SUPPORT_PROGRAM_THREAD_H_
#define KEPLA_TESTS_SUPPORT_PROGRAM_THREAD_H_

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <wince/host_device.h>
#include "sim/program_run.h"

namespace kepla_test {

// WinMain followed by what the end of the process does to what it leaves behind: a wizard run
// leaves the keep-awake guard held and its application object allocated (both go with the
// process on the device). The guard is released here so that the next run in the same test
// process starts afresh; the object is left to the leak checker's suppression of
// NewUpgradeApp.
int ProgramProcess(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line, int show);
// Whether the last ProgramProcess found the keep-awake guard still held when WinMain returned.
bool KeepAwakeHeldAtLastExit();

class ProgramThread {
 public:
  // Starts `entry(instance, 0, command_line, SW_SHOW)` as the device's program and returns once
  // it runs. Call from the test's device thread (DeviceFixture).
  ProgramThread(wce::HostDevice& device, wce::HostDevice::EntryPoint entry,
                std::u16string command_line = u"");
  // Starts `body(instance)` as the device's program; its result is the exit code. One body at a
  // time in a test process.
  ProgramThread(wce::HostDevice& device, std::function<int(HINSTANCE)> body);
  // The same, with the device as the layer's own tests hold it.
  ProgramThread(wce::Device& device, std::function<int(HINSTANCE)> body);
  // Stops a program still running and joins its thread.
  ~ProgramThread();
  ProgramThread(const ProgramThread&) = delete;
  ProgramThread& operator=(const ProgramThread&) = delete;

  // Waits up to `timeout_ms` of device time for the program to end and returns its exit code.
  // When it does not end in time the test fails, the program is stopped and nullopt returned.
  std::optional<int> Finish(std::uint32_t timeout_ms = 120000);

 private:
  static int BodyEntry(HINSTANCE instance, HINSTANCE, LPWSTR, int);

  std::unique_ptr<wce::HostDevice> view_;  // of a device given as the layer's tests hold it
  wce::HostDevice& device_;
  kepla::ProgramRun run_;
  bool finished_ = false;
};

}  // namespace kepla_test

#endif  // KEPLA_TESTS_SUPPORT_PROGRAM_THREAD_H_
