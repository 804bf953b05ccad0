// The device loses power in the middle of writing the image (a powerOff fault), as a pulled
// battery would cut it: kepla ends with 5 and says what the card holds, the image stays as far as
// it was written, and a later run on the same device prepares it afresh.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "support/scratch_dir.h"
#include "support/sim_process.h"

namespace kepla_test {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string LastLine(const std::string& text) {
  const std::size_t end = text.find_last_not_of('\n');
  if (end == std::string::npos) return "";
  const std::size_t begin = text.rfind('\n', end);
  return text.substr(begin == std::string::npos ? 0 : begin + 1, end - begin);
}

TEST(PowerLossTest, PowerLostBeforeTheSecondWriteKeepsTheFirstAndTheNextRunPrepares) {
  ScratchDir dir;
  const fs::path device = dir.path() / "phone";
  const ProcessResult init =
      RunProcess(SimProgram("kepla-device"), {"init", device.string(), "--demo"}, dir.path());
  ASSERT_EQ(init.status, 0) << init.err;
  nlohmann::json profile = nlohmann::json::parse(ReadAll(device / "device.json"));
  profile["faults"] = {{{"kind", "powerOff"}, {"call", "WriteFile"}, {"nth", 2}}};
  std::ofstream(device / "device.json") << profile.dump();
  const fs::path calls = dir.path() / "calls.jsonl";
  const fs::path transcript = dir.path() / "t.jsonl";
  const std::vector<std::string> run = {
      "--device",        device.string(), "--clock",           "virtual", "--script",
      "left,left,right", "--transcript",  transcript.string(), "--calls", calls.string()};

  const ProcessResult lost = RunProcess(SimProgram("kepla"), run, dir.path(), {}, 60);
  EXPECT_EQ(lost.status, 5) << lost.err;
  EXPECT_NE(lost.err.find("kepla: the device lost power before the program's call WriteFile "
                          "number 2; the card now holds \\Storage Card\\407_QMR_SD.bin"),
            std::string::npos)
      << lost.err;
  EXPECT_EQ(
      LastLine(ReadAll(calls)),
      R"({"call":"WriteFile","nth":2,"thread":"worker","file":"\\Storage Card\\407_QMR_SD.bin"})");
  const nlohmann::json exit = nlohmann::json::parse(LastLine(ReadAll(transcript)));
  EXPECT_EQ(exit["type"], "exit");
  EXPECT_EQ(exit["powerOff"], true);
  // Only the first write reached the card; no cleanup of the program ran after the loss.
  const fs::path image = device / "fs" / "Storage Card" / "407_QMR_SD.bin";
  ASSERT_TRUE(fs::exists(image));
  const std::uintmax_t partial = fs::file_size(image);
  EXPECT_GT(partial, 0u);

  profile["faults"] = nlohmann::json::array();
  std::ofstream(device / "device.json") << profile.dump();
  const ProcessResult again = RunProcess(SimProgram("kepla"), run, dir.path(), {}, 60);
  EXPECT_EQ(again.status, 16) << again.err;
  ASSERT_TRUE(fs::exists(image));
  EXPECT_GT(fs::file_size(image), partial);
  EXPECT_NE(ReadAll(transcript).find("To complete the firmware upgrade process"),
            std::string::npos);
}

}  // namespace
}  // namespace kepla_test
