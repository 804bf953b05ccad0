// The session and the script driver around stand-in programs: what the kepla program does with
// the program's end, a stuck script and the transcript, without the wizard.
#include "sim/session.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "sim/driver.h"
#include "sim/stop_request.h"
#include "sim/transcript.h"
#include "support/scratch_dir.h"

namespace kepla {
namespace {

using kepla_test::ScratchDir;
using nlohmann::json;

int WINAPI ReturnsLineLength(HINSTANCE, HINSTANCE, LPWSTR line, int) {
  return static_cast<int>(wcslen(line));
}

int WINAPI SleepsForever(HINSTANCE, HINSTANCE, LPWSTR, int) {
  Sleep(INFINITE);
  return 0;
}

// Waits ten device seconds, then ends: the script driver's wait for the end is counted in
// device time.
int WINAPI SleepsTenSeconds(HINSTANCE, HINSTANCE, LPWSTR, int) {
  Sleep(10000);
  return static_cast<int>(GetTickCount() / 1000);
}

// A window closed, five device seconds in, by a thread other than its own, as `kepla --
// uninstall` from another process closes the wizard's window; ends with 7 once it is gone.
LRESULT CALLBACK QuitsWhenDestroyed(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(7);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
DWORD WINAPI ClosesAfterFiveSeconds(void* window) {
  Sleep(5000);
  SendMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0);
  return 0;
}
int WINAPI ClosedFromOutside(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = QuitsWhenDestroyed;
  wc.hInstance = instance;
  wc.lpszClassName = u"Closable";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, u"Closable", u"Closable", WS_VISIBLE, 0, 0, 100, 100, NULL, NULL,
                                instance, NULL);
  CloseHandle(CreateThread(NULL, 0, ClosesAfterFiveSeconds, window, 0, NULL));
  MSG msg;
  while (GetMessageW(&msg, NULL, 0, 0)) DispatchMessageW(&msg);
  return static_cast<int>(msg.wParam);
}

// Has a thread at work on something that never ends when a signal reaches kepla.
StopRequest* g_stop = nullptr;
DWORD WINAPI WorksForever(void*) {
  Sleep(INFINITE);
  return 0;
}
int WINAPI SignalledWhileAtWork(HINSTANCE, HINSTANCE, LPWSTR, int) {
  CloseHandle(CreateThread(NULL, 0, WorksForever, NULL, 0, NULL));
  g_stop->Request(SIGTERM);
  Sleep(INFINITE);
  return 0;
}

std::vector<json> Lines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(json::parse(line));
  return lines;
}

class SessionTest : public testing::Test {
 protected:
  SessionOptions Options(wce::HostDevice::EntryPoint entry) {
    SessionOptions options;
    options.device_folder = dir_.path();
    options.clock = wce::ClockSpec{wce::ClockMode::kVirtual, 1.0};
    options.entry = entry;
    return options;
  }
  std::vector<ScriptStep> Script(const char* text) {
    std::string error;
    auto steps = ParseScript(text, &error);
    EXPECT_TRUE(steps) << error;
    return steps.value_or(std::vector<ScriptStep>{});
  }

  ScratchDir dir_;
  std::ostringstream err_;
};

TEST_F(SessionTest, ReturnsTheProgramsExitCodeAndPassesItsCommandLine) {
  SessionOptions options = Options(&ReturnsLineLength);
  options.command_line = u"install now";
  std::ostringstream out;
  Transcript transcript(&out);
  options.transcript = &transcript;
  ScriptDriver driver({}, 1000, &transcript);
  EXPECT_EQ(RunSession(options, driver, err_), 11);
  EXPECT_EQ(err_.str(), "");
  auto lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 1u) << out.str();
  EXPECT_EQ(lines[0]["type"], "exit");
  EXPECT_EQ(lines[0]["code"], 11);
  EXPECT_FALSE(lines[0].contains("stopped"));
}

TEST_F(SessionTest, ActionNeverOfferedStopsTheProgramAfterTheTimeOutInDeviceTime) {
  SessionOptions options = Options(&SleepsForever);
  std::ostringstream out;
  Transcript transcript(&out);
  options.transcript = &transcript;
  ScriptDriver driver(Script("left"), 30000, &transcript);
  EXPECT_EQ(RunSession(options, driver, err_), kExitStuck);
  EXPECT_EQ(err_.str().rfind("kepla: action 1 \"left\" was not offered within 30 s of device "
                             "time; the screen showed:\n",
                             0),
            0u)
      << err_.str();
  auto lines = Lines(out.str());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back()["type"], "exit");
  EXPECT_EQ(lines.back()["t"], 30000);
  EXPECT_EQ(lines.back()["stopped"], true);
}

TEST_F(SessionTest, ProgramThatEndsFirstIsReported) {
  ScriptDriver driver(Script("wait:10,ok"), 5000, nullptr);
  EXPECT_EQ(RunSession(Options(&ReturnsLineLength), driver, err_), kExitStuck);
  EXPECT_EQ(err_.str().rfind("kepla: the program ended before action 2 \"ok\" was offered", 0), 0u)
      << err_.str();
}

TEST_F(SessionTest, WaitsForTheEndWithinTheTimeOut) {
  ScriptDriver patient({}, 10001, nullptr);
  EXPECT_EQ(RunSession(Options(&SleepsTenSeconds), patient, err_), 10);

  ScriptDriver hasty({}, 9999, nullptr);
  EXPECT_EQ(RunSession(Options(&SleepsTenSeconds), hasty, err_), kExitStuck);
  EXPECT_NE(err_.str().find("the program did not end within 9.999 s of device time after the "
                            "last action"),
            std::string::npos)
      << err_.str();
}

TEST_F(SessionTest, WaitStepsLetDeviceTimePass) {
  std::ostringstream out;
  Transcript transcript(&out);
  SessionOptions options = Options(&SleepsTenSeconds);
  options.transcript = &transcript;
  ScriptDriver driver(Script("wait:4000,wait:2500"), 5000, &transcript);
  EXPECT_EQ(RunSession(options, driver, err_), 10) << err_.str();
  auto lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 3u) << out.str();
  EXPECT_EQ(lines[0], json::parse(R"({"t":4000,"type":"action","action":"wait:4000"})"));
  EXPECT_EQ(lines[1], json::parse(R"({"t":6500,"type":"action","action":"wait:2500"})"));
  EXPECT_EQ(lines[2]["t"], 10000);
}

// The program runs on while the script waits: what another thread (another process) sends it
// is handled, and a program closed meanwhile ends the wait with it, not 40 s later.
TEST_F(SessionTest, ProgramClosedDuringAWaitEndsTheRunAtOnce) {
  std::ostringstream out;
  Transcript transcript(&out);
  SessionOptions options = Options(&ClosedFromOutside);
  options.transcript = &transcript;
  ScriptDriver driver(Script("wait:40000,right"), 60000, &transcript);
  EXPECT_EQ(RunSession(options, driver, err_), kExitStuck);
  EXPECT_EQ(err_.str().rfind("kepla: the program ended before action 2 \"right\" was offered", 0),
            0u)
      << err_.str();
  auto lines = Lines(out.str());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back()["type"], "exit");
  EXPECT_EQ(lines.back()["code"], 7);
  EXPECT_EQ(lines.back()["t"], 5000) << out.str();
  EXPECT_FALSE(lines.back().contains("stopped")) << "it ended by itself";
}

// A signal ends the run as quitting the screen does: the program is stopped, the card is
// reported, the transcript ends with an exit record naming the signal, and the status is 128 +
// the signal.
TEST_F(SessionTest, SignalStopsTheProgramAndEndsWith128PlusTheSignal) {
  StopRequest stop;
  g_stop = &stop;
  std::ostringstream out;
  Transcript transcript(&out);
  SessionOptions options = Options(&SignalledWhileAtWork);
  options.transcript = &transcript;
  options.stop = &stop;
  ScriptDriver driver(Script("wait:40000,right"), 60000, &transcript);
  EXPECT_EQ(RunSession(options, driver, err_), 128 + SIGTERM);
  g_stop = nullptr;
  EXPECT_EQ(err_.str(), "kepla: stopped by SIGTERM while the program was at work\n");
  auto lines = Lines(out.str());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back()["type"], "exit");
  EXPECT_EQ(lines.back()["t"], 0) << out.str();
  EXPECT_EQ(lines.back()["stopped"], true);
  EXPECT_EQ(lines.back()["signal"], "SIGTERM");
}

TEST_F(SessionTest, BrokenProfileIsAUsageError) {
  dir_.Write("device.json", "{\"display\": {\"rotation\": 45}}");
  ScriptDriver driver({}, 1000, nullptr);
  EXPECT_EQ(RunSession(Options(&ReturnsLineLength), driver, err_), kExitUsage);
  EXPECT_EQ(err_.str(), "kepla: " + (dir_ / "device.json").string() +
                            ": display.rotation: must be 0, 90, 180 or 270\n");
}

}  // namespace
}  // namespace kepla
