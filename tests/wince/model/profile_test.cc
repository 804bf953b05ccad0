#include "model/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "system/device.h"
#include "support/scratch_dir.h"

namespace wce {
namespace {

using kepla_test::ScratchDir;

std::optional<DeviceProfile> LoadText(const ScratchDir& dir, std::string_view text,
                                      std::string* error) {
  dir.Write("device.json", text);
  return LoadProfile(dir.path(), error);
}

TEST(ProfileTest, MissingFileGivesDefaultsWithOneCardUnderFs) {
  ScratchDir dir;
  std::string error;
  auto p = LoadProfile(dir.path(), &error);
  ASSERT_TRUE(p) << error;
  EXPECT_EQ(p->model, u"QMR407");
  EXPECT_EQ(p->ext_rom_version, u"1.13.407 ENG WWE");
  EXPECT_TRUE(p->identity_answers);
  EXPECT_EQ(p->battery_percent, 100);
  EXPECT_EQ(p->memory_load, 30);
  EXPECT_EQ(p->display_width, 240);
  EXPECT_EQ(p->display_height, 320);
  EXPECT_EQ(p->program, u"\\Storage Card\\Upgrade\\KEPLA.exe");
  EXPECT_EQ(p->clock.mode, ClockMode::kReal);
  EXPECT_TRUE(p->faults.empty());
  ASSERT_EQ(p->cards.size(), 1u);
  EXPECT_EQ(p->cards[0].name, u"Storage Card");
  EXPECT_EQ(p->cards[0].host, dir.path() / "fs" / "Storage Card");
  EXPECT_FALSE(p->cards[0].free_bytes);
}

TEST(ProfileTest, ReadsEveryKey) {
  ScratchDir dir;
  std::string error;
  auto p = LoadText(dir, R"({
    "identity": {"model": "ZX1", "romVersion": "2.0", "extRomVersion": "2.0 DEU EUR",
                 "answers": false},
    "battery": {"percent": 255, "fails": true},
    "memory": {"load": 76, "fails": true},
    "display": {"width": 480, "height": 640, "rotation": 270},
    "program": "\\Windows\\K.exe",
    "cards": {"SD": "cards/sd", "Carte mémoire": {"path": "/mnt/sd", "freeBytes": 5000000000}},
    "clock": "x20",
    "faults": [
      {"kind": "readError", "file": "\\SD\\a.bin", "offset": 4096},
      {"kind": "writeError", "file": "\\SD\\b.bin"},
      {"kind": "readStall", "file": "\\SD\\a.bin", "offset": 10, "ms": 6000},
      {"kind": "shortRead", "file": "\\SD\\a.bin", "offset": 7},
      {"kind": "diskFull", "card": "sd", "bytes": 0},
      {"kind": "threadCreateFails", "count": 2}
    ]
  })",
                    &error);
  ASSERT_TRUE(p) << error;
  EXPECT_EQ(p->model, u"ZX1");
  EXPECT_EQ(p->rom_version, u"2.0");
  EXPECT_EQ(p->ext_rom_version, u"2.0 DEU EUR");
  EXPECT_FALSE(p->identity_answers);
  EXPECT_EQ(p->battery_percent, 255);
  EXPECT_TRUE(p->battery_fails);
  EXPECT_EQ(p->memory_load, 76);
  EXPECT_TRUE(p->memory_fails);
  EXPECT_EQ(p->display_width, 480);
  EXPECT_EQ(p->display_height, 640);
  EXPECT_EQ(p->display_rotation, 270);
  EXPECT_EQ(p->program, u"\\Windows\\K.exe");
  EXPECT_EQ(p->clock.mode, ClockMode::kScaled);
  EXPECT_EQ(p->clock.factor, 20.0);

  ASSERT_EQ(p->cards.size(), 2u);
  // Object order of the file is not kept by the reader; find each card by name.
  const CardSpec* sd = nullptr;
  const CardSpec* other = nullptr;
  for (const CardSpec& c : p->cards) (c.name == u"SD" ? sd : other) = &c;
  ASSERT_TRUE(sd && other);
  EXPECT_EQ(sd->host, dir.path() / "cards" / "sd");
  EXPECT_FALSE(sd->free_bytes);
  EXPECT_EQ(other->name, u"Carte m\u00e9moire");
  EXPECT_EQ(other->host, std::filesystem::path("/mnt/sd"));
  EXPECT_EQ(other->free_bytes, 5000000000u);

  ASSERT_EQ(p->faults.size(), 6u);
  EXPECT_EQ(p->faults[0].kind, FaultSpec::Kind::kReadError);
  EXPECT_EQ(p->faults[0].file, u"\\SD\\a.bin");
  EXPECT_EQ(p->faults[0].offset, 4096u);
  EXPECT_EQ(p->faults[1].kind, FaultSpec::Kind::kWriteError);
  EXPECT_EQ(p->faults[1].offset, 0u);
  EXPECT_EQ(p->faults[2].kind, FaultSpec::Kind::kReadStall);
  EXPECT_EQ(p->faults[2].ms, 6000u);
  EXPECT_EQ(p->faults[3].kind, FaultSpec::Kind::kShortRead);
  EXPECT_EQ(p->faults[4].kind, FaultSpec::Kind::kDiskFull);
  EXPECT_EQ(p->faults[4].card, u"sd");
  EXPECT_EQ(p->faults[4].bytes, 0u);
  EXPECT_EQ(p->faults[5].kind, FaultSpec::Kind::kThreadCreate);
  EXPECT_EQ(p->faults[5].count, 2);
}

TEST(ProfileTest, SaveWritesEveryKeyAndReadsBackTheSame) {
  ScratchDir dir;
  DeviceProfile p;
  p.model = u"M\u00fc";
  p.identity_answers = false;
  p.battery_percent = 59;
  p.memory_load = 75;
  p.display_rotation = 90;
  p.clock = ClockSpec{ClockMode::kVirtual, 1.0};
  p.cards.push_back(CardSpec{u"Storage Card", dir.path() / "fs" / "Storage Card", 1ull << 31});
  p.cards.push_back(CardSpec{u"Other", "/media/card", std::nullopt});
  p.faults.push_back(FaultSpec{FaultSpec::Kind::kReadStall, u"\\Storage Card\\x.bin", 5, 7000});
  FaultSpec full;
  full.kind = FaultSpec::Kind::kDiskFull;
  full.bytes = 1234;
  full.card = u"Other";
  p.faults.push_back(full);
  std::string error;
  ASSERT_TRUE(SaveProfile(dir.path(), p, &error)) << error;

  const std::string text = dir.Read("device.json");
  for (const char* key : {"\"identity\"", "\"answers\"", "\"battery\"", "\"fails\"", "\"memory\"",
                          "\"display\"", "\"rotation\"", "\"program\"", "\"cards\"", "\"clock\"",
                          "\"faults\"", "\"fs/Storage Card\"", "\"freeBytes\""}) {
    EXPECT_NE(text.find(key), std::string::npos) << key << " missing from\n" << text;
  }
  EXPECT_EQ(text.find("device.json.tmp"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir / "device.json.tmp"));

  auto back = LoadProfile(dir.path(), &error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->model, p.model);
  EXPECT_FALSE(back->identity_answers);
  EXPECT_EQ(back->battery_percent, 59);
  EXPECT_EQ(back->memory_load, 75);
  EXPECT_EQ(back->display_rotation, 90);
  EXPECT_EQ(back->clock.mode, ClockMode::kVirtual);
  ASSERT_EQ(back->cards.size(), 2u);
  for (const CardSpec& c : back->cards) {
    if (c.name == u"Storage Card") {
      EXPECT_EQ(c.host, dir.path() / "fs" / "Storage Card");
      EXPECT_EQ(c.free_bytes, 1ull << 31);
    } else {
      EXPECT_EQ(c.host, std::filesystem::path("/media/card"));
      EXPECT_FALSE(c.free_bytes);
    }
  }
  ASSERT_EQ(back->faults.size(), 2u);
  EXPECT_EQ(back->faults[0].kind, FaultSpec::Kind::kReadStall);
  EXPECT_EQ(back->faults[0].file, u"\\Storage Card\\x.bin");
  EXPECT_EQ(back->faults[0].offset, 5u);
  EXPECT_EQ(back->faults[0].ms, 7000u);
  EXPECT_EQ(back->faults[1].bytes, 1234u);
  EXPECT_EQ(back->faults[1].card, u"Other");
}

TEST(ProfileTest, SavedDefaultsReloadAsDefaults) {
  ScratchDir dir;
  std::string error;
  ASSERT_TRUE(SaveProfile(dir.path(), DeviceProfile{}, &error)) << error;
  auto p = LoadProfile(dir.path(), &error);
  ASSERT_TRUE(p) << error;
  ASSERT_EQ(p->cards.size(), 1u);
  EXPECT_EQ(p->cards[0].host, dir.path() / "fs" / "Storage Card");
  EXPECT_EQ(p->clock.mode, ClockMode::kReal);
}

// The reason a save fails is the rename's, not that of the clean-up after it.
TEST(ProfileTest, ASaveThatCannotReplaceTheFileSaysWhy) {
  ScratchDir dir;
  std::filesystem::create_directories(dir / "device.json" / "in-the-way");
  std::string error;
  EXPECT_FALSE(SaveProfile(dir.path(), DeviceProfile{}, &error));
  EXPECT_EQ(error,
            (dir / "device.json").string() + ": cannot be written: " + std::strerror(EISDIR));
  EXPECT_FALSE(std::filesystem::exists(dir / "device.json.tmp"));
}

struct BadCase {
  const char* json;
  const char* message;  // what follows "<folder>/device.json: "
};

class ProfileErrorTest : public testing::TestWithParam<BadCase> {};

constexpr char kClockForms[] = R"(clock: must be "real", "xN" (N from 0.001 to 1000) or "virtual")";

TEST_P(ProfileErrorTest, NamesFileAndKeyInOneLine) {
  ScratchDir dir;
  std::string error;
  EXPECT_FALSE(LoadText(dir, GetParam().json, &error));
  EXPECT_EQ(error, (dir / "device.json").string() + ": " + GetParam().message);
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ProfileErrorTest,
    testing::Values(
        BadCase{R"([1])", "must be an object"}, BadCase{R"({"colour": 1})", "colour: unknown key"},
        BadCase{R"({"identity": {"modle": "x"}})", "identity.modle: unknown key"},
        BadCase{R"({"identity": {"model": 7}})", "identity.model: must be a string"},
        BadCase{R"({"identity": {"answers": "yes"}})", "identity.answers: must be true or false"},
        BadCase{R"({"identity": "QMR"})", "identity: must be an object"},
        BadCase{R"({"battery": {"percent": 101}})", "battery.percent: must be 0..100 or 255"},
        BadCase{R"({"battery": {"percent": 254}})", "battery.percent: must be 0..100 or 255"},
        BadCase{R"({"battery": {"percent": -1}})", "battery.percent: must be 0..100 or 255"},
        BadCase{R"({"battery": {"percent": 50.5}})",
                "battery.percent: must be an integer (0..100 or 255)"},
        BadCase{R"({"battery": {"fails": 1}})", "battery.fails: must be true or false"},
        BadCase{R"({"memory": {"load": 101}})", "memory.load: must be 0..100"},
        BadCase{R"({"display": {"width": 0}})", "display.width: must be 1..4096"},
        BadCase{R"({"display": {"height": -320}})", "display.height: must be 1..4096"},
        BadCase{R"({"display": {"rotation": 45}})", "display.rotation: must be 0, 90, 180 or 270"},
        BadCase{R"({"program": "KEPLA.exe"})",
                "program: must be an absolute device path with backslashes (\\Folder\\File), "
                "under 260 characters"},
        BadCase{R"({"program": "/Storage Card/KEPLA.exe"})",
                "program: must be an absolute device path with backslashes (\\Folder\\File), "
                "under 260 characters"},
        BadCase{R"({"program": "\\Storage Card\\"})",
                "program: must be an absolute device path with backslashes (\\Folder\\File), "
                "under 260 characters"},
        BadCase{R"({"cards": []})", "cards: must be an object (card name -> host folder)"},
        BadCase{R"({"cards": {}})", "cards: must name at least one card"},
        BadCase{R"({"cards": {"a/b": "x"}})",
                "cards.a/b: card name must be a folder name (no slashes, not empty)"},
        BadCase{R"({"cards": {"SD": "a", "sd": "b"}})",
                "cards.sd: names the same card as another (case-blind)"},
        BadCase{R"({"cards": {"SD": 5}})",
                "cards.SD: must be a host folder or an object {\"path\": ..., \"freeBytes\": N}"},
        BadCase{R"({"cards": {"SD": ""}})", "cards.SD: must not be empty"},
        BadCase{R"({"cards": {"SD": {"freeBytes": 1}}})", "cards.SD.path: is missing"},
        BadCase{R"({"cards": {"SD": {"path": "x", "free": 1}}})", "cards.SD.free: unknown key"},
        BadCase{R"({"cards": {"SD": {"path": "x", "freeBytes": -5}}})",
                "cards.SD.freeBytes: must be 0 or more"},
        BadCase{R"({"clock": "fast"})", kClockForms}, BadCase{R"({"clock": "x0"})", kClockForms},
        BadCase{R"({"clock": "x1e-9"})", kClockForms},
        BadCase{R"({"clock": "x1001"})", kClockForms},
        BadCase{R"({"clock": "x0x10"})", kClockForms}, BadCase{R"({"clock": "x 5"})", kClockForms},
        BadCase{R"({"clock": "x5 "})", kClockForms}, BadCase{R"({"clock": "x+5"})", kClockForms},
        BadCase{R"({"clock": "xinf"})", kClockForms}, BadCase{R"({"clock": "x1e"})", kClockForms},
        // The library would keep the last of two equal keys: a typo'd copy must not pass.
        BadCase{R"({"battery": {"percent": 50, "fails": false, "percent": 20}})",
                "battery.percent: is given twice"},
        BadCase{R"({"clock": "real", "clock": "virtual"})", "clock: is given twice"},
        BadCase{
            R"({"faults": [{"kind": "diskFull"}, {"kind": "diskFull", "bytes": 1, "bytes": 2}]})",
            "faults[1].bytes: is given twice"},
        BadCase{R"({"faults": {}})", "faults: must be a list of faults"},
        BadCase{R"({"faults": [{"file": "\\a"}]})", "faults[0].kind: is missing"},
        BadCase{R"({"faults": [{"kind": "explode"}]})",
                "faults[0].kind: must be readError, writeError, readStall, openStall, shortRead, "
                "diskFull, cardRemoved, threadCreateFails, callFails or powerOff"},
        BadCase{R"({"faults": [{"kind": "threadCreateFails"}, {"kind": "readError"}]})",
                "faults[1].file: is missing"},
        BadCase{R"({"faults": [{"kind": "readStall", "file": "\\a\\b"}]})",
                "faults[0].ms: is missing"},
        BadCase{R"({"faults": [{"kind": "readError", "file": "\\a\\b", "ms": 5}]})",
                "faults[0].ms: is not used by a readError fault"},
        BadCase{R"({"faults": [{"kind": "readError", "file": "\\a\\b", "when": 5}]})",
                "faults[0].when: unknown key"},
        BadCase{R"({"faults": [{"kind": "diskFull", "bytes": 5, "card": "CF"}]})",
                "faults[0].card: names no card of this device"},
        BadCase{R"({"faults": [{"kind": "readError", "file": "\\CF\\Upgrade\\fw.bin"}]})",
                "faults[0].file: \"CF\" names no card of this device"},
        BadCase{R"({"faults": [{"kind": "threadCreateFails", "count": 0}]})",
                "faults[0].count: must be 1..1000000"},
        BadCase{R"({"faults": [{"kind": "readError", "file": "a.bin"}]})",
                "faults[0].file: must be an absolute device path with backslashes "
                "(\\Folder\\File), under 260 characters"},
        // Device paths are joined onto host folders: no component may step out of the device.
        BadCase{R"({"program": "\\Storage Card\\..\\..\\..\\etc\\KEPLA.exe"})",
                "program: must not hold \".\" or \"..\" components"},
        BadCase{R"({"program": "\\..\\KEPLA.exe"})",
                "program: must not hold \".\" or \"..\" components"},
        BadCase{R"({"program": "\\Storage Card\\Upgrade\\.."})",
                "program: must not hold \".\" or \"..\" components"},
        BadCase{R"({"program": "\\Storage Card\\.\\KEPLA.exe"})",
                "program: must not hold \".\" or \"..\" components"},
        BadCase{R"({"program": "\\."})", "program: must not hold \".\" or \"..\" components"},
        BadCase{R"({"faults": [{"kind": "readError", "file": "\\Storage Card\\..\\x.bin"}]})",
                "faults[0].file: must not hold \".\" or \"..\" components"},
        BadCase{R"({"faults": [{"kind": "readStall", "file": "\\a\\.\\b", "ms": 5}]})",
                "faults[0].file: must not hold \".\" or \"..\" components"}));

TEST(ProfileTest, NamesWithDotsAreNoDotComponents) {
  ScratchDir dir;
  std::string error;
  auto p = LoadText(dir, R"({"program": "\\.Card\\...\\..x\\K..exe",
                             "faults": [{"kind": "readError", "file": "\\.Card\\.b"}]})",
                    &error);
  ASSERT_TRUE(p) << error;
  EXPECT_EQ(p->program, u"\\.Card\\...\\..x\\K..exe");
  ASSERT_EQ(p->faults.size(), 1u);
  EXPECT_EQ(p->faults[0].file, u"\\.Card\\.b");
}

// A card mapped outside the device folder is a real card's mount point: when it is not there
// (no card in the reader) the device does not boot, and nothing is made in its place.
TEST(ProfileTest, CardFolderOutsideTheDeviceFolderMustBeThereAndAFolder) {
  ScratchDir dir;
  ScratchDir mount;
  mount.Write("file", "not a card");
  std::string error;
  auto inside = LoadText(dir, R"({"cards": {"Storage Card": "cards/sd"}})", &error);
  ASSERT_TRUE(inside) << error;
  EXPECT_TRUE(CheckCardFolders(dir.path(), *inside, &error)) << error;  // the device makes it

  const std::pair<std::filesystem::path, std::string> cases[] = {
      {mount / "SDCARD", "no such folder (card not mounted?)"},
      {mount / "file", "not a folder"},
      {dir / "device.json", "not a folder"}};
  for (const auto& [host, why] : cases) {
    DeviceOptions options;
    options.folder = dir.path();
    options.profile = DeviceProfile{};
    options.profile->cards = {CardSpec{u"Storage Card", host, {}}};
    const std::string expected =
        (dir / "device.json").string() + ": cards.Storage Card: " + host.string() + ": " + why;
    EXPECT_FALSE(CheckCardFolders(dir.path(), *options.profile, &error));
    EXPECT_EQ(error, expected);
    error.clear();
    EXPECT_FALSE(Device::Boot(options, &error));
    EXPECT_EQ(error, expected);
  }
  EXPECT_FALSE(std::filesystem::exists(mount / "SDCARD"));
}

TEST(ProfileTest, BrokenJsonIsReportedWithItsPlace) {
  ScratchDir dir;
  std::string error;
  EXPECT_FALSE(LoadText(dir, "{\"battery\": {\"percent\": 5,}}", &error));
  EXPECT_EQ(error.rfind((dir / "device.json").string() + ": not valid JSON: ", 0), 0u) << error;
  EXPECT_NE(error.find("line 1"), std::string::npos) << error;
}

TEST(ProfileTest, OverlongProgramPathIsRefused) {
  ScratchDir dir;
  std::string error;
  const std::string ok = "\\" + std::string(258, 'a');
  EXPECT_TRUE(LoadText(dir, "{\"program\": \"\\" + ok + "\"}", &error)) << error;
  EXPECT_FALSE(LoadText(dir, "{\"program\": \"\\" + ok + "b\"}", &error));
  EXPECT_NE(error.find("program: "), std::string::npos);
}

TEST(ProfileTest, FolderInPlaceOfTheFileIsAnError) {
  ScratchDir dir;
  std::filesystem::create_directories(dir / "device.json");
  std::string error;
  EXPECT_FALSE(LoadProfile(dir.path(), &error));
  EXPECT_EQ(error, (dir / "device.json").string() + ": is a folder, not a file");
}

// A profile that is a FIFO or a device would block the read or never end, and a link whose file
// has gone must not quietly give the defaults: each is refused without being read.
TEST(ProfileTest, OnlyARegularFileOfAtMostOneMebibyteIsRead) {
  ScratchDir dir;
  const std::filesystem::path file = dir / "device.json";
  const std::string name = file.string();
  std::string error;
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0) << std::strerror(errno);
  EXPECT_FALSE(LoadProfile(dir.path(), &error));
  EXPECT_EQ(error, name + ": is not a regular file");
  std::filesystem::remove(file);
  std::filesystem::create_symlink("/dev/zero", file);
  EXPECT_FALSE(LoadProfile(dir.path(), &error));
  EXPECT_EQ(error, name + ": is not a regular file");
  std::filesystem::remove(file);
  std::filesystem::create_symlink(dir / "gone.json", file);
  EXPECT_FALSE(LoadProfile(dir.path(), &error));
  EXPECT_EQ(error, name + ": is a link to nothing");
  std::filesystem::remove(file);
  EXPECT_FALSE(LoadText(dir, "{}" + std::string(1 << 20, ' '), &error));
  EXPECT_EQ(error, name + ": larger than 1 MiB");
  EXPECT_TRUE(LoadText(dir, "{}" + std::string((1 << 20) - 2, ' '), &error)) << error;
}

}  // namespace
}  // namespace wce
