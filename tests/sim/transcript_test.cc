#include "sim/transcript.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace kepla {
namespace {

using nlohmann::json;

std::vector<json> Lines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(json::parse(line));
  return lines;
}

wce::ScreenSnapshot WelcomeScreen() {
  wce::ScreenSnapshot snap;
  snap.time_ms = 40;
  snap.generation = 3;
  snap.waiting_for_input = true;
  snap.program_running = true;
  snap.has_window = true;
  snap.title = u"Upgrade";
  snap.window_class = u"Dialog";
  snap.template_id = 101;
  wce::ControlSnapshot text;
  text.id = 1001;
  text.class_name = u"Static";
  text.text = u"Your device will be upgraded: \u00e9";
  text.rect = RECT{4, 30, 236, 50};
  snap.controls.push_back(text);
  wce::ControlSnapshot bar;
  bar.id = 1004;
  bar.class_name = u"msctls_progress32";
  bar.progress_pos = 0;
  bar.visible = false;
  snap.controls.push_back(bar);
  snap.soft_keys = {{u"Next", true, 40001}, {u"Cancel", false, 40002}};
  return snap;
}

TEST(TranscriptTest, ScreenLineCarriesTheSnapshot) {
  std::ostringstream out;
  Transcript transcript(&out);
  transcript.WriteScreen(WelcomeScreen());
  const std::string text = out.str();
  ASSERT_EQ(text.rfind("{\"t\":40,\"type\":\"screen\",", 0), 0u) << text;
  auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 1u);
  const json& s = lines[0];
  EXPECT_EQ(s["title"], "Upgrade");
  EXPECT_EQ(s["template"], 101);
  EXPECT_EQ(s["rotation"], 0);
  EXPECT_EQ(s["width"], 240);
  ASSERT_EQ(s["controls"].size(), 2u);
  EXPECT_EQ(s["controls"][0]["id"], 1001);
  EXPECT_EQ(s["controls"][0]["text"], "Your device will be upgraded: \xC3\xA9");
  EXPECT_EQ(s["controls"][0]["rect"], json({4, 30, 236, 50}));
  EXPECT_FALSE(s["controls"][0].contains("progress"));
  EXPECT_EQ(s["controls"][1]["progress"], 0);
  EXPECT_EQ(s["controls"][1]["visible"], false);
  EXPECT_EQ(s["softKeys"], json::parse(R"([{"label":"Next","enabled":true},
                                            {"label":"Cancel","enabled":false}])"));
  EXPECT_FALSE(s.contains("messageBox"));
}

TEST(TranscriptTest, ScreenLineIsWrittenOnlyWhenMoreThanProgressChanged) {
  std::ostringstream out;
  Transcript transcript(&out);
  wce::ScreenSnapshot snap = WelcomeScreen();
  transcript.WriteScreen(snap);
  snap.generation++;
  snap.controls[1].progress_pos = 50;  // a moving bar alone: no new screen line
  transcript.WriteScreen(snap);
  snap.generation++;
  snap.soft_keys[0].enabled = false;
  transcript.WriteScreen(snap);
  snap.generation++;
  snap.message_box = wce::MessageBoxSnapshot{u"Upgrade", u"Not enough battery", u"Error", 0};
  transcript.WriteScreen(snap);
  auto lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1]["softKeys"][0]["enabled"], false);
  EXPECT_EQ(lines[1]["controls"][1]["progress"], 50);
  EXPECT_EQ(lines[2]["messageBox"]["text"], "Not enough battery");
}

TEST(TranscriptTest, EventLinesHaveTheirFields) {
  std::ostringstream out;
  Transcript transcript(&out);
  transcript.OnMessageBox(7, {u"Upgrade", u"Line one\nline two", u"Error", 0x10});
  ScriptStep rotate;
  rotate.kind = ScriptStep::Kind::kRotate;
  rotate.degrees = 90;
  transcript.WriteAction(8, rotate);
  transcript.OnProgress(9, 1004, 12);
  transcript.OnProgress(10, 1004, 12);  // same position again: nothing new
  transcript.OnProgress(11, 1004, 13);
  transcript.WriteExit(12, {16, false, true, 3, ""});
  transcript.WriteExit(13, {-1, true, false, 0, "SIGHUP"});
  auto lines = Lines(out.str());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], json::parse(R"({"t":7,"type":"messagebox","owner":"Upgrade",
                                      "text":"Line one\nline two","caption":"Error","style":16})"));
  EXPECT_EQ(lines[1], json::parse(R"({"t":8,"type":"action","action":"rotate:90"})"));
  EXPECT_EQ(lines[2], json::parse(R"({"t":9,"type":"progress","control":1004,"pos":12})"));
  EXPECT_EQ(lines[3]["t"], 11);
  EXPECT_EQ(lines[4], json::parse(R"({"t":12,"type":"exit","code":16,"backlightHeld":true,
                                      "idleTimerResets":3})"));
  EXPECT_EQ(lines[5]["stopped"], true);
  EXPECT_EQ(lines[5]["code"], -1);
  EXPECT_EQ(lines[5]["signal"], "SIGHUP");
}

TEST(TranscriptTest, LinesFromManyThreadsNeverInterleave) {
  std::ostringstream out;
  Transcript transcript(&out);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&transcript, t] {
      for (int i = 0; i < 200; ++i) {
        transcript.OnMessageBox(i, {u"owner", std::u16string(50, u'a' + t), u"caption", 0});
      }
    });
  }
  for (auto& thread : threads) thread.join();
  auto lines = Lines(out.str());  // throws on a torn line
  EXPECT_EQ(lines.size(), 800u);
  EXPECT_TRUE(transcript.ok());
}

TEST(TranscriptTest, OpenReportsAnUnwritableFile) {
  std::string error;
  EXPECT_FALSE(Transcript::Open("/nonexistent-folder/t.jsonl", &error));
  EXPECT_EQ(error.rfind("/nonexistent-folder/t.jsonl: cannot be written: ", 0), 0u) << error;
}

}  // namespace
}  // namespace kepla
