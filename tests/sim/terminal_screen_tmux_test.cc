// The wizard in a real terminal: kepla runs inside tmux, keys are typed with send-keys and the
// screen is read back with capture-pane, as a person would see it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/card_files.h"
#include "support/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kKepla = KEPLA_BINARY_DIR "/sim/kepla";
const std::string kKeplaDevice = KEPLA_BINARY_DIR "/sim/kepla-device";

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a shell command; returns its standard output.
std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) out.append(buf.data(), n);
  int rc = pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

bool HaveTmux() {
  int status = -1;
  Shell("command -v tmux >/dev/null 2>&1", &status);
  return status == 0;
}

class TmuxSession {
 public:
  // Runs kepla on `device` with `clock`; its standard error goes to `err_file` (or nowhere).
  // `more` is added to kepla's command line as it is.
  TmuxSession(const fs::path& device, const fs::path& exit_file, int cols = 80, int rows = 24,
              const std::string& clock = "x10", const fs::path& err_file = "/dev/null",
              const std::string& more = "")
      : name_("kepla-test-" + std::to_string(getpid()) + "-" + std::to_string(counter_++)) {
    std::string inner = "LANG=C.UTF-8 LC_ALL=C.UTF-8 TERM=xterm-256color " + kKepla + " --device " +
                        Quote(device.string()) + " --clock " + clock + " " + more + " 2>" +
                        Quote(err_file.string()) + "; echo $? > " + Quote(exit_file.string()) +
                        "; sleep 30";
    Shell("tmux -L " + name_ + " new-session -d -s main -x " + std::to_string(cols) + " -y " +
          std::to_string(rows) + " " + Quote(inner));
  }
  ~TmuxSession() { Shell("tmux -L " + name_ + " kill-server >/dev/null 2>&1"); }

  std::string Capture() { return Shell("tmux -L " + name_ + " capture-pane -p -t main"); }
  // Polls until `text` no longer shows.
  bool WaitUntilGone(const std::string& text) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      if (Capture().find(text) == std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  void Keys(const std::string& keys) { Shell("tmux -L " + name_ + " send-keys -t main " + keys); }
  void Resize(int cols, int rows) {
    Shell("tmux -L " + name_ + " resize-window -t main -x " + std::to_string(cols) + " -y " +
          std::to_string(rows));
  }

  // Polls the screen until `text` shows (a real-time deadline: the program runs in another
  // process on a sped-up clock). Returns the last capture.
  std::string WaitFor(const std::string& text,
                      std::chrono::seconds limit = std::chrono::seconds(30)) {
    return WaitForAll({text}, limit);
  }

  // Polls the screen until every one of `texts` shows on one capture.
  std::string WaitForAll(const std::vector<std::string>& texts,
                         std::chrono::seconds limit = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    std::string screen;
    auto all_shown = [&] {
      for (const std::string& text : texts) {
        if (screen.find(text) == std::string::npos) return false;
      }
      return true;
    };
    while (std::chrono::steady_clock::now() < deadline) {
      screen = Capture();
      if (all_shown()) return screen;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::string wanted;
    for (const std::string& text : texts) wanted += " \"" + text + "\"";
    ADD_FAILURE() << "not all of" << wanted << " on the screen within " << limit.count() << " s:\n"
                  << screen;
    return screen;
  }

 private:
  static inline int counter_ = 0;
  std::string name_;
};

std::string ReadExit(const fs::path& file) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    std::ifstream in(file);
    std::string code;
    if (in >> code) return code;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return "(no exit)";
}

// Whether `file` appears within 30 s.
bool WaitForFile(const fs::path& file) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    if (fs::exists(file)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

class TerminalScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
    device_ = scratch_.path() / "device";
    int status = -1;
    Shell(kKeplaDevice + " init " + Quote(device_.string()) + " --demo >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0);
  }

  kepla_test::ScratchDir scratch_;
  fs::path device_;
};

TEST_F(TerminalScreenTest, PortraitRunShowsEveryPageAndEndsWith16) {
  fs::path exit_file = scratch_.path() / "exit";
  TmuxSession tmux(device_, exit_file);

  std::string welcome = tmux.WaitFor("Your device will be upgraded:");
  EXPECT_NE(welcome.find("Welcome to the [QMR407]"), std::string::npos) << welcome;
  EXPECT_NE(welcome.find("         Ext ROM Version:1.13.407"), std::string::npos) << welcome;
  EXPECT_NE(welcome.find("Next"), std::string::npos);
  EXPECT_NE(welcome.find("Cancel"), std::string::npos);
  EXPECT_NE(welcome.find("q quit"), std::string::npos);

  tmux.Keys("F1");
  tmux.WaitFor("Click Next to continue");
  tmux.Keys("'['");
  // The bar advances: it starts empty and a filled part is seen before the Finish page (the
  // page stays up through the settle phase, so the filled bar cannot be missed between polls).
  tmux.WaitFor("Preparing data, please wait\u2026");
  tmux.WaitForAll({"Preparing data, please wait\u2026", "\u2588"});

  std::string finish = tmux.WaitFor("checksum percentage.");
  EXPECT_NE(finish.find("To complete the firmware upgrade"), std::string::npos) << finish;
  EXPECT_NE(finish.find("1. Press and hold Volume Down key"), std::string::npos) << finish;
  EXPECT_NE(finish.find("Close"), std::string::npos);
  tmux.Keys("F2");
  EXPECT_EQ(ReadExit(exit_file), "16");
}

TEST_F(TerminalScreenTest, LandscapeRunAfterRotating) {
  fs::path exit_file = scratch_.path() / "exit";
  TmuxSession tmux(device_, exit_file);

  tmux.WaitFor("Your device will be upgraded:");
  tmux.Keys("r");
  // Landscape: the screen is wider than tall, so the frame is wider than the portrait one. The
  // Welcome text was there before the turn too: wait for the wide frame, so that the next key
  // goes to the turned screen.
  const std::string wide_frame =
      "\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500"
      "\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500"
      "\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500"
      "\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500"
      "\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500\u2500";
  tmux.WaitFor(wide_frame);
  tmux.Keys("'['");
  std::string prepare = tmux.WaitFor("Click Next to continue");
  EXPECT_NE(prepare.find(wide_frame), std::string::npos) << "no 50-cell wide frame in landscape:\n"
                                                         << prepare;
  tmux.Keys("'['");
  tmux.WaitFor("Preparing data, please wait\u2026");
  std::string finish = tmux.WaitFor("checksum percentage.");
  EXPECT_NE(finish.find("2. Continue to hold Volume Down key"), std::string::npos) << finish;
  tmux.Keys("']'");
  EXPECT_EQ(ReadExit(exit_file), "16");
}

// q while the image is written or checked asks first; quitting anyway leaves the image as the
// device would (nothing removes it) and says what the card holds. On the real clock the worker
// settles for eleven seconds, so the preparation is still under way while the keys are typed.
TEST_F(TerminalScreenTest, QuitDuringThePreparationAsksAndTellsWhatTheCardHolds) {
  const fs::path exit_file = scratch_.path() / "exit";
  const fs::path err_file = scratch_.path() / "err";
  TmuxSession tmux(device_, exit_file, 80, 24, "real", err_file);
  tmux.WaitFor("Your device will be upgraded:");
  tmux.Keys("F1");
  tmux.WaitFor("Click Next to continue");
  tmux.Keys("F1");
  tmux.WaitFor("Preparing data, please wait\u2026");
  // The page shows its text before the worker opens the image; until then q quits at once, as
  // nothing is on the card yet.
  const fs::path image = device_ / "fs" / "Storage Card" / "407_QMR_SD.bin";
  ASSERT_TRUE(WaitForFile(image));
  const std::string question = "quit and leave it unfinished? y/n";
  tmux.Keys("q");
  tmux.WaitFor(question);
  tmux.Keys("n");  // goes on
  EXPECT_TRUE(tmux.WaitUntilGone(question));
  EXPECT_NE(tmux.Capture().find("Preparing data, please wait\u2026"), std::string::npos);
  tmux.Keys("q");
  tmux.WaitFor(question);
  tmux.Keys("y");
  EXPECT_EQ(ReadExit(exit_file), "1");

  ASSERT_TRUE(fs::exists(image));
  std::ifstream in(err_file);
  const std::string err((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(err.find("the card now holds \\Storage Card\\407_QMR_SD.bin (hidden, " +
                     kepla::ByteCount(fs::file_size(image)) + ")"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("written by this run and not verified; nothing was removed"),
            std::string::npos)
      << err;
}

// Ctrl-C ends the run as q does, without asking: the image stays as it is, the card is
// reported, the transcript's last record names the signal, the program leaves the device's run
// folder, and the status is 128 + SIGINT.
TEST_F(TerminalScreenTest, CtrlCDuringThePreparationEndsTheRunAsQDoes) {
  const fs::path exit_file = scratch_.path() / "exit";
  const fs::path err_file = scratch_.path() / "err";
  const fs::path transcript = scratch_.path() / "t.jsonl";
  TmuxSession tmux(device_, exit_file, 80, 24, "real", err_file,
                   "--transcript " + Quote(transcript.string()));
  tmux.WaitFor("Your device will be upgraded:");
  tmux.Keys("F1");
  tmux.WaitFor("Click Next to continue");
  tmux.Keys("F1");
  const fs::path image = device_ / "fs" / "Storage Card" / "407_QMR_SD.bin";
  ASSERT_TRUE(WaitForFile(image));
  tmux.Keys("C-c");
  EXPECT_EQ(ReadExit(exit_file), "130");

  ASSERT_TRUE(fs::exists(image));
  std::ifstream in(err_file);
  const std::string err((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(err.find("kepla: stopped by SIGINT while the program was at work; the card now holds "
                     "\\Storage Card\\407_QMR_SD.bin (hidden, " +
                     kepla::ByteCount(fs::file_size(image)) +
                     "), written by this run and not verified; nothing was removed"),
            std::string::npos)
      << err;
  std::ifstream lines(transcript);
  std::string line, last;
  while (std::getline(lines, line)) last = line;
  EXPECT_NE(last.find("\"type\":\"exit\""), std::string::npos) << last;
  EXPECT_NE(last.find("\"stopped\":true"), std::string::npos) << last;
  EXPECT_NE(last.find("\"signal\":\"SIGINT\""), std::string::npos) << last;
  EXPECT_TRUE(fs::is_empty(device_ / "run"));
}

// The words of a capture, one space apart, whatever the lines they were broken into.
std::string Words(const std::string& screen) {
  std::istringstream in(screen);
  std::string word, words;
  while (in >> word) words += (words.empty() ? "" : " ") + word;
  return words;
}

// The size the screen needs is said in full on a terminal far too small for the sentence too,
// and a resize redraws the terminal in full: nothing of the frame before stays.
TEST_F(TerminalScreenTest, TinyTerminalShowsTheWholeMessageAndResizesLeaveNothingBehind) {
  fs::path exit_file = scratch_.path() / "exit";
  TmuxSession tmux(device_, exit_file, 20, 5);
  std::string screen = tmux.WaitFor("quits.");
  EXPECT_TRUE(std::regex_search(
      Words(screen), std::regex("^Needs [0-9]+x[0-9]+, is 20x5: enlarge, or q quits\\.$")))
      << screen;

  tmux.Resize(80, 24);
  screen = tmux.WaitFor("Your device will be upgraded:");
  EXPECT_EQ(screen.find("Needs"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("quits"), std::string::npos) << screen;

  tmux.Resize(70, 12);
  screen = tmux.WaitFor("press q to quit.");
  EXPECT_TRUE(std::regex_search(Words(screen), std::regex("^Terminal too small: the device screen "
                                                          "needs [0-9]+x[0-9]+, this one is "
                                                          "70x12\\. Enlarge the window, or press "
                                                          "q to quit\\.$")))
      << screen;
  tmux.Keys("q");
  EXPECT_EQ(ReadExit(exit_file), "1");
}

TEST_F(TerminalScreenTest, TooSmallTerminalSaysWhatItNeedsAndQKeyQuits) {
  fs::path exit_file = scratch_.path() / "exit";
  TmuxSession tmux(device_, exit_file, 60, 16);
  std::string screen = tmux.WaitFor("Terminal too small");
  EXPECT_EQ(screen.find("█"), std::string::npos);
  tmux.Keys("q");
  EXPECT_EQ(ReadExit(exit_file), "1");
}

}  // namespace
