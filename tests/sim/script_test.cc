#include "sim/script.h"

#include <gtest/gtest.h>

#include "support/scratch_dir.h"

namespace kepla {
namespace {

std::vector<std::string> Texts(const std::vector<ScriptStep>& steps) {
  std::vector<std::string> out;
  for (const ScriptStep& s : steps) out.push_back(s.Text());
  return out;
}

TEST(ScriptTest, ParsesEveryActionWithBlanksAndAnyCase) {
  std::string error;
  auto steps =
      ParseScript(" left ,RIGHT,ok, rotate:90,Signal:UNPACK_DATA_ABORT ,wait: 250", &error);
  ASSERT_TRUE(steps) << error;
  EXPECT_EQ(Texts(*steps), (std::vector<std::string>{"left", "right", "ok", "rotate:90",
                                                     "signal:UNPACK_DATA_ABORT", "wait:250"}));
  EXPECT_EQ((*steps)[3].degrees, 90);
  EXPECT_EQ((*steps)[4].event, u"UNPACK_DATA_ABORT");  // the name keeps its case
  EXPECT_EQ((*steps)[5].ms, 250u);
}

TEST(ScriptTest, StepsBecomeTheMatchingAutomationActions) {
  std::string error;
  auto steps = ParseScript("left,right,ok,rotate:270,signal:E,wait:5", &error);
  ASSERT_TRUE(steps) << error;
  auto left = (*steps)[0].ToAction();
  ASSERT_TRUE(left && std::holds_alternative<wce::PressSoftKey>(*left));
  EXPECT_EQ(std::get<wce::PressSoftKey>(*left).index, 0);
  auto right = (*steps)[1].ToAction();
  ASSERT_TRUE(right && std::holds_alternative<wce::PressSoftKey>(*right));
  EXPECT_EQ(std::get<wce::PressSoftKey>(*right).index, 1);
  auto ok = (*steps)[2].ToAction();
  EXPECT_TRUE(ok && std::holds_alternative<wce::DismissMessageBox>(*ok));
  auto rotate = (*steps)[3].ToAction();
  ASSERT_TRUE(rotate && std::holds_alternative<wce::Rotate>(*rotate));
  EXPECT_EQ(std::get<wce::Rotate>(*rotate).degrees, 270);
  auto signal = (*steps)[4].ToAction();
  ASSERT_TRUE(signal && std::holds_alternative<wce::SignalEvent>(*signal));
  EXPECT_EQ(std::get<wce::SignalEvent>(*signal).name, u"E");
  EXPECT_FALSE((*steps)[5].ToAction());
}

TEST(ScriptTest, BlankScriptHasNoSteps) {
  std::string error;
  auto steps = ParseScript("  ", &error);
  ASSERT_TRUE(steps);
  EXPECT_TRUE(steps->empty());
}

struct BadScript {
  const char* text;
  const char* error;
};

class ScriptErrorTest : public testing::TestWithParam<BadScript> {};

TEST_P(ScriptErrorTest, NamesTheActionAndItsPlace) {
  std::string error;
  EXPECT_FALSE(ParseScript(GetParam().text, &error));
  EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ScriptErrorTest,
    testing::Values(
        BadScript{"left,jump",
                  "script: action 2, \"jump\": unknown action; expected left, right, "
                  "ok, rotate:DEG, signal:EVENT or wait:MS"},
        BadScript{"left,,right", "script: action 2, \"\": empty action"},
        BadScript{"left,", "script: action 2, \"\": empty action"},
        BadScript{"ok:1", "script: action 1, \"ok:1\": \"ok\" takes no argument"},
        BadScript{"rotate:45",
                  "script: action 1, \"rotate:45\": the angle must be 0, 90, 180 or 270"},
        BadScript{"rotate:360",
                  "script: action 1, \"rotate:360\": the angle must be 0, 90, 180 or 270"},
        BadScript{"rotate", "script: action 1, \"rotate\": the angle must be 0, 90, 180 or 270"},
        BadScript{"wait:-5",
                  "script: action 1, \"wait:-5\": the time must be a whole number of "
                  "milliseconds, 0 to 86400000"},
        BadScript{"wait:1.5",
                  "script: action 1, \"wait:1.5\": the time must be a whole number of "
                  "milliseconds, 0 to 86400000"},
        BadScript{"wait:86400001",
                  "script: action 1, \"wait:86400001\": the time must be a whole "
                  "number of milliseconds, 0 to 86400000"},
        BadScript{"signal:",
                  "script: action 1, \"signal:\": the event name is missing "
                  "(signal:EVENT)"},
        BadScript{"signal:\xff",
                  "script: action 1, \"signal:\xff\": the event name is not valid "
                  "UTF-8"}));

TEST(ScriptFileTest, ReadsLinesCommentsAndRunOnLists) {
  kepla_test::ScratchDir dir;
  dir.Write("run.txt",
            "# welcome page\n"
            "left,\n"
            "  left   # prepare page\n"
            "\n"
            "wait:100, right\r\n");
  std::string error;
  auto steps = LoadScriptFile((dir / "run.txt").string(), &error);
  ASSERT_TRUE(steps) << error;
  EXPECT_EQ(Texts(*steps), (std::vector<std::string>{"left", "left", "wait:100", "right"}));
}

TEST(ScriptFileTest, ErrorsNameFileAndLine) {
  kepla_test::ScratchDir dir;
  dir.Write("run.txt", "left\n# fine\nright,rotate:1\n");
  std::string error;
  EXPECT_FALSE(LoadScriptFile((dir / "run.txt").string(), &error));
  EXPECT_EQ(error, (dir / "run.txt").string() +
                       ":3: action 3, \"rotate:1\": the angle must be 0, 90, 180 or 270");
  EXPECT_FALSE(LoadScriptFile((dir / "missing.txt").string(), &error));
  EXPECT_EQ(error, (dir / "missing.txt").string() + ": cannot be read: No such file or directory");
  // A folder reads as nothing: it must not pass for an empty script.
  EXPECT_FALSE(LoadScriptFile(dir.path().string(), &error));
  EXPECT_EQ(error, dir.path().string() + ": is a folder, not a file");
}

}  // namespace
}  // namespace kepla
