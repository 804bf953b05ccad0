// The built kepla and kepla-device programs, run as a person or a script would run them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "sim/demo_package.h"
#include "support/scratch_dir.h"
#include "support/sim_process.h"
#include "tools/package_file.h"

namespace kepla {
namespace {

using kepla_test::ProcessResult;
using kepla_test::RunProcess;
using kepla_test::ScratchDir;
using kepla_test::SimProgram;
using nlohmann::json;
namespace fs = std::filesystem;

std::vector<json> JsonLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(json::parse(line));
  return lines;
}

bool OneLine(const std::string& text) {
  return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
}

class KeplaProgramsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(SimProgram("kepla"))) << "build the kepla target first";
    ASSERT_TRUE(fs::exists(SimProgram("kepla-device"))) << "build the kepla-device target first";
  }
  ProcessResult Kepla(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {}) {
    return RunProcess(SimProgram("kepla"), args, dir_.path(), env);
  }
  ProcessResult Device(const std::vector<std::string>& args) {
    return RunProcess(SimProgram("kepla-device"), args, dir_.path());
  }
  std::string MakeDemo() {
    const std::string device = (dir_ / "phone").string();
    const ProcessResult init = Device({"init", device, "--demo"});
    EXPECT_EQ(init.status, 0) << init.err;
    return device;
  }

  ScratchDir dir_;
};

TEST_F(KeplaProgramsTest, ScriptedRunPreparesTheImageAndRecordsEveryPage) {
  const std::string device = MakeDemo();
  const std::string transcript = (dir_ / "t.jsonl").string();
  const ProcessResult run = Kepla({"--device", device, "--script", "left,left,right",
                                   "--transcript", transcript, "--clock", "virtual"});
  ASSERT_FALSE(run.timed_out);
  EXPECT_EQ(run.status, 16) << run.err;
  EXPECT_EQ(run.err, "");

  std::vector<json> lines = JsonLines(dir_.Read("t.jsonl"));
  ASSERT_FALSE(lines.empty());
  std::vector<int> templates;
  std::vector<std::string> actions;
  std::string texts;
  int last_progress = -1;
  std::uint64_t last_t = 0;
  json last_screen;
  for (const json& line : lines) {
    EXPECT_GE(line["t"].get<std::uint64_t>(), last_t) << line;
    last_t = line["t"];
    if (line["type"] == "screen") {
      last_screen = line;
      if (templates.empty() || templates.back() != line["template"]) {
        templates.push_back(line["template"]);
      }
      for (const json& c : line["controls"]) texts += c["text"].get<std::string>() + "\n";
    } else if (line["type"] == "action") {
      actions.push_back(line["action"]);
      // The screen written last is the one the press answered: it offers that key.
      ASSERT_TRUE(last_screen.is_object()) << "a press before any screen";
      const int key = line["action"] == "left" ? 0 : 1;
      EXPECT_EQ(last_screen["softKeys"][key]["enabled"], true) << last_screen;
    } else if (line["type"] == "progress") {
      EXPECT_GE(line["pos"].get<int>(), last_progress);
      last_progress = line["pos"];
    }
  }
  EXPECT_EQ(templates.size(), 3u) << "three pages, one after the other";
  EXPECT_EQ(actions, (std::vector<std::string>{"left", "left", "right"}));
  for (const char* text :
       {"Your device will be upgraded:", "1.20.407.1", "Click Next to continue or Cancel to exit.",
        "Preparing data, please wait", "Volume Down"}) {
    EXPECT_NE(texts.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(last_progress, 100);
  EXPECT_EQ(lines.back()["type"], "exit");
  EXPECT_EQ(lines.back()["code"], 16);
  EXPECT_GE(lines.back()["t"].get<int>(), 10000)
      << "the preparation takes about 11 s of device time";

  // The image on the card is the package's image, byte for byte.
  std::uint64_t first_difference = 0;
  std::string error;
  EXPECT_EQ(pkg::VerifyImage(fs::path(device) / "fs/Storage Card/Upgrade" / kDemoPackageName,
                             fs::path(device) / "fs/Storage Card/407_QMR_SD.bin", &first_difference,
                             &error),
            pkg::Verdict::kSame)
      << error << " at " << first_difference;
}

TEST_F(KeplaProgramsTest, UnofferedActionExitsThreeAndShowsTheScreen) {
  const std::string device = MakeDemo();
  const ProcessResult run =
      Kepla({"--device", device, "--script", "ok", "--timeout", "5", "--clock", "virtual"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("action 1 \"ok\" was not offered within 5 s of device time"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("soft keys: left \"Next\", right \"Cancel\""), std::string::npos)
      << run.err;
}

TEST_F(KeplaProgramsTest, UsageAndDeviceErrorsExitTwoWithOneLine) {
  const std::string device = MakeDemo();
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{"--device", device, "--script", "left", "--clock", "slow"},
       "kepla: --clock slow: must be real, xN (N from 0.001 to 1000) or virtual\n"},
      // A clock that would never let the run end, and texts that only start like a number.
      {{"--device", device, "--script", "left", "--clock", "x1e-9"}, "kepla: --clock x1e-9: "},
      {{"--device", device, "--script", "left", "--clock", "x0x10"}, "kepla: --clock x0x10: "},
      {{"--device", device, "--script", "left", "--clock", "x 5"}, "kepla: --clock x 5: "},
      {{"--device", device, "--script", "left", "--timeout", "0.0001"},
       "kepla: --timeout: must be from 0.001 to 86400 seconds\n"},
      {{"--device", "", "--script", "left"}, "kepla: --device: is empty"},
      {{"--device", device, "--script-file", "/dev/zero"},
       "kepla: /dev/zero: is a character device, not a regular file\n"},
      {{"--device", device, "--script", "left,hop"}, "kepla: script: action 2, \"hop\": unknown"},
      {{"--device", device, "--script", "left", "--script-file", "x"}, "kepla: "},
      {{"--device", device, "--script", "left", "--timeout", "0"}, "kepla: --timeout: "},
      {{"--device", (dir_ / "none").string(), "--script", "left"},
       "kepla: " + (dir_ / "none").string() + ": no such device folder"},
      {{"--device", device + "/device.json", "--script", "left"},
       "kepla: " + device + "/device.json: not a folder"},
      // The user's path is escaped, and the command offered takes it as one argument.
      {{"--device", "-new\nphone", "--script", "left"},
       "kepla: -new\\nphone: no such device folder (make one with: kepla-device init -- "
       "'-new\\nphone')\n"},
      {{"--device", device}, "kepla: the device screen needs a terminal"},
      {{"--bogus"}, "kepla: "},
  };
  for (const Case& c : cases) {
    const ProcessResult run = Kepla(c.args);
    EXPECT_EQ(run.status, 2) << c.expected;
    EXPECT_EQ(run.err.rfind(c.expected, 0), 0u) << run.err;
    EXPECT_TRUE(OneLine(run.err)) << run.err;
  }

  // What Wine cannot do is refused before anything runs.
  const std::vector<Case> wine_cases = {
      {{"--platform", "wine", "--device", device, "--script", "left", "--clock", "virtual"},
       "kepla: --clock virtual: --platform wine runs on real time only"},
      {{"--platform", "wine", "--device", device, "--script", "rotate:90"},
       "kepla: \"rotate:90\": --platform wine cannot turn a desktop display"},
      {{"--platform", "dos", "--device", device, "--script", "left"}, "kepla: --platform: "},
  };
  for (const Case& c : wine_cases) {
    const ProcessResult run = Kepla(c.args);
    EXPECT_EQ(run.status, 2) << c.expected;
    EXPECT_EQ(run.err.rfind(c.expected, 0), 0u) << run.err;
    EXPECT_TRUE(OneLine(run.err)) << run.err;
  }
  for (const char* profile : {"{\"faults\": [{\"kind\": \"threadCreateFails\", \"count\": 1}]}",
                              "{\"display\": {\"rotation\": 90}}", "{\"clock\": \"virtual\"}"}) {
    dir_.Write("phone/device.json", profile);
    const ProcessResult run = Kepla({"--platform", "wine", "--device", device, "--script", "left"});
    EXPECT_EQ(run.status, 2) << profile;
    EXPECT_NE(run.err.find("(use --platform sim)"), std::string::npos) << run.err;
    EXPECT_TRUE(OneLine(run.err)) << run.err;
  }

  dir_.Write("phone/device.json", "{\"battery\": {\"percent\": 300}}");
  const ProcessResult broken = Kepla({"--device", device, "--script", "left"});
  EXPECT_EQ(broken.status, 2);
  EXPECT_EQ(broken.err,
            "kepla: " + device + "/device.json: battery.percent: must be 0..100 or 255\n");
}

TEST_F(KeplaProgramsTest, WithoutADeviceTheDemoDeviceIsMadeAndUsed) {
  const std::map<std::string, std::string> env = {{"XDG_DATA_HOME", dir_.path().string()}};
  const ProcessResult run = Kepla({"--script", "left,left,right", "--clock", "virtual"}, env);
  EXPECT_EQ(run.status, 16) << run.err;
  const fs::path demo = dir_ / "kepla" / "demo";
  EXPECT_EQ(run.err,
            "kepla: using the demo device in " + demo.string() + " (made the demo device)\n");
  EXPECT_TRUE(fs::exists(demo / "fs/Storage Card/407_QMR_SD.bin"));
}

TEST_F(KeplaProgramsTest, ProgramArgumentsFollowTheDoubleDash) {
  const std::string device = MakeDemo();
  dir_.Write("phone/fs/Storage Card/407_QMR_SD.bin", "old image");
  // "install" with a prepared image deletes it and ends at once, with no window.
  const ProcessResult run =
      Kepla({"--device", device, "--script", "", "--clock", "virtual", "--", "install"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(fs::exists(fs::path(device) / "fs/Storage Card/407_QMR_SD.bin"));
}

// An installer calls the run modes that show no window with neither a terminal nor a script:
// they run to their end. A run that does show a window is stopped there, and says what it had
// done by then.
TEST_F(KeplaProgramsTest, RunModesThatShowNoWindowNeedNoTerminal) {
  const std::string device = MakeDemo();
  const std::string image = "phone/fs/Storage Card/407_QMR_SD.bin";
  dir_.Write(image, "old image");
  const ProcessResult install = Kepla({"--device", device, "--", "install"});
  EXPECT_EQ(install.status, 0) << install.err;
  EXPECT_EQ(install.err, "");
  EXPECT_FALSE(fs::exists(dir_ / image));
  const ProcessResult uninstall = Kepla({"--device", device, "--", "uninstall"});
  EXPECT_EQ(uninstall.status, 0) << uninstall.err;
  EXPECT_EQ(uninstall.err, "");

  // Any other run would show a window: it is refused before the program could delete the image.
  dir_.Write(image, "old image");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--device", device}, {"--device", device, "--", "Install"}}) {
    const ProcessResult wizard = Kepla(args);
    EXPECT_EQ(wizard.status, 2);
    EXPECT_EQ(wizard.err,
              "kepla: the device screen needs a terminal; run with --script ACTIONS to drive it "
              "headless; nothing was run\n");
    EXPECT_EQ(dir_.Read(image), "old image");
  }
}

// A transcript path that names a file the run needs is refused before anything is written, and
// so is one that would block; /dev/null takes a transcript, and /dev/full loses it, which the
// exit status says.
TEST_F(KeplaProgramsTest, TranscriptAndScriptFilesAreCheckedBeforeTheRun) {
  const std::string device = MakeDemo();
  const fs::path package = fs::path(device) / "fs/Storage Card/Upgrade" / kDemoPackageName;
  const std::uintmax_t package_size = fs::file_size(package);
  dir_.Write("script.txt", "left\n");
  dir_.Write("other-card/keep.txt", "kept");
  fs::create_symlink(fs::path(device) / "device.json", dir_ / "profile-link");
  fs::create_hard_link(package, dir_ / "package-copy");
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  const std::string profile = dir_.Read("phone/device.json");

  const std::vector<std::pair<std::string, std::string>> refused = {
      {device + "/device.json", "lies in the device folder"},
      {(dir_ / "profile-link").string(), "lies in the device folder"},
      {package.string(), "lies in the device folder"},
      {device + "/run/new.jsonl", "lies in the device folder"},
      {device, "lies in the device folder"},
      {(dir_ / "package-copy").string(), "is another name of"},
      {(dir_ / "script.txt").string(), "is the script file"},
      {(dir_ / "fifo").string(), "is a FIFO, not a regular file"},
      {dir_.path().string(), "is a folder, not a regular file"},
  };
  for (const auto& [transcript, why] : refused) {
    const ProcessResult run =
        Kepla({"--device", device, "--script-file", (dir_ / "script.txt").string(), "--clock",
               "virtual", "--transcript", transcript});
    ASSERT_FALSE(run.timed_out) << transcript;
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_EQ(run.err.rfind("kepla: --transcript " + transcript + ": " + why, 0), 0u) << run.err;
    EXPECT_TRUE(OneLine(run.err)) << run.err;
  }
  EXPECT_EQ(dir_.Read("phone/device.json"), profile);
  EXPECT_EQ(fs::file_size(package), package_size);
  EXPECT_EQ(dir_.Read("script.txt"), "left\n");
  EXPECT_FALSE(fs::exists(fs::path(device) / "run/new.jsonl"));

  // A card mapped outside the device folder is the device's all the same.
  dir_.Write("phone/device.json", R"({"cards": {"Storage Card": "fs/Storage Card", "SD2": ")" +
                                      (dir_ / "other-card").string() + R"("}})");
  const ProcessResult card = Kepla({"--device", device, "--script", "", "--transcript",
                                    (dir_ / "other-card/keep.txt").string()});
  EXPECT_EQ(card.status, 2);
  EXPECT_NE(card.err.find(": lies on the card \"SD2\""), std::string::npos) << card.err;
  EXPECT_EQ(dir_.Read("other-card/keep.txt"), "kept");
  dir_.Write("phone/device.json", profile);

  const ProcessResult script_fifo =
      Kepla({"--device", device, "--script-file", (dir_ / "fifo").string()});
  ASSERT_FALSE(script_fifo.timed_out);
  EXPECT_EQ(script_fifo.err,
            "kepla: " + (dir_ / "fifo").string() + ": is a FIFO, not a regular file\n");

  const std::vector<std::string> run = {"--device", device,    "--script",    "left,left,right",
                                        "--clock",  "virtual", "--transcript"};
  auto with = [&run](const std::string& transcript) {
    std::vector<std::string> args = run;
    args.push_back(transcript);
    return args;
  };
  const ProcessResult to_null = Kepla(with("/dev/null"));
  EXPECT_EQ(to_null.status, 16) << to_null.err;
  const ProcessResult to_full = Kepla(with("/dev/full"));
  EXPECT_EQ(to_full.status, 4);
  EXPECT_EQ(to_full.err,
            "kepla: /dev/full: the transcript is incomplete (No space left on device)\n");
}

// A copy of the program closed by another process's "uninstall" while a script still waited
// names that as the reason it ended.
TEST_F(KeplaProgramsTest, ARunClosedByAnotherProcessSaysSo) {
  const std::string device = MakeDemo();
  kepla_test::SimProcess first(SimProgram("kepla"), {"--device", device, "--script", "ok"},
                               dir_.path());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  bool shown = false;
  while (!shown && std::chrono::steady_clock::now() < deadline) {
    const json report = json::parse(Device({"show", device, "--json"}).out, nullptr, false);
    shown = report.is_object() && !report["programs"].empty() &&
            !report["programs"][0]["windows"].empty();
    if (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // poll
  }
  ASSERT_TRUE(shown) << "the first copy never showed its window";
  EXPECT_EQ(Kepla({"--device", device, "--", "uninstall"}).status, 0);
  const ProcessResult closed = first.Wait(60);
  EXPECT_EQ(closed.status, 3);
  EXPECT_NE(closed.err.find("the program ended before action 1 \"ok\" was offered; another "
                            "process on the device closed it (as kepla -- uninstall does)"),
            std::string::npos)
      << closed.err;
}

TEST_F(KeplaProgramsTest, DeviceInitShowAndErrors) {
  const std::string device = MakeDemo();
  ProcessResult again = Device({"init", device});
  EXPECT_EQ(again.status, 2);
  EXPECT_EQ(again.err, "kepla-device: " + device +
                           "/device.json: already exists (use --force to replace it)\n");
  EXPECT_EQ(Device({"init", device, "--force"}).status, 0);

  const ProcessResult show = Device({"show", device, "--json"});
  ASSERT_EQ(show.status, 0) << show.err;
  const json report = json::parse(show.out);
  EXPECT_EQ(report["packages"][0]["name"], kDemoPackageName);
  EXPECT_EQ(report["profile"]["battery"]["percent"], 100);

  const ProcessResult text = Device({"show", device});
  EXPECT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("No program running"), std::string::npos) << text.out;

  const ProcessResult missing = Device({"show", (dir_ / "none").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_TRUE(OneLine(missing.err)) << missing.err;

  const ProcessResult nobody = Device({"signal", device, "UNPACK_DATA_ABORT"});
  EXPECT_EQ(nobody.status, 1);
  EXPECT_NE(nobody.err.find("no program"), std::string::npos) << nobody.err;

  EXPECT_EQ(Device({}).status, 2);
  EXPECT_EQ(Device({"--help"}).status, 0);

  // A program path that climbs out of the device is a profile error like any other.
  dir_.Write("phone/device.json", R"({"program": "\\Storage Card\\..\\..\\..\\KEPLA.exe"})");
  const ProcessResult climbing = Device({"show", device});
  EXPECT_EQ(climbing.status, 2);
  EXPECT_EQ(climbing.out, "");
  EXPECT_EQ(climbing.err, "kepla-device: " + device +
                              "/device.json: program: must not hold \".\" or \"..\" components\n");
}

// What a person may mistype or meet on a real card is refused with one line naming it; nothing
// is made in place of a card that is not there.
TEST_F(KeplaProgramsTest, HostileFoldersAndCardsAreRefusedWithOneLine) {
  const std::string device = MakeDemo();
  dir_.Write("plain", "a file");
  const std::string plain = (dir_ / "plain").string();
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  };
  const std::string empty = "kepla-device: DIR must not be empty (use . for the current folder)\n";
  const std::vector<Case> cases = {
      {{"init", ""}, empty},
      {{"show", ""}, empty},
      {{"signal", "", "UNPACK_DATA_ABORT"}, empty},
      {{"show", plain}, "kepla-device: " + plain + ": not a folder\n"},
      {{"signal", plain, "UNPACK_DATA_ABORT"}, "kepla-device: " + plain + ": not a folder\n"},
      {{"frob", device}, "kepla-device: unknown command 'frob' (see kepla-device --help)\n"},
  };
  for (const Case& c : cases) {
    const ProcessResult run = Device(c.args);
    EXPECT_EQ(run.status, 2) << c.expected;
    EXPECT_EQ(run.err, c.expected);
  }
  EXPECT_FALSE(fs::exists(dir_ / "device.json"));

  const fs::path mount = dir_ / "media" / "SDCARD";
  for (const auto& [host, why] : {std::pair{mount, "no such folder (card not mounted?)"},
                                  std::pair{dir_ / "plain", "not a folder"}}) {
    dir_.Write("phone/device.json", json{{"cards", {{"Storage Card", host.string()}}}}.dump());
    const ProcessResult run = Kepla({"--device", device, "--script", "left"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "kepla: " + device + "/device.json: cards.Storage Card: " + host.string() +
                           ": " + why + "\n");
    const ProcessResult show = Device({"show", device});
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_NE(show.out.find(host.string() + ": " + why + "\n"), std::string::npos) << show.out;
  }
  EXPECT_FALSE(fs::exists(dir_ / "media"));
}

// A standard stream the user closed is not taken by a file the run opens (the transcript would
// receive kepla's messages), and output that cannot be written is a failure, not a success.
TEST_F(KeplaProgramsTest, ClosedAndFullStandardStreams) {
  const std::string device = MakeDemo();
  const std::string transcript = (dir_ / "t.jsonl").string();
  const ProcessResult closed =
      RunProcess("/bin/sh",
                 {"-c", "exec \"$0\" \"$@\" <&- >&- 2>&-", SimProgram("kepla").string(), "--device",
                  device, "--clock", "virtual", "--script", "left,left,left", "--timeout", "1",
                  "--transcript", transcript},
                 dir_.path());
  EXPECT_EQ(closed.status, 3);
  for (const json& line : JsonLines(dir_.Read("t.jsonl"))) EXPECT_TRUE(line.is_object());

  for (const std::string& args : {"show " + device, std::string("--help")}) {
    const ProcessResult full = RunProcess(
        "/bin/sh",
        {"-c", "exec \"$0\" " + args + " >/dev/full", SimProgram("kepla-device").string()},
        dir_.path());
    EXPECT_EQ(full.status, 2) << args;
    EXPECT_EQ(full.err,
              "kepla-device: standard output: cannot be written: No space left on device\n");
  }
}

// Another process reaches the running program through the run folder: `show` lists its window
// and events, and `signal` sets one of them. The device clock runs a thousand times slower than
// real time, so the preparation stays in its wait loop, events open, while the test looks on.
// A program that dies leaves nothing that fools the next look.
TEST_F(KeplaProgramsTest, ShowAndSignalReachTheRunningProgram) {
  const std::string device = MakeDemo();
  kepla_test::SimProcess kepla(SimProgram("kepla"),
                               {"--device", device, "--script", "left,left", "--clock", "x0.001"},
                               dir_.path());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  json running;
  while (running.is_null() && std::chrono::steady_clock::now() < deadline) {
    const ProcessResult show = Device({"show", device, "--json"});
    const json report = json::parse(show.out, nullptr, false);
    const json programs = report.is_object() ? report["programs"] : json::array();
    for (const json& program : programs) {
      for (const json& event : program["events"]) {
        if (event == "UNPACK_DATA_ABORT") running = program;
      }
    }
    if (running.is_null()) std::this_thread::sleep_for(std::chrono::milliseconds(20));  // poll
  }
  ASSERT_FALSE(running.is_null()) << "the preparation never started";
  EXPECT_EQ(running["program"], "\\Storage Card\\Upgrade\\KEPLA.exe");
  bool main_window = false;
  for (const json& w : running["windows"]) main_window |= w["class"] == "KEPLA_WINDOW_CLASS";
  EXPECT_TRUE(main_window) << running;

  const ProcessResult signal = Device({"signal", device, "UNPACK_DATA_ABORT"});
  EXPECT_EQ(signal.status, 0) << signal.err;
  const ProcessResult unknown = Device({"signal", device, "NO_SUCH_EVENT"});
  EXPECT_EQ(unknown.status, 1);

  kepla.Kill();
  kepla.Wait();
  const ProcessResult after = Device({"show", device});
  EXPECT_NE(after.out.find("No program running"), std::string::npos) << after.out;
  EXPECT_EQ(Device({"signal", device, "UNPACK_DATA_ABORT"}).status, 1);
}

}  // namespace
}  // namespace kepla
