// A second program on a simulated device, for the layer's cross-process tests.
//
//   wince_test_helper window DIR CLASS TITLE   shows a window; exits 0 once it has been closed
//   wince_test_helper event DIR NAME           makes a named event; exits 0 once it is set
//   wince_test_helper close DIR CLASS TITLE    FindWindowW + SendMessageW(WM_CLOSE): 0 when a
//   window
//                                              was found and is gone afterwards, 1 when none was
//   wince_test_helper signal DIR NAME          sets a named event with no device booted: 0 if set
//   wince_test_helper hold DIR PATH ACCESS SHARE  opens the device file PATH (ACCESS "read" or
//                                              "write", SHARE "none", "read" or "write") and
//                                              holds it open; exits 1 if it cannot be opened
//
// "window", "event" and "hold" print "ready" once their window, event or open file can be seen
// by other processes, and give up with exit code 3 after 20 s of device (real) time.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <wince/host_device.h>
#include <wince/utf.h>
#include <wince/running_programs.h>

namespace {

constexpr DWORD kGiveUpMs = 20000;
std::vector<std::u16string> g_args;  // mode-specific arguments after DIR

void Ready() {
  std::printf("ready\n");
  std::fflush(stdout);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(3); }

int ShowWindowUntilClosed(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = g_args[0].c_str();
  if (RegisterClassW(&wc) == 0) return 10;
  HWND hwnd =
      CreateWindowW(g_args[0].c_str(), g_args[1].c_str(), WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 11;
  SetTimer(nullptr, 0, kGiveUpMs, GiveUp);
  Ready();
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0)) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}

int WaitForEvent(HINSTANCE, HINSTANCE, LPWSTR, int) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, g_args[0].c_str());
  if (event == nullptr) return 10;
  Ready();
  const DWORD result = WaitForSingleObject(event, kGiveUpMs);
  CloseHandle(event);
  return result == WAIT_OBJECT_0 ? 0 : 3;
}

int CloseWindowOfOtherProgram(HINSTANCE, HINSTANCE, LPWSTR, int) {
  HWND hwnd = FindWindowW(g_args[0].c_str(), g_args[1].c_str());
  if (hwnd == nullptr) return 1;
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  return IsWindow(hwnd) ? 4 : 0;
}

int HoldFileOpen(HINSTANCE, HINSTANCE, LPWSTR, int) {
  const DWORD access = g_args[1] == u"write" ? GENERIC_WRITE : GENERIC_READ;
  const DWORD share = g_args[2] == u"write"  ? FILE_SHARE_WRITE
                      : g_args[2] == u"read" ? FILE_SHARE_READ
                                             : 0;
  HANDLE file = CreateFileW(g_args[0].c_str(), access, share, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  Ready();
  Sleep(kGiveUpMs);
  CloseHandle(file);
  return 3;
}

int RunOnDevice(const std::string& folder, wce::HostDevice::EntryPoint entry) {
  wce::DeviceOptions options;
  options.folder = folder;
  options.clock = wce::ClockSpec{wce::ClockMode::kReal, 1.0};
  std::string error;
  auto device = wce::HostDevice::Boot(options, &error);
  if (!device) {
    std::fprintf(stderr, "wince_test_helper: %s\n", error.c_str());
    return 12;
  }
  return device->RunProgram(entry, u"");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: wince_test_helper window|event|close|signal DIR ARGS...\n");
    return 2;
  }
  const std::string mode = argv[1];
  const std::string folder = argv[2];
  for (int i = 3; i < argc; ++i) {
    std::u16string arg;
    if (!wce::Utf8ToUtf16(argv[i], &arg)) return 2;
    g_args.push_back(std::move(arg));
  }
  const bool two = g_args.size() >= 2;
  if (mode == "window" && two) return RunOnDevice(folder, ShowWindowUntilClosed);
  if (mode == "close" && two) return RunOnDevice(folder, CloseWindowOfOtherProgram);
  if (mode == "event") return RunOnDevice(folder, WaitForEvent);
  if (mode == "hold" && g_args.size() >= 3) return RunOnDevice(folder, HoldFileOpen);
  if (mode == "signal") {
    std::string error;
    if (wce::SignalRunningPrograms(folder, g_args[0], &error)) return 0;
    std::fprintf(stderr, "wince_test_helper: %s\n", error.c_str());
    return 1;
  }
  return 2;
}
