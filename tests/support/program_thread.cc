#include "support/program_thread.h"

#include <chrono>
#include <mutex>

#include <gtest/gtest.h>

#include "app/keep_awake.h"
#include "support/device_thread.h"

// The application object of a wizard run is left to process exit by design; a test process runs
// many programs, so the leak checker is told about that one allocation (and what only it holds).
extern "C" const char* __lsan_default_suppressions() { return "leak:NewUpgradeApp\n"; }

namespace kepla_test {
namespace {

std::function<int(HINSTANCE)> g_body;
bool g_keep_awake_held_at_exit = false;

}  // namespace

int ProgramProcess(HINSTANCE instance, HINSTANCE previous, LPWSTR command_line, int show) {
  int code = WinMain(instance, previous, command_line, show);
  g_keep_awake_held_at_exit = KeepAwake::PowerRequirement() != NULL || KeepAwake::TimerId() != 0;
  KeepAwake::Stop();
  return code;
}

bool KeepAwakeHeldAtLastExit() { return g_keep_awake_held_at_exit; }

ProgramThread::ProgramThread(wce::HostDevice& device, wce::HostDevice::EntryPoint entry,
                             std::u16string command_line)
    : device_(device), run_(device, entry, std::move(command_line)) {
  run_.Start();
}

ProgramThread::ProgramThread(wce::HostDevice& device, std::function<int(HINSTANCE)> body)
    : device_(device), run_(device, &ProgramThread::BodyEntry, u"") {
  g_body = std::move(body);
  run_.Start();
}

ProgramThread::ProgramThread(wce::Device& device, std::function<int(HINSTANCE)> body)
    : view_(std::make_unique<wce::HostDevice>(device)),
      device_(*view_),
      run_(device_, &ProgramThread::BodyEntry, u"") {
  g_body = std::move(body);
  run_.Start();
}

int ProgramThread::BodyEntry(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  return g_body(instance);
}

ProgramThread::~ProgramThread() {
  if (!finished_) {
    device_.StopProgram();
    FinishWithin(
        std::chrono::seconds(20), [this] { run_.Join(); }, "the stopped program");
  }
  g_body = nullptr;
}

std::optional<int> ProgramThread::Finish(std::uint32_t timeout_ms) {
  // The program's thread stops counting for the virtual clock before ProgramRun records its
  // end; the device's own flag drops while it still counts, so waiting on it cannot let the
  // clock jump to the deadline in between.
  const bool ended = device_.WaitWithin(
      [this] { return !device_.ProgramRunningLocked() || run_.ended_locked(); }, timeout_ms);
  if (!ended) {
    ADD_FAILURE() << "the program did not end within " << timeout_ms << " ms of device time";
    device_.StopProgram();
  }
  int code = 0;
  FinishWithin(
      std::chrono::seconds(20), [this, &code] { code = run_.Join(); }, "the program");
  finished_ = true;
  if (!ended) return std::nullopt;
  return code;
}

}  // namespace kepla_test
