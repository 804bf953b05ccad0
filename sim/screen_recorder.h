// Writes the screen into the transcript each time it changes while the interface waits for input.
#ifndef KEPLA_SIM_SCREEN_RECORDER_H_
#define KEPLA_SIM_SCREEN_RECORDER_H_

#include <thread>

namespace wce {
class HostDevice;
}

namespace kepla {

class ProgramRun;
class Transcript;

class ScreenRecorder {
 public:
  // Starts watching on a thread of its own, a device thread: while it writes a line the virtual
  // clock stands still, so no screen that waits for input is missed. Make it before the program
  // starts; it waits for the start and stops by itself when the program ends. The arguments
  // must outlive it.
  ScreenRecorder(wce::HostDevice& device, const ProgramRun& run, Transcript& transcript);
  // Joins the thread: the program must have ended (or been stopped) first.
  ~ScreenRecorder();
  ScreenRecorder(const ScreenRecorder&) = delete;
  ScreenRecorder& operator=(const ScreenRecorder&) = delete;

 private:
  void Run();

  wce::HostDevice& device_;
  const ProgramRun& run_;
  Transcript& transcript_;
  std::thread thread_;
};

}  // namespace kepla

#endif  // KEPLA_SIM_SCREEN_RECORDER_H_
