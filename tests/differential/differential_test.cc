// The same scenarios on the simulated device and on the program's Win32 build under Wine: both
// runs must show the same pages, texts, soft keys and message boxes in the same order, end with
// the same exit code and leave the same files on the card (comparison.h says what is left out).
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include <wince/profile.h>
#include "differential/comparison.h"
#include "sim/demo_package.h"
#include "sim/device_folder.h"
#include "support/scratch_dir.h"
#include "support/sim_process.h"
#include "tools/package_file.h"

namespace kepla_test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr char kImageName[] = "407_QMR_SD.bin";

// Another program on the device, started once the first run's transcript shows `when`.
enum class Other { kNone, kUninstall, kSignalAbort };

struct Scenario {
  const char* name;
  std::string script;
  int expected_status = 16;
  std::function<void(wce::DeviceProfile&)> profile = {};
  // The package beside the program: the demo package, one of this many bytes, or none (0).
  std::optional<std::size_t> package_bytes = std::nullopt;
  bool image_before = false;  // a prepared image lies on the card before the run
  std::vector<std::string> args = {};
  Other other = Other::kNone;
  const char* other_when = "";
  // The simulated device runs on a virtual clock unless another process must meet the run.
  bool real_clock = false;
};

struct Outcome {
  int status = -1;
  std::string err;
  std::string transcript;
  std::vector<std::string> card;
  int other_status = -1;
  std::string other_err;
};

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

fs::path CardOf(const fs::path& device) { return device / "fs" / "Storage Card"; }

void MakeDevice(const Scenario& s, const fs::path& device) {
  std::string error;
  kepla::InitOptions init;
  init.demo = true;
  ASSERT_TRUE(kepla::InitDeviceFolder(device, init, &error)) << error;
  const fs::path upgrade = kepla::UpgradeFolder(device);
  if (s.package_bytes) {
    fs::remove(upgrade / kepla::kDemoPackageName);
    if (*s.package_bytes > 0) {
      const std::vector<std::uint8_t> image =
          kepla::MakeDemoImage(*s.package_bytes - kepla::pkg::kTrailerSize);
      // Packages shorter than the device prepares are still made, by hand.
      std::vector<std::uint8_t> package(image);
      if (image.size() >= kepla::pkg::kFirstBlockSize) {
        package = kepla::pkg::MakePackage(image, kepla::DemoFields(), &error);
        ASSERT_FALSE(package.empty()) << error;
      } else {
        const auto trailer = kepla::pkg::EncodeTrailer(kepla::DemoFields());
        package.insert(package.end(), trailer.begin(), trailer.end());
      }
      WriteFile(upgrade / "fw.bin", package);
    }
  }
  if (s.profile) {
    std::optional<wce::DeviceProfile> profile = wce::LoadProfile(device, &error);
    ASSERT_TRUE(profile) << error;
    s.profile(*profile);
    ASSERT_TRUE(wce::SaveProfile(device, *profile, &error)) << error;
  }
  if (s.image_before) WriteFile(CardOf(device) / kImageName, kepla::MakeDemoImage(3000, 7));
}

// Waits (real time, bounded) until `file` holds `text`.
bool WaitForText(const fs::path& file, const std::string& text, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Slurp(file).find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

Outcome RunOn(const Scenario& s, const std::string& platform, const ScratchDir& work) {
  Outcome outcome;
  const fs::path device = work / platform;
  MakeDevice(s, device);
  const fs::path transcript = work / (platform + ".jsonl");
  std::vector<std::string> args = {"--platform", platform, "--device",     device.string(),
                                   "--script",   s.script, "--transcript", transcript.string(),
                                   "--timeout",  "60"};
  if (platform == "sim") {
    args.push_back("--clock");
    args.push_back(s.real_clock ? "real" : "virtual");
  }
  if (!s.args.empty()) {
    args.push_back("--");
    args.insert(args.end(), s.args.begin(), s.args.end());
  }
  SimProcess run(SimProgram("kepla"), args, work.path() / ("run-" + platform));
  if (s.other != Other::kNone) {
    EXPECT_TRUE(WaitForText(transcript, s.other_when, std::chrono::seconds(60)))
        << platform << ": the screen never showed \"" << s.other_when << "\"";
    ProcessResult other;
    if (s.other == Other::kUninstall) {
      other = RunProcess(
          SimProgram("kepla"),
          {"--platform", platform, "--device", device.string(), "--script", "", "--", "uninstall"},
          work.path() / ("other-" + platform));
    } else {
      other = RunProcess(SimProgram("kepla-device"),
                         {"signal", "--platform", platform, device.string(), "UNPACK_DATA_ABORT"},
                         work.path() / ("other-" + platform));
    }
    outcome.other_status = other.status;
    outcome.other_err = other.err;
  }
  const ProcessResult result = run.Wait(180);
  outcome.status = result.status;
  outcome.err = result.err;
  outcome.transcript = Slurp(transcript);
  outcome.card = CardListing(CardOf(device));
  return outcome;
}

std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

void SetFree(wce::DeviceProfile& p, std::uint64_t bytes) { p.cards.at(0).free_bytes = bytes; }

const Scenario kScenarios[] = {
    {.name = "HappyPath", .script = "left,left,right"},
    {.name = "CancelOnWelcome", .script = "right"},
    {.name = "CancelOnPrepare", .script = "left,right"},
    {.name = "FreeSpaceBelowLimit",
     .script = "left,ok",
     .profile = [](wce::DeviceProfile& p) { SetFree(p, 200 * kMiB - 1); }},
    {.name = "FreeSpaceAtLimit",
     .script = "left,right",
     .profile = [](wce::DeviceProfile& p) { SetFree(p, 200 * kMiB); }},
    {.name = "BatteryBelowLimit",
     .script = "left,ok",
     .profile = [](wce::DeviceProfile& p) { p.battery_percent = 59; }},
    {.name = "BatteryAtLimit",
     .script = "left,right",
     .profile = [](wce::DeviceProfile& p) { p.battery_percent = 60; }},
    {.name = "MemoryLoadAboveLimit",
     .script = "left,ok",
     .profile = [](wce::DeviceProfile& p) { p.memory_load = 76; }},
    {.name = "MemoryLoadAtLimit",
     .script = "left,right",
     .profile = [](wce::DeviceProfile& p) { p.memory_load = 75; }},
    {.name = "WrongModel",
     .script = "left,ok",
     .profile = [](wce::DeviceProfile& p) { p.model = u"QMR408"; }},
    {.name = "WrongLanguage",
     .script = "left,ok",
     .profile = [](wce::DeviceProfile& p) { p.ext_rom_version = u"1.13.407 DEU WWE"; }},
    {.name = "WrongRegion",
     .script = "left,ok",
     .profile = [](wce::DeviceProfile& p) { p.ext_rom_version = u"1.13.407 ENG XYZ"; }},
    {.name = "FirstFailureOnly",
     .script = "left,ok",
     .profile =
         [](wce::DeviceProfile& p) {
           SetFree(p, 0);
           p.battery_percent = 10;
           p.memory_load = 99;
           p.model = u"QMR408";
         }},
    {.name = "IdentityRefused",
     .script = "left,ok",
     .profile = [](wce::DeviceProfile& p) { p.identity_answers = false; }},
    {.name = "NoPackage", .script = "left,ok", .package_bytes = 0},
    {.name = "PackageOfLeastSize", .script = "left,left,right", .package_bytes = 2560},
    {.name = "PackageTooSmall", .script = "left,left,ok", .package_bytes = 2559},
    {.name = "InstallWithImage",
     .script = "",
     .expected_status = 0,
     .image_before = true,
     .args = {"install"}},
    {.name = "InstallWithoutImage", .script = "right", .args = {"install"}},
    {.name = "InstallInOtherCase", .script = "right", .image_before = true, .args = {"Install"}},
    {.name = "UninstallWithNoCopyRunning",
     .script = "",
     .expected_status = 0,
     .args = {"uninstall"}},
    {.name = "UninstallClosesARunningCopy",
     .script = "",
     .other = Other::kUninstall,
     .other_when = "Welcome to the",
     .real_clock = true},
    {.name = "AbortEventFromAnotherProcess",
     .script = "left,left,ok",
     .other = Other::kSignalAbort,
     .other_when = "Preparing data",
     .real_clock = true},
};

// Test listings name the scenario, not its bytes.
void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

class DifferentialTest : public testing::TestWithParam<Scenario> {};

TEST_P(DifferentialTest, BothPlatformsShowAndLeaveTheSame) {
  const Scenario& s = GetParam();
  ScratchDir work;
  const Outcome sim = RunOn(s, "sim", work);
  const Outcome wine = RunOn(s, "wine", work);

  EXPECT_EQ(sim.status, s.expected_status) << sim.err;
  EXPECT_EQ(wine.status, sim.status) << wine.err;
  if (s.other != Other::kNone) {
    EXPECT_EQ(sim.other_status, 0) << sim.other_err;
    EXPECT_EQ(wine.other_status, sim.other_status) << wine.other_err;
  }
  const std::vector<std::string> sim_lines = ComparableTranscript(sim.transcript);
  const std::vector<std::string> wine_lines = ComparableTranscript(wine.transcript);
  EXPECT_EQ(Join(wine_lines), Join(sim_lines))
      << "transcripts differ (what is ignored: tests/differential/comparison.cc)";
  EXPECT_EQ(Join(wine.card), Join(sim.card)) << "the cards differ";
}

// The happy path's image is the one the package tool extracts, hidden, on both platforms.
TEST(DifferentialImageTest, HappyPathImageIsTheExtractedOneAndHidden) {
  ScratchDir work;
  const Outcome wine = RunOn(kScenarios[0], "wine", work);
  ASSERT_EQ(wine.status, 16) << wine.err;
  const fs::path device = work / "wine";
  const fs::path image = CardOf(device) / kImageName;
  const fs::path expected = work / "expected.bin";
  std::string error;
  ASSERT_TRUE(kepla::pkg::ExtractImage(kepla::UpgradeFolder(device) / kepla::kDemoPackageName,
                                       expected, &error))
      << error;
  EXPECT_TRUE(Slurp(image) == Slurp(expected));
  const std::string listing = Join(wine.card);
  EXPECT_NE(listing.find(std::string(kImageName) + " " + std::to_string(fs::file_size(expected)) +
                         " bytes hidden"),
            std::string::npos)
      << listing;
  // The program placed for the run is gone again.
  EXPECT_FALSE(fs::exists(kepla::UpgradeFolder(device) / "KEPLA.exe"));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DifferentialTest, testing::ValuesIn(kScenarios),
                         [](const testing::TestParamInfo<Scenario>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace kepla_test
