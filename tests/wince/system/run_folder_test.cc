// The run folder: what a program publishes for the others on its device, how another process
// reaches its windows and named events, and that nothing a dead program left fools a live one.
#include "system/run_folder.h"

#include <signal.h>
#include <unistd.h>

#include <windows.h>
#include <aygshell.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "system/device.h"
#include "system/automation.h"
#include "system/run_protocol.h"
#include "host/unix_socket.h"
#include "resource/modules.h"
#include "support/child_process.h"
#include "support/device_thread.h"
#include "support/program_thread.h"
#include "support/scratch_dir.h"
#include "support/test_resources.h"
#include "user/window_system.h"
#include "wince/testdata/test_resource.h"

namespace {

namespace fs = std::filesystem;
using kepla_test::ChildProcess;
using kepla_test::DeviceThreadGuard;
using kepla_test::ProgramThread;
using namespace std::chrono_literals;

const std::u16string kClass = u"KEPLA_WINDOW_CLASS";
const std::u16string kTitle = u"ZQV";

class RunFolderTest : public ::testing::Test {
 protected:
  void Boot(bool publish, wce::ClockMode clock = wce::ClockMode::kVirtual) {
    wce::DeviceOptions options;
    options.folder = folder_.path();
    options.profile = wce::DeviceProfile{};
    options.clock = wce::ClockSpec{clock, 1.0};
    options.publish = publish;
    std::string error;
    device_ = wce::Device::Boot(options, &error);
    ASSERT_NE(device_, nullptr) << error;
  }
  void TearDown() override { device_.reset(); }

  wce::Device& device() { return *device_; }
  fs::path run() const { return folder_.path() / "run"; }
  std::string folder() const { return folder_.path().string(); }
  fs::path Own(const char* extension) const {
    return run() / (std::to_string(::getpid()) + extension);
  }
  std::optional<wce::PublishedProgram> OwnEntry() const {
    std::ifstream in(Own(".json"));
    std::stringstream text;
    text << in.rdbuf();
    return wce::DecodeProgram(text.str());
  }
  // Leaves files as a program `pid` would have left them had it died.
  void LeaveEntry(int pid, const std::u16string& event) const {
    wce::PublishedProgram p;
    p.pid = pid;
    p.windows.push_back({0x20001, kClass, kTitle});
    p.events.push_back(event);
    fs::create_directories(run());
    std::ofstream(run() / (std::to_string(pid) + ".json")) << wce::EncodeProgram(p);
  }
  std::uint64_t Deadline(std::uint32_t ms) { return device().scheduler().Now() + ms; }
  // Asks this process's own socket, as any local client of it could.
  std::optional<wce::RunReply> AskOwnSocket(const wce::RunRequest& request) const {
    wce::ConnectStatus status;
    wce::UniqueFd fd = wce::ConnectUnix(Own(".sock"), &status);
    if (!fd.valid() || !wce::WriteAll(fd.get(), wce::EncodeRequest(request) + "\n")) {
      return std::nullopt;
    }
    std::string line;
    if (!wce::ReadLine(fd.get(), &line, 20000, 4096, nullptr)) return std::nullopt;
    return wce::DecodeReply(line);
  }

  kepla_test::ScratchDir folder_;
  std::unique_ptr<wce::Device> device_;
};

// A program whose main window closes when asked; its exit code is the WM_QUIT code.
LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) PostQuitMessage(7);
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

int RunMainWindow(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &MainProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClass.c_str();
  if (!RegisterClassW(&wc)) return -1;
  if (!CreateWindowW(kClass.c_str(), kTitle.c_str(), WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                     CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr)) {
    return -2;
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}

TEST_F(RunFolderTest, PublishesWindowsAndEventsAndWithdrawsThem) {
  Boot(true);
  ASSERT_TRUE(device().run_folder().published());
  EXPECT_TRUE(fs::exists(Own(".sock")));
  {
    DeviceThreadGuard guard;
    ProgramThread program(device(), &RunMainWindow);
    ASSERT_TRUE(device().automation().WaitForChange(0, Deadline(10000)).has_window);
    HANDLE abort = CreateEventW(nullptr, FALSE, FALSE, u"UNPACK_DATA_ABORT");

    auto entry = OwnEntry();
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->pid, ::getpid());
    EXPECT_EQ(entry->program, u"\\Storage Card\\Upgrade\\KEPLA.exe");
    ASSERT_EQ(entry->windows.size(), 1u) << "top-level windows only, no menu bars or controls";
    EXPECT_EQ(entry->windows[0].window_class, kClass);
    EXPECT_EQ(entry->windows[0].title, kTitle);
    EXPECT_EQ(entry->events, std::vector<std::u16string>{u"UNPACK_DATA_ABORT"});
    EXPECT_FALSE(fs::exists(Own(".json.tmp")));

    HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(entry->windows[0].hwnd));
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.Finish(), 7);
    CloseHandle(abort);
    entry = OwnEntry();
    ASSERT_TRUE(entry);
    EXPECT_TRUE(entry->windows.empty());
    EXPECT_TRUE(entry->events.empty());

    // This process never finds itself through the run folder.
    EXPECT_FALSE(device().run_folder().FindRemoteWindow(nullptr, nullptr));
  }
  device_.reset();
  EXPECT_FALSE(fs::exists(Own(".json")));
  EXPECT_FALSE(fs::exists(Own(".sock")));
}

TEST_F(RunFolderTest, EntriesOfDeadProgramsAreIgnoredAndRemoved) {
  // A program that has exited...
  ChildProcess gone("/bin/true", {});
  ASSERT_TRUE(gone.started());
  ASSERT_EQ(gone.Wait(10s), 0);
  const int dead = gone.pid();
  LeaveEntry(dead, u"UNPACK_DATA_ABORT");
  std::ofstream(run() / (std::to_string(dead) + ".sock")).put('x');
  std::ofstream(run() / (std::to_string(dead) + ".json.tmp")).put('{');
  // ...and a live process whose socket nobody serves (a pid reused after a crash).
  const int reused = ::getppid();
  LeaveEntry(reused, u"UNPACK_DATA_ABORT");
  ASSERT_TRUE(wce::ListenUnix(run() / (std::to_string(reused) + ".sock"), nullptr).valid());
  std::ofstream(run() / "notes.txt") << "not ours";

  Boot(false);
  DeviceThreadGuard guard;
  wce::RunFolder& runs = device().run_folder();
  EXPECT_FALSE(runs.FindRemoteWindow(&kClass, &kTitle));
  EXPECT_FALSE(runs.RemoteEventExists(u"UNPACK_DATA_ABORT"));
  EXPECT_FALSE(runs.SetRemoteEvent(u"UNPACK_DATA_ABORT"));
  EXPECT_FALSE(runs.IsRemoteWindowAlive(wce::RemoteWindow{reused, 0x20001}));
  EXPECT_FALSE(runs.SendRemote(wce::RemoteWindow{reused, 0x20001}, WM_CLOSE, 0, 0, nullptr));
  EXPECT_EQ(FindWindowW(kClass.c_str(), kTitle.c_str()), nullptr);
  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, u"UNPACK_DATA_ABORT"), nullptr);

  for (const char* ext : {".json", ".sock", ".json.tmp"}) {
    EXPECT_FALSE(fs::exists(run() / (std::to_string(dead) + ext))) << ext;
    EXPECT_FALSE(fs::exists(run() / (std::to_string(reused) + ext))) << ext;
  }
  EXPECT_TRUE(fs::exists(run() / "notes.txt")) << "files that are no entries are left alone";
  std::string error;
  EXPECT_FALSE(wce::RunFolder::SignalEventInFolder(folder_.path(), u"UNPACK_DATA_ABORT", &error));
  EXPECT_NE(error.find("no program is running"), std::string::npos) << error;
}

TEST_F(RunFolderTest, PublishingClearsWhatDeadProgramsLeft) {
  ChildProcess gone("/bin/true", {});
  ASSERT_EQ(gone.Wait(10s), 0);
  LeaveEntry(gone.pid(), u"X");
  Boot(true);
  EXPECT_FALSE(fs::exists(run() / (std::to_string(gone.pid()) + ".json")));
  EXPECT_TRUE(wce::RunFolder::ListPrograms(folder_.path()).empty()) << "this process is excluded";
}

// ---- With a second program running on the same device
// --------------------------------------------

ChildProcess Helper(const std::string& mode, const std::string& folder,
                    const std::vector<std::string>& args) {
  std::vector<std::string> all{mode, folder};
  all.insert(all.end(), args.begin(), args.end());
  return ChildProcess(KEPLA_WINCE_TEST_HELPER, all);
}

TEST_F(RunFolderTest, AnotherProgramClosesThisProgramsWindow) {
  Boot(true, wce::ClockMode::kReal);
  DeviceThreadGuard guard;
  ProgramThread program(device(), &RunMainWindow);
  ASSERT_TRUE(device().automation().WaitForChange(0, Deadline(10000)).has_window);

  // What "uninstall" does from a second process: FindWindowW + SendMessageW(WM_CLOSE).
  ChildProcess closer = Helper("close", folder(), {"KEPLA_WINDOW_CLASS", "ZQV"});
  EXPECT_EQ(closer.Wait(20s), 0) << "found the window, and it was gone after the send";
  EXPECT_EQ(program.Finish(20000), 7);

  ChildProcess again = Helper("close", folder(), {"KEPLA_WINDOW_CLASS", "ZQV"});
  EXPECT_EQ(again.Wait(20s), 1) << "nothing left to close";
}

TEST_F(RunFolderTest, ThisProgramClosesAnotherProgramsWindow) {
  Boot(false, wce::ClockMode::kReal);
  DeviceThreadGuard guard;
  ChildProcess other = Helper("window", folder(), {"KEPLA_WINDOW_CLASS", "ZQV"});
  ASSERT_TRUE(other.WaitForLine("ready", 20s));

  EXPECT_EQ(FindWindowW(u"KEPLA_WINDOW_CLASS", u"Other title"), nullptr);
  HWND remote = FindWindowW(u"kepla_window_class", u"zqv");
  ASSERT_NE(remote, nullptr) << "class names and titles match without regard to case";
  EXPECT_TRUE(IsWindow(remote));
  SendMessageW(remote, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(remote)) << "the send returned after the window was handled";
  EXPECT_EQ(other.Wait(20s), 0);
}

// Ends its dialog at once: a dialog that should not have been made returns 5 instead of waiting.
INT_PTR CALLBACK EndAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) EndDialog(dialog, 5);
  return message == WM_INITDIALOG;
}

// Dismisses the message boxes this process has open (one that should not have been opened).
void CALLBACK DismissBoxes(HWND, UINT, UINT_PTR, DWORD) {
  wce::Device& device = wce::Device::Get();
  std::vector<wce::MessageBoxInfo> boxes;
  {
    wce::MutexLock lock(device.scheduler().mutex());
    boxes = device.windows().view().MessageBoxesLocked();
  }
  for (const wce::MessageBoxInfo& box : boxes) PostMessageW(box.hwnd, WM_COMMAND, IDOK, 0);
}

TEST_F(RunFolderTest, AnotherProgramsWindowTakesOnlyMessagesWithoutPointers) {
  Boot(false, wce::ClockMode::kReal);
  DeviceThreadGuard guard;
  ChildProcess other = Helper("window", folder(), {"KEPLA_WINDOW_CLASS", "ZQV"});
  ASSERT_TRUE(other.WaitForLine("ready", 20s));
  HWND remote = FindWindowW(u"KEPLA_WINDOW_CLASS", u"ZQV");
  ASSERT_NE(remote, nullptr);

  // The text calls would hand it an address of this process: to them it is no window.
  WCHAR text[64] = u"untouched";
  SetLastError(0);
  EXPECT_EQ(GetWindowTextW(remote, text, 64), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(SetWindowTextW(remote, u"Renamed"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0);
  EXPECT_EQ(GetWindowTextLengthW(remote), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

  // Sent as such, a message that may carry a pointer is refused before it leaves.
  struct Message {
    UINT message;
    WPARAM wparam;
    LPARAM lparam;
  };
  const Message refused[] = {
      {WM_GETTEXT, 64, reinterpret_cast<LPARAM>(text)},
      {WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Renamed")},
      {WM_SETTEXT, 0, 0},
      {WM_APP, 1, 2},
      {WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(remote)},  // a control handle
  };
  for (const Message& m : refused) {
    SCOPED_TRACE(m.message);
    SetLastError(0);
    EXPECT_EQ(SendMessageW(remote, m.message, m.wparam, m.lparam), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_EQ(std::u16string(text), u"untouched");
  // The pointer-free ones are carried.
  SetLastError(0);
  EXPECT_EQ(SendMessageW(remote, WM_NULL, 0, 0), 0);
  EXPECT_EQ(SendMessageW(remote, WM_COMMAND, IDOK, 0), 0);
  EXPECT_EQ(GetLastError(), 0u);
  EXPECT_EQ(FindWindowW(u"KEPLA_WINDOW_CLASS", u"ZQV"), remote) << "its title is unchanged";

  // Nor does it own anything of this process, or become a dialog of it.
  const UINT_PTR safety = SetTimer(nullptr, 0, 100, &DismissBoxes);
  SetLastError(0);
  EXPECT_EQ(MessageBoxW(remote, u"Text", u"Caption", MB_OK), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  KillTimer(nullptr, safety);
  HINSTANCE resources = device().modules().Add(kepla::TestResources());
  HRSRC found = FindResourceW(resources, MAKEINTRESOURCEW(IDD_T_PAGE), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  auto* page = static_cast<const DLGTEMPLATE*>(LoadResource(resources, found));
  SetLastError(0);
  EXPECT_EQ(DialogBoxIndirectParamW(resources, page, remote, &EndAtOnce, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SHINITDLGINFO init{SHIDIM_FLAGS, remote, SHIDIF_SIZEDLGFULLSCREEN};
  SetLastError(0);
  EXPECT_FALSE(SHInitDialog(&init));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SHMENUBARINFO bar{};
  bar.cbSize = sizeof(bar);
  bar.hwndParent = remote;
  bar.dwFlags = SHCMBF_HMENU;
  bar.nToolBarId = IDM_T_SOFTKEYS;
  bar.hInstRes = resources;
  SetLastError(0);
  EXPECT_FALSE(SHCreateMenuBar(&bar));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

  EXPECT_TRUE(IsWindow(remote));
  SendMessageW(remote, WM_CLOSE, 0, 0);
  EXPECT_EQ(other.Wait(20s), 0) << "the other program ran on and closed when asked";
}

TEST_F(RunFolderTest, TheSocketPassesOnlyPointerFreeMessagesToThisProgramsOwnWindows) {
  Boot(true, wce::ClockMode::kReal);
  DeviceThreadGuard guard;
  ProgramThread program(device(), &RunMainWindow);
  ASSERT_TRUE(device().automation().WaitForChange(0, Deadline(10000)).has_window);
  auto entry = OwnEntry();
  ASSERT_TRUE(entry);
  ASSERT_EQ(entry->windows.size(), 1u);
  const std::uint64_t mine = entry->windows[0].hwnd;
  auto send = [](std::uint64_t hwnd, UINT message, LPARAM lparam) {
    wce::RunRequest request;
    request.op = wce::RunRequest::Op::kSend;
    request.hwnd = hwnd;
    request.msg = message;
    request.lparam = lparam;
    return request;
  };

  // Whoever writes to the socket: a message whose wParam or lParam may be an address never
  // reaches the window procedure (WM_SETTEXT with a null text would empty the title).
  for (UINT message : {WM_SETTEXT, WM_GETTEXT, WM_APP}) {
    SCOPED_TRACE(message);
    auto reply = AskOwnSocket(send(mine, message, 0));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(reply->ok);
    EXPECT_EQ(reply->result, 0);
  }
  auto command = AskOwnSocket(send(mine, WM_COMMAND, 0x1234));
  ASSERT_TRUE(command);
  EXPECT_FALSE(command->ok) << "WM_COMMAND only with lParam 0";
  WCHAR title[16] = {};
  HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(mine));
  EXPECT_EQ(GetWindowTextW(hwnd, title, 16), 3);
  EXPECT_EQ(std::u16string(title), kTitle);

  // A handle that stands here for another program's window is not passed on to that program.
  ChildProcess other = Helper("window", folder(), {"HELPER_CLASS", "Helper"});
  ASSERT_TRUE(other.WaitForLine("ready", 20s));
  HWND proxy = FindWindowW(u"HELPER_CLASS", u"Helper");
  ASSERT_NE(proxy, nullptr);
  const auto proxy_value = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(proxy));
  wce::RunRequest is_window;
  is_window.op = wce::RunRequest::Op::kIsWindow;
  is_window.hwnd = proxy_value;
  auto alive = AskOwnSocket(is_window);
  ASSERT_TRUE(alive);
  EXPECT_FALSE(alive->ok);
  auto relayed = AskOwnSocket(send(proxy_value, WM_CLOSE, 0));
  ASSERT_TRUE(relayed);
  EXPECT_FALSE(relayed->ok);
  EXPECT_TRUE(IsWindow(proxy)) << "the other program's window is still there";
  SendMessageW(proxy, WM_CLOSE, 0, 0);
  EXPECT_EQ(other.Wait(20s), 0);

  // What may cross still does: the way "uninstall" closes the running copy.
  auto closed = AskOwnSocket(send(mine, WM_CLOSE, 0));
  ASSERT_TRUE(closed);
  EXPECT_TRUE(closed->ok);
  EXPECT_EQ(program.Finish(20000), 7);
}

TEST_F(RunFolderTest, AnotherProgramSetsThisProgramsNamedEvent) {
  Boot(true, wce::ClockMode::kReal);
  DeviceThreadGuard guard;
  HANDLE abort = CreateEventW(nullptr, FALSE, FALSE, u"UNPACK_DATA_ABORT");
  ASSERT_NE(abort, nullptr);
  EXPECT_EQ(WaitForSingleObject(abort, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  ChildProcess signal = Helper("signal", folder(), {"UNPACK_DATA_ABORT"});
  EXPECT_EQ(signal.Wait(20s), 0);
  EXPECT_EQ(WaitForSingleObject(abort, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(abort, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "auto-reset";

  ChildProcess missing = Helper("signal", folder(), {"UNPACK_DATA_FAIL"});
  EXPECT_EQ(missing.Wait(20s), 1);
  CloseHandle(abort);
  ChildProcess closed = Helper("signal", folder(), {"UNPACK_DATA_ABORT"});
  EXPECT_EQ(closed.Wait(20s), 1) << "the event went with its last handle";
}

TEST_F(RunFolderTest, OpenEventReachesAnotherProgramsEvent) {
  Boot(false, wce::ClockMode::kReal);
  DeviceThreadGuard guard;
  ChildProcess other = Helper("event", folder(), {"UNPACK_DATA_ABORT"});
  ASSERT_TRUE(other.WaitForLine("ready", 20s));

  EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, u"UNPACK_DATA_FAIL"), nullptr);
  HANDLE abort = OpenEventW(EVENT_ALL_ACCESS, FALSE, u"UNPACK_DATA_ABORT");
  ASSERT_NE(abort, nullptr);
  EXPECT_TRUE(SetEvent(abort));
  EXPECT_EQ(other.Wait(20s), 0) << "the other program's wait ended by the event";
  CloseHandle(abort);
}

TEST_F(RunFolderTest, CrashedProgramLeavesNothingThatFoolsTheNext) {
  Boot(false, wce::ClockMode::kReal);
  DeviceThreadGuard guard;
  ChildProcess other = Helper("window", folder(), {"KEPLA_WINDOW_CLASS", "ZQV"});
  ASSERT_TRUE(other.WaitForLine("ready", 20s));
  const std::string pid = std::to_string(other.pid());
  ASSERT_EQ(wce::RunFolder::ListPrograms(folder_.path()).size(), 1u);

  ASSERT_EQ(::kill(other.pid(), SIGKILL), 0);
  EXPECT_EQ(other.Wait(20s), 128 + SIGKILL);
  ASSERT_TRUE(fs::exists(run() / (pid + ".json"))) << "a killed program cleans up nothing";

  EXPECT_EQ(FindWindowW(u"KEPLA_WINDOW_CLASS", u"ZQV"), nullptr);
  EXPECT_FALSE(fs::exists(run() / (pid + ".json")));
  EXPECT_FALSE(fs::exists(run() / (pid + ".sock")));
  EXPECT_TRUE(wce::RunFolder::ListPrograms(folder_.path()).empty());
}

// A file another program on the device holds open keeps its share mode and its protection from
// deletion here, as on the device's one kernel; once that program is gone (killed, here), so
// are its opens.
TEST_F(RunFolderTest, FileOpenInAnotherProgramKeepsItsShareModeHere) {
  std::filesystem::create_directories(folder_.path() / "fs" / "Storage Card");
  std::ofstream(folder_.path() / "fs" / "Storage Card" / "image.bin") << "image";
  Boot(false, wce::ClockMode::kReal);
  DeviceThreadGuard guard;
  const char16_t kImage[] = u"\\Storage Card\\image.bin";
  ChildProcess other = Helper("hold", folder(), {"\\Storage Card\\image.bin", "write", "write"});
  ASSERT_TRUE(other.WaitForLine("ready", 20s));

  EXPECT_FALSE(DeleteFileW(kImage));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(
      CreateFileW(kImage, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
      INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(
      CreateFileW(kImage, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr),
      INVALID_HANDLE_VALUE);
  // An open that shares what the other asked for, and asks for what it shares, is let in.
  HANDLE shared = CreateFileW(kImage, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(shared, INVALID_HANDLE_VALUE);
  CloseHandle(shared);

  ASSERT_EQ(::kill(other.pid(), SIGKILL), 0);
  EXPECT_EQ(other.Wait(20s), 128 + SIGKILL);
  EXPECT_TRUE(DeleteFileW(kImage));
}

}  // namespace
