#include "sim/screen_recorder.h"

#include <cstdint>
#include <future>
#include <mutex>

#include <wince/host_device.h>
#include "sim/program_run.h"
#include "sim/transcript.h"

namespace kepla {

ScreenRecorder::ScreenRecorder(wce::HostDevice& device, const ProgramRun& run,
                               Transcript& transcript)
    : device_(device), run_(run), transcript_(transcript) {
  // Returns only once the thread counts as a device thread, so that the virtual clock cannot
  // jump past a screen before the recorder has seen it.
  std::promise<void> registered;
  std::future<void> ready = registered.get_future();
  thread_ = std::thread([this, &registered] {
    wce::HostThread self;
    registered.set_value();
    Run();
  });
  ready.wait();
}

ScreenRecorder::~ScreenRecorder() {
  if (thread_.joinable()) thread_.join();
}

void ScreenRecorder::Run() {
  // Written by each evaluation of the condition, under the device lock; the last one counts.
  bool ended = false;
  device_.WaitUntil([&] {
    ended = run_.ended_locked();
    return run_.begun_locked();
  });
  if (ended) return;
  wce::DeviceScreen& screen = device_.screen();
  std::uint64_t seen = UINT64_MAX;
  for (;;) {
    const wce::ScreenSnapshot snap = screen.WaitForChange(seen, wce::HostDevice::kNever);
    if (!snap.program_running) return;
    if (snap.waiting_for_input && snap.generation != seen) {
      transcript_.WriteScreen(snap);
      seen = snap.generation;
    }
  }
}

}  // namespace kepla
