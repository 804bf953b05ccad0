#include "sim/screen_recorder.h"

#include <cstdint>
#include <future>
#include <mutex>

#include "system/device.h"
#include "system/automation.h"
#include "kernel/threads.h"
#include "sim/program_run.h"
#include "sim/transcript.h"

namespace kepla {

ScreenRecorder::ScreenRecorder(wce::Device& device, const ProgramRun& run, Transcript& transcript)
    : device_(device), run_(run), transcript_(transcript) {
  // Returns only once the thread counts as a device thread, so that the virtual clock cannot
  // jump past a screen before the recorder has seen it.
  std::promise<void> registered;
  std::future<void> ready = registered.get_future();
  thread_ = std::thread([this, &registered] {
    wce::DeviceThreadScope scope(device_.scheduler(), device_.threads().NewRecord());
    registered.set_value();
    Run();
  });
  ready.wait();
}

ScreenRecorder::~ScreenRecorder() {
  if (thread_.joinable()) thread_.join();
}

void ScreenRecorder::Run() {
  {
    wce::Scheduler& scheduler = device_.scheduler();
    wce::UniqueLock lock(scheduler.mutex());
    scheduler.Wait(lock, [this] { return run_.begun_locked(); });
    if (run_.ended_locked()) return;
  }
  wce::Automation& automation = device_.automation();
  std::uint64_t seen = UINT64_MAX;
  for (;;) {
    const wce::ScreenSnapshot snap = automation.WaitForChange(seen, wce::Scheduler::kNever);
    if (!snap.program_running) return;
    if (snap.waiting_for_input && snap.generation != seen) {
      transcript_.WriteScreen(snap);
      seen = snap.generation;
    }
  }
}

}  // namespace kepla
