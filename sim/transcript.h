// The transcript of a run: one JSON object per line, each with the device time "t" in ms and its
// "type":
//   {"t":0,"type":"screen","title":"...","class":"...","template":101,"rotation":0,"width":240,
//    "height":320,"controls":[{"id":1001,"class":"Static","text":"...","rect":[l,t,r,b],
//    "visible":true,"enabled":true,"progress":40}],"softKeys":[{"label":"Next","enabled":true}],
//    "messageBox":{...}}       ("progress" only on progress bars, "messageBox" only when open)
//   {"t":9,"type":"messagebox","owner":"...","text":"...","caption":"Error","style":0}
//   {"t":9,"type":"action","action":"left"}
//   {"t":9,"type":"progress","control":1004,"pos":40}
//   {"t":9,"type":"exit","code":16,"backlightHeld":true,"idleTimerResets":2}
//                            (with "stopped":true when the program had to be stopped; code -1;
//                             and "signal":"SIGTERM" when a signal to kepla stopped it;
//                             "powerOff":true when the device lost power, with "stopped":true)
// Texts are UTF-8. A screen line is written when what the screen shows has changed while the
// interface waits for input; a moving progress bar alone makes progress lines, not screen lines.
//
// Thread rules: every method may be called from any thread; lines never interleave, and each is
// flushed as it is written.
#ifndef KEPLA_SIM_TRANSCRIPT_H_
#define KEPLA_SIM_TRANSCRIPT_H_

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "system/automation.h"
#include "sim/script.h"

namespace kepla {

// The JSON form of a snapshot's screen (without "t" and "type").
nlohmann::ordered_json ScreenJson(const wce::ScreenSnapshot& snap);

class Transcript final : public wce::AutomationObserver {
 public:
  // Decides, on the opened file, whether it may be written: returns false and sets *error (the
  // reason, which Open puts after the file's name) to refuse it. Called before anything is
  // truncated.
  using Vet = std::function<bool(int fd, std::string* error)>;
  // Creates `file`, or empties it once it is known to be a regular file that `vet` (may be empty)
  // accepts. A file that exists and is not a regular file or a character device (/dev/null, a
  // terminal) is refused: a FIFO, a socket, a folder, a block device. The open never blocks (a
  // FIFO that appears meanwhile is refused too). A file this call created and then refused is
  // removed again. Returns null and sets *error (one line naming the file) on failure.
  static std::unique_ptr<Transcript> Open(const std::filesystem::path& file, std::string* error,
                                          const Vet& vet = {});
  // Writes to `out`, which must outlive the transcript (tests).
  explicit Transcript(std::ostream* out) : out_(out) {}
  ~Transcript() override;
  Transcript(const Transcript&) = delete;
  Transcript& operator=(const Transcript&) = delete;

  // Writes a screen line unless the screen shows the same as the last one written.
  void WriteScreen(const wce::ScreenSnapshot& snap);
  void WriteAction(std::uint64_t time_ms, const ScriptStep& step);
  // The end of the run: the program's exit code and what the keep-awake guard left behind.
  struct ExitRecord {
    int code = 0;
    bool stopped = false;  // the program did not end by itself
    bool backlight_held = false;
    int idle_timer_resets = 0;
    std::string signal;      // what stopped it, when a signal did ("SIGINT"); empty otherwise
    bool power_off = false;  // the device lost power before the program ended
  };
  void WriteExit(std::uint64_t time_ms, const ExitRecord& exit);

  // Writes `line` (one JSON object, no newline) as it is: the same file form serves the call
  // log of --calls.
  void WriteRecord(const std::string& line);

  void OnMessageBox(std::uint64_t time_ms, const wce::MessageBoxSnapshot& box) override;
  // Writes a progress line when the bar's position differs from the last one written for it.
  void OnProgress(std::uint64_t time_ms, int control_id, int pos) override;

  // False once a write has failed (the disk filled up, ...); error() is then why ("No space left
  // on device").
  bool ok() const;
  std::string error() const;

 private:
  void WriteLine(std::uint64_t time_ms, const char* type, nlohmann::ordered_json body);
  // Called with mu_ held.
  void WriteTextLocked(const std::string& text);

  explicit Transcript(int fd) : out_(nullptr), fd_(fd) {}

  std::ostream* out_;      // null when writing to fd_
  int fd_ = -1;            // owned
  mutable std::mutex mu_;  // guards everything below and the stream
  std::optional<nlohmann::ordered_json> last_screen_;
  std::optional<std::pair<int, int>> last_progress_;
  bool failed_ = false;
  int write_errno_ = 0;
};

}  // namespace kepla

#endif  // KEPLA_SIM_TRANSCRIPT_H_
