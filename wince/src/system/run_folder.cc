#include "system/run_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>

#include "model/scheduler.h"
#include <wince/utf.h>
#include "system/run_protocol.h"
#include "host/socket_server.h"
#include "host/unix_socket.h"
#include "host/fold_case.h"
#include "kernel/threads.h"
#include "user/screen_view.h"

namespace wce {
namespace {

namespace fs = std::filesystem;

// A live peer answers a query at once; only a sent message may take as long as its window needs.
constexpr int kQueryTimeoutMs = 5000;
constexpr std::size_t kMaxReplyBytes = 4096;

fs::path RunDirOf(const fs::path& device_folder) { return device_folder / "run"; }
fs::path EntryPath(const fs::path& run_dir, int pid) {
  return run_dir / (std::to_string(pid) + ".json");
}
fs::path SocketPath(const fs::path& run_dir, int pid) {
  return run_dir / (std::to_string(pid) + ".sock");
}
fs::path TempPath(const fs::path& run_dir, int pid) {
  return run_dir / (std::to_string(pid) + ".json.tmp");
}

bool ProcessAlive(int pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

void RemoveEntry(const fs::path& run_dir, int pid) {
  std::error_code ignored;
  fs::remove(EntryPath(run_dir, pid), ignored);
  fs::remove(SocketPath(run_dir, pid), ignored);
  fs::remove(TempPath(run_dir, pid), ignored);
}

// The pid a run-folder file belongs to ("123.json", "123.sock", "123.json.tmp"), or 0.
int PidOfFile(const fs::path& file) {
  const std::string name = file.filename().string();
  int pid = 0;
  auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
  if (ec != std::errc() || pid <= 0 || *end != '.') return 0;
  std::string_view rest(end, name.data() + name.size() - end);
  return rest == ".json" || rest == ".sock" || rest == ".json.tmp" ? pid : 0;
}

std::optional<PublishedProgram> ReadEntry(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return DecodeProgram(text.str());
}

// The entries of the other processes in `run_dir`, in pid order. Files of processes that no
// longer exist are removed on the way. An entry still needs its socket to answer before it counts.
std::vector<PublishedProgram> ScanEntries(const fs::path& run_dir, int self_pid) {
  std::vector<PublishedProgram> programs;
  std::error_code error;
  std::vector<fs::path> files;
  for (const fs::directory_entry& e : fs::directory_iterator(run_dir, error)) {
    files.push_back(e.path());
  }
  for (const fs::path& file : files) {
    const int pid = PidOfFile(file);
    if (pid == 0 || pid == self_pid) continue;
    if (!ProcessAlive(pid)) {
      RemoveEntry(run_dir, pid);
      continue;
    }
    if (file.extension() != ".json") continue;
    auto program = ReadEntry(file);
    if (program && program->pid == pid) programs.push_back(std::move(*program));
  }
  std::sort(programs.begin(), programs.end(),
            [](const PublishedProgram& a, const PublishedProgram& b) { return a.pid < b.pid; });
  return programs;
}

// True when the calling device thread has been terminated.
bool CallerTerminated() {
  DeviceThread* self = DeviceThread::Current();
  return self != nullptr && self->terminated();
}

// Asks process `pid` one request. Nullopt when it could not answer; a process that is gone has
// its entry removed.
std::optional<RunReply> Ask(const fs::path& run_dir, int pid, const RunRequest& request,
                            int timeout_ms) {
  ConnectStatus status;
  UniqueFd fd = ConnectUnix(SocketPath(run_dir, pid), &status);
  if (status == ConnectStatus::kGone) RemoveEntry(run_dir, pid);
  if (!fd.valid()) return std::nullopt;
  if (!WriteAll(fd.get(), EncodeRequest(request) + "\n")) return std::nullopt;
  std::string line;
  if (!ReadLine(fd.get(), &line, timeout_ms, kMaxReplyBytes, CallerTerminated)) {
    return std::nullopt;
  }
  return DecodeReply(line);
}

bool Answers(const fs::path& run_dir, int pid) {
  auto reply = Ask(run_dir, pid, RunRequest{}, kQueryTimeoutMs);
  return reply && reply->ok;
}

// Asks every other live process; true if any answered ok.
bool AskEach(const fs::path& run_dir, int self_pid, const RunRequest& request,
             int* answered = nullptr) {
  bool any = false;
  for (const PublishedProgram& program : ScanEntries(run_dir, self_pid)) {
    auto reply = Ask(run_dir, program.pid, request, kQueryTimeoutMs);
    if (reply && answered) ++*answered;
    any = (reply && reply->ok) || any;
  }
  return any;
}

bool SameClass(const std::u16string& a, const std::u16string& b) {
  return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

RunRequest EventRequest(RunRequest::Op op, std::u16string_view name) {
  RunRequest request;
  request.op = op;
  request.name = std::u16string(name);
  return request;
}

}  // namespace

RunFolder::RunFolder(fs::path folder, std::u16string program, EventRegistry& events,
                     const ScreenView& view, IncomingMessages& incoming, bool publish)
    : folder_(std::move(folder)),
      program_(std::move(program)),
      events_(events),
      view_(view),
      incoming_(incoming),
      publish_(publish) {}

RunFolder::~RunFolder() { Close(); }

fs::path RunFolder::RunDir() const { return RunDirOf(folder_); }

void RunFolder::Open() {
  if (!publish_ || listening_.load()) return;
  const fs::path run_dir = RunDir();
  std::error_code error;
  fs::create_directories(run_dir, error);
  if (error) return;
  ScanEntries(run_dir, ::getpid());  // clears what crashed programs left behind
  UniqueFd listener = ListenUnix(SocketPath(run_dir, ::getpid()), nullptr);
  if (!listener.valid()) return;
  server_ = std::make_unique<SocketServer>(
      std::move(listener), [this](const std::string& request) { return Serve(request); });
  events_.on_named_change = [this](const std::u16string&, bool) { PublishWindowsChanged(); };
  listening_.store(true);
  WriteEntry();
}

void RunFolder::Close() {
  if (!listening_.exchange(false)) return;
  events_.on_named_change = nullptr;
  server_->Stop();
  server_.reset();
  MutexLock lock(publish_mu_);
  RemoveEntry(RunDir(), ::getpid());
}

void RunFolder::WriteEntry() {
  MutexLock publish_lock(publish_mu_);
  if (!listening_.load()) return;
  PublishedProgram entry;
  entry.pid = ::getpid();
  entry.program = program_;
  entry.windows = view_.PublishedWindows();
  entry.events = events_.Names();

  const fs::path run_dir = RunDir();
  const fs::path temp = TempPath(run_dir, entry.pid);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << EncodeProgram(entry);
    if (!out.flush()) return;
  }
  std::error_code error;
  fs::rename(temp, EntryPath(run_dir, entry.pid), error);
}

void RunFolder::PublishWindowsChanged() {
  if (listening_.load()) WriteEntry();
}

std::string RunFolder::Serve(const std::string& line) {
  RunReply reply;
  auto request = DecodeRequest(line);
  if (!request) return EncodeReply(reply);
  HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(request->hwnd));
  switch (request->op) {
    case RunRequest::Op::kPing:
      reply.ok = true;
      reply.result = ::getpid();
      break;
    case RunRequest::Op::kSend: {
      // Whoever wrote the request, only a pointer-free message reaches a window, and only a
      // window of this process: a proxy handle is not relayed to a third program.
      const UINT msg = request->msg;
      const auto wparam = static_cast<WPARAM>(request->wparam);
      const auto lparam = static_cast<LPARAM>(request->lparam);
      if (CrossesProcesses(msg, wparam, lparam) && view_.IsLocalWindow(hwnd)) {
        if (msg == WM_CLOSE) closed_remotely_.store(true);
        // A window gone while the message waited answers 0, as a send to it would.
        reply.result = incoming_.Deliver(hwnd, msg, wparam, lparam).value_or(0);
        reply.ok = true;
      }
      break;
    }
    case RunRequest::Op::kIsWindow:
      reply.ok = view_.IsLocalWindow(hwnd);
      break;
    case RunRequest::Op::kSetEvent:
      reply.ok = events_.SetNamedEvent(request->name);
      break;
    case RunRequest::Op::kHasEvent: {
      auto names = events_.Names();
      reply.ok = std::find(names.begin(), names.end(), request->name) != names.end();
      break;
    }
  }
  return EncodeReply(reply);
}

std::optional<RemoteWindow> RunFolder::FindRemoteWindow(const std::u16string* window_class,
                                                        const std::u16string* title) {
  const fs::path run_dir = RunDir();
  for (const PublishedProgram& program : ScanEntries(run_dir, ::getpid())) {
    for (const PublishedWindow& w : program.windows) {
      if (window_class && !SameClass(*window_class, w.window_class)) continue;
      if (title && !EqualsNoCase(*title, w.title)) continue;  // as for this process's windows
      RemoteWindow found{program.pid, w.hwnd};
      if (IsRemoteWindowAlive(found)) return found;
    }
  }
  ThreadGate();
  return std::nullopt;
}

bool RunFolder::SendRemote(const RemoteWindow& window, UINT msg, WPARAM wparam, LPARAM lparam,
                           LRESULT* result) {
  if (!CrossesProcesses(msg, wparam, lparam)) return false;
  RunRequest request;
  request.op = RunRequest::Op::kSend;
  request.hwnd = window.hwnd;
  request.msg = msg;
  request.wparam = wparam;
  request.lparam = lparam;
  auto reply = Ask(RunDir(), window.pid, request, /*timeout_ms=*/-1);
  ThreadGate();
  if (!reply || !reply->ok) return false;
  if (result) *result = static_cast<LRESULT>(reply->result);
  return true;
}

bool RunFolder::IsRemoteWindowAlive(const RemoteWindow& window) {
  if (window.pid == ::getpid()) return false;
  RunRequest request;
  request.op = RunRequest::Op::kIsWindow;
  request.hwnd = window.hwnd;
  auto reply = Ask(RunDir(), window.pid, request, kQueryTimeoutMs);
  ThreadGate();
  return reply && reply->ok;
}

bool RunFolder::RemoteEventExists(std::u16string_view name) {
  bool found = AskEach(RunDir(), ::getpid(), EventRequest(RunRequest::Op::kHasEvent, name));
  ThreadGate();
  return found;
}

bool RunFolder::SetRemoteEvent(std::u16string_view name) {
  bool set = AskEach(RunDir(), ::getpid(), EventRequest(RunRequest::Op::kSetEvent, name));
  ThreadGate();
  return set;
}

bool RunFolder::SignalEventInFolder(const fs::path& device_folder, std::u16string_view name,
                                    std::string* error) {
  int answered = 0;
  if (AskEach(RunDirOf(device_folder), ::getpid(), EventRequest(RunRequest::Op::kSetEvent, name),
              &answered)) {
    return true;
  }
  if (error) {
    *error = answered == 0 ? "no program is running on " + device_folder.string()
                           : "no running program has the event " + Utf16ToUtf8(name);
    // Another user's program is there but its socket is not ours to write to: say so, rather
    // than that nothing runs.
    const fs::path run_dir = RunDirOf(device_folder);
    for (const PublishedProgram& program : ScanEntries(run_dir, ::getpid())) {
      if (answered == 0 &&
          faccessat(AT_FDCWD, SocketPath(run_dir, program.pid).c_str(), W_OK, AT_EACCESS) != 0 &&
          errno == EACCES) {
        *error = "the program running on " + device_folder.string() + " (process " +
                 std::to_string(program.pid) + ") cannot be reached: " + std::strerror(EACCES) +
                 " (another user's?)";
        break;
      }
    }
  }
  return false;
}

std::vector<PublishedProgram> RunFolder::ListPrograms(const fs::path& device_folder) {
  const fs::path run_dir = RunDirOf(device_folder);
  std::vector<PublishedProgram> live;
  for (PublishedProgram& program : ScanEntries(run_dir, ::getpid())) {
    if (Answers(run_dir, program.pid)) live.push_back(std::move(program));
  }
  return live;
}

}  // namespace wce
