// The run folder: what the programs running on one device can see of each other.
//
// Every process that boots a device on a folder publishes, under <device>/run/:
//   <pid>.json  its top-level windows (hwnd value, class, title) and its named events, rewritten
//               atomically (a temporary file renamed over the old one) whenever they change;
//   <pid>.sock  a Unix stream socket served by a host listener thread (no device thread), which
//               answers: send a message to a window, set a named event, is a window alive, does
//               an event exist.
// An entry whose process is gone (no such pid, or its socket refuses connections) is stale: every
// lookup skips it and removes its files, so a crashed program leaves nothing that fools the next.
//
// Only messages that carry no pointer can cross processes (CrossesProcesses): wParam and lParam
// travel as integers, and an address means nothing in the other process. Both ends check: the
// sender refuses any other message, and Serve() refuses one that a client of the socket sends
// anyway.
//
// Thread rules: every method may be called from any thread with no layer lock held. The methods
// that talk to another process block the caller on socket I/O (not a Scheduler wait): a device
// thread blocked there counts as running, so a virtual clock does not jump past it; a device thread
// terminated meanwhile notices within 100 ms of real time and unwinds with ThreadTerminated.
#ifndef WINCE_SYSTEM_RUN_FOLDER_H_
#define WINCE_SYSTEM_RUN_FOLDER_H_

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>
#include "host/mutex.h"
#include "user/other_processes.h"

namespace wce {

class EventRegistry;
class ScreenView;
class SocketServer;

struct PublishedProgram {
  int pid = 0;
  std::u16string program;  // the device path of the program image
  std::vector<PublishedWindow> windows;
  std::vector<std::u16string> events;
};

class RunFolder final : public OtherProcesses {
 public:
  // The run folder of device folder `folder`, where this process runs `program` (a device path)
  // with the named events of `events`; its windows are read from `view`, and messages other
  // programs send are delivered through `incoming`. All must outlive it. `publish` false: this
  // process publishes nothing (tests), but its lookups still work.
  RunFolder(std::filesystem::path folder, std::u16string program, EventRegistry& events,
            const ScreenView& view, IncomingMessages& incoming, bool publish);
  ~RunFolder();  // Close()s
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  // Creates run/, removes stale entries, starts the listener and publishes this process. A
  // failure (unwritable folder, socket error) leaves the process unpublished; lookups still work.
  void Open();
  // Stops the listener (joining its threads) and removes this process's files. Idempotent.
  void Close();
  bool published() const { return listening_; }

  // The first window of another live process whose class (case-insensitive) and title
  // (case-sensitive) match; a null pointer matches anything. Never this process's own windows.
  std::optional<RemoteWindow> FindRemoteWindow(const std::u16string* window_class,
                                               const std::u16string* title) override;
  // Sends `msg` to the window and blocks until its thread has handled it; *result (may be null)
  // receives the window procedure's result. False when the message may not cross processes (see
  // CrossesProcesses; nothing is sent then), the process is gone, the window does not exist, or
  // the connection broke before the reply.
  bool SendRemote(const RemoteWindow& window, UINT msg, WPARAM wparam, LPARAM lparam,
                  LRESULT* result) override;
  bool IsRemoteWindowAlive(const RemoteWindow& window) override;
  // Whether a live process other than this one has a named event `name` (case-sensitive).
  bool RemoteEventExists(std::u16string_view name);
  // Sets the named event `name` in every other live process that has one. True if any did.
  bool SetRemoteEvent(std::u16string_view name);

  // Whether another process has sent WM_CLOSE to one of this process's windows (as the program's
  // "uninstall" run does), so that a program that ended can be told apart from one that was closed.
  bool closed_by_another_process() const { return closed_remotely_.load(); }

  // Rewrites this process's <pid>.json from the current windows and named events. Called by the
  // window system and the event registry after a change, with no lock held. No-op unless open.
  void PublishWindowsChanged() override;

  // For a process with no booted device (`kepla-device signal DIR EVENT`): sets `name` in every
  // program running on the device folder. False with *error (one line) when none has the event.
  static bool SignalEventInFolder(const std::filesystem::path& device_folder,
                                  std::u16string_view name, std::string* error);
  // The live programs of a device folder (stale entries are removed on the way).
  static std::vector<PublishedProgram> ListPrograms(const std::filesystem::path& device_folder);

 private:
  std::filesystem::path RunDir() const;
  void WriteEntry();
  // Answers one request line from another process (on a listener thread, no lock held).
  std::string Serve(const std::string& request);

  const std::filesystem::path folder_;
  const std::u16string program_;
  EventRegistry& events_;
  const ScreenView& view_;
  IncomingMessages& incoming_;
  const bool publish_;
  std::atomic<bool> listening_{false};
  std::atomic<bool> closed_remotely_{false};
  Mutex publish_mu_;  // serialises writers of <pid>.json
  std::unique_ptr<SocketServer> server_;
};

}  // namespace wce

#endif  // WINCE_SYSTEM_RUN_FOLDER_H_
