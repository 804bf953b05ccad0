#include "sim/device_report.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <wince/card_attributes.h>
#include "sim/demo_package.h"
#include "sim/device_folder.h"
#include "support/scratch_dir.h"

namespace kepla {
namespace {

using kepla_test::ScratchDir;
using nlohmann::ordered_json;
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class DeviceReportTest : public testing::Test {
 protected:
  void SetUp() override {
    InitOptions demo;
    demo.demo = true;
    std::string error;
    ASSERT_TRUE(InitDeviceFolder(dir_.path(), demo, &error)) << error;
    dir_.Write("fs/Storage Card/407_QMR_SD.bin", std::string(3000, 'x'));
    wce::StoreFileAttributes(dir_ / "fs/Storage Card/407_QMR_SD.bin", FILE_ATTRIBUTE_HIDDEN);
    dir_.Write("fs/Storage Card/Upgrade/short.bin", "tiny");
    dir_.Write("fs/Storage Card/Upgrade/README.BIN", "not a package: the name test is exact");
  }

  const ordered_json* File(const ordered_json& report, const std::string& path) {
    for (const auto& f : report["cards"][0]["files"]) {
      if (f["path"] == path) return &f;
    }
    return nullptr;
  }

  std::set<std::string> Paths(const ordered_json& report) {
    std::set<std::string> paths;
    for (const auto& f : report["cards"][0]["files"]) paths.insert(f["path"].get<std::string>());
    return paths;
  }

  std::set<std::string> Packages(const ordered_json& report) {
    std::set<std::string> names;
    for (const auto& p : report["packages"]) names.insert(p["name"].get<std::string>());
    return names;
  }

  ScratchDir dir_;
};

TEST_F(DeviceReportTest, ListsProfileCardFilesAndPackages) {
  // The layer's bookkeeping, including a temporary left by an interrupted rewrite, in any case.
  dir_.Write("fs/Storage Card/.kepla-attributes.new", "leftover");
  dir_.Write("fs/Storage Card/Upgrade/.KEPLA-ATTRIBUTES", "leftover");
  std::string error;
  auto report = GatherDeviceReport(dir_.path(), &error);
  ASSERT_TRUE(report) << error;
  const ordered_json& r = *report;
  EXPECT_EQ(r["profile"]["identity"]["model"], "QMR407");
  ASSERT_EQ(r["cards"].size(), 1u);
  EXPECT_EQ(r["cards"][0]["name"], "Storage Card");
  EXPECT_EQ(r["cards"][0]["freeBytes"], 2147483648u);
  EXPECT_EQ(r["cards"][0]["freeFrom"], "profile");

  const ordered_json* image = File(r, "\\Storage Card\\407_QMR_SD.bin");
  ASSERT_TRUE(image);
  EXPECT_EQ((*image)["bytes"], 3000);
  EXPECT_EQ((*image)["hidden"], true);
  const ordered_json* folder = File(r, "\\Storage Card\\Upgrade");
  ASSERT_TRUE(folder);
  EXPECT_EQ((*folder)["folder"], true);
  EXPECT_EQ((*folder)["hidden"], false);
  for (const auto& f : r["cards"][0]["files"]) {
    EXPECT_EQ(f["path"].get<std::string>().find(".kepla-attributes"), std::string::npos) << f;
    EXPECT_EQ(f["path"].get<std::string>().find(".KEPLA-ATTRIBUTES"), std::string::npos) << f;
  }

  EXPECT_EQ(r["programFolder"], "\\Storage Card\\Upgrade\\");
  ASSERT_EQ(r["packages"].size(), 2u);  // README.BIN is no package name
  const ordered_json& demo = r["packages"][0];
  EXPECT_EQ(demo["name"], kDemoPackageName);
  EXPECT_EQ(demo["imageBytes"], kDemoImageBytes);
  EXPECT_EQ(demo["code"], "WWE,HKG,TWN");
  EXPECT_EQ(demo["preparable"], true);
  EXPECT_EQ(r["packages"][1]["name"], "short.bin");
  EXPECT_TRUE(r["packages"][1].contains("error"));
  EXPECT_TRUE(r["programs"].empty());
}

TEST_F(DeviceReportTest, TextNamesTheSameFacts) {
  std::string error;
  auto report = GatherDeviceReport(dir_.path(), &error);
  ASSERT_TRUE(report) << error;
  const std::string text = FormatDeviceReport(*report);
  for (const std::string& expected :
       {std::string("model QMR407, ROM 1.13.407.2, extended ROM \"1.13.407 ENG WWE\""),
        std::string("battery 100 %"), std::string("2,147,483,648 bytes free (as device.json says)"),
        std::string("\\Storage Card\\407_QMR_SD.bin  3,000 bytes  hidden"),
        std::string("\\Storage Card\\Upgrade\\\n"), std::string(kDemoPackageName) + ", ",
        std::string("model \"QMR407\", language \"ENG\", code \"WWE,HKG,TWN\""),
        std::string("No program running")}) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nnot in:\n" << text;
  }
}

TEST_F(DeviceReportTest, FolderAndProfileErrorsAreReported) {
  std::string error;
  EXPECT_FALSE(GatherDeviceReport(dir_ / "nothing", &error));
  EXPECT_EQ(error, (dir_ / "nothing").string() + ": no such device folder");
  dir_.Write("device.json", "{\"memory\": {\"load\": 101}}");
  EXPECT_FALSE(GatherDeviceReport(dir_.path(), &error));
  EXPECT_EQ(error, (dir_ / "device.json").string() + ": memory.load: must be 0..100");
}

// The profile names the program's folder by a device path; one that climbs out of the device is
// refused before anything is read through it.
TEST_F(DeviceReportTest, ProgramPathThatLeavesTheDeviceIsRefused) {
  ScratchDir outside;
  ASSERT_EQ(outside.path().parent_path(), dir_.path().parent_path());
  fs::create_directories(outside / "Upgrade");
  fs::copy_file(dir_ / "fs/Storage Card/Upgrade" / kDemoPackageName,
                outside / "Upgrade" / kDemoPackageName);
  // "\Storage Card" is DIR/fs/Storage Card: three levels up is the folder both scratch folders
  // are in.
  const std::string program = "\\\\Storage Card\\\\..\\\\..\\\\..\\\\" +
                              outside.path().filename().string() + "\\\\Upgrade\\\\KEPLA.exe";
  for (const std::string& json :
       {"{\"program\": \"" + program + "\"}",
        "{\"faults\": [{\"kind\": \"readError\", \"file\": \"" + program + "\"}]}"}) {
    dir_.Write("device.json", json);
    std::string error;
    EXPECT_FALSE(GatherDeviceReport(dir_.path(), &error)) << json;
    EXPECT_EQ(error.rfind((dir_ / "device.json").string() + ": ", 0), 0u) << error;
    EXPECT_NE(error.find("must not hold \".\" or \"..\" components"), std::string::npos) << error;
  }
}

// The device refuses a link that leads out of its volume (and one that leads nowhere): the report
// shows what the device sees, not what the host has.
TEST_F(DeviceReportTest, LinksOutOfTheCardAreNotReported) {
  ScratchDir outside;
  const fs::path card = dir_ / "fs/Storage Card";
  fs::copy_file(card / "Upgrade" / kDemoPackageName, outside / "host.bin");
  outside.Write("secret/notes.txt", "a host file");
  fs::create_symlink(outside / "host.bin", card / "Upgrade/linked.bin");
  fs::create_symlink(outside / "host.bin", card / "linked file");
  fs::create_directory_symlink(outside / "secret", card / "secret");
  fs::create_symlink(card / "nothing here", card / "Upgrade/dangling.bin");
  fs::create_symlink("../407_QMR_SD.bin", card / "Upgrade/inside.bin");  // stays on the card
  fs::create_directory_symlink("Upgrade", card / "Shortcut");

  std::string error;
  auto report = GatherDeviceReport(dir_.path(), &error);
  ASSERT_TRUE(report) << error;
  const std::set<std::string> paths = Paths(*report);
  for (const char* gone : {"\\Storage Card\\Upgrade\\linked.bin", "\\Storage Card\\linked file",
                           "\\Storage Card\\secret", "\\Storage Card\\secret\\notes.txt",
                           "\\Storage Card\\Upgrade\\dangling.bin"}) {
    EXPECT_EQ(paths.count(gone), 0u) << gone;
  }
  const ordered_json* inside = File(*report, "\\Storage Card\\Upgrade\\inside.bin");
  ASSERT_TRUE(inside);
  EXPECT_EQ((*inside)["bytes"], 3000);
  const ordered_json* shortcut = File(*report, "\\Storage Card\\Shortcut");
  ASSERT_TRUE(shortcut);
  EXPECT_EQ((*shortcut)["folder"], true);
  EXPECT_EQ(Packages(*report),
            (std::set<std::string>{kDemoPackageName, "inside.bin", "short.bin"}));
  const std::string text = FormatDeviceReport(*report);
  EXPECT_EQ(text.find("linked"), std::string::npos) << text;
  EXPECT_EQ(text.find("secret"), std::string::npos) << text;

  // The program's folder itself is a link out of the card: the program finds nothing there.
  fs::create_directory_symlink(outside.path(), card / "Away");
  dir_.Write("device.json", R"({"program": "\\Storage Card\\Away\\KEPLA.exe"})");
  report = GatherDeviceReport(dir_.path(), &error);
  ASSERT_TRUE(report) << error;
  EXPECT_EQ((*report)["programFolder"], "\\Storage Card\\Away\\");
  EXPECT_TRUE((*report)["packages"].empty()) << (*report)["packages"].dump();
  EXPECT_EQ(Paths(*report).count("\\Storage Card\\Away"), 0u);

  // Reached through a link that stays on the card, the folder is the device's to read.
  dir_.Write("device.json", R"({"program": "\\Storage Card\\Shortcut\\KEPLA.exe"})");
  report = GatherDeviceReport(dir_.path(), &error);
  ASSERT_TRUE(report) << error;
  EXPECT_EQ(Packages(*report),
            (std::set<std::string>{kDemoPackageName, "inside.bin", "short.bin"}));
}

TEST_F(DeviceReportTest, FolderWithoutPackageIsNamedOnlyWhenTheProgramWouldFindNone) {
  EXPECT_FALSE(ProgramFolderWithoutPackage(dir_.path()));
  const fs::path upgrade = dir_ / "fs/Storage Card/Upgrade";
  fs::remove(upgrade / kDemoPackageName);
  fs::remove(upgrade / "short.bin");  // a broken package is still one the program would open
  ScratchDir outside;
  outside.Write("host.bin", "a host file");
  fs::create_symlink(outside / "host.bin", upgrade / "linked.bin");  // the device cannot see it
  EXPECT_EQ(ProgramFolderWithoutPackage(dir_.path()), "\\Storage Card\\Upgrade\\");

  fs::remove_all(upgrade);  // the wizard reports a missing folder itself
  EXPECT_FALSE(ProgramFolderWithoutPackage(dir_.path()));
}

// Names that hold ".bin" but that the program cannot use are reported as such, and the report
// says which one the program takes: the first the device lists, as FindFirstFileW does.
TEST_F(DeviceReportTest, PackagesTheProgramCannotUseSayWhyAndTheTakenOneIsMarked) {
  const fs::path upgrade = dir_ / "fs/Storage Card/Upgrade";
  ASSERT_EQ(mkfifo((upgrade / "x.bin").c_str(), 0600), 0);  // opening it would block
  fs::create_directories(upgrade / "old.bin.d");
  dir_.Write("fs/Storage Card/Upgrade/exact.bin", std::string(512, 'x'));
  // 22 characters of folder and 238 of name: one more than the program's buffers hold.
  const std::string long_name = std::string(234, 'n') + ".bin";
  dir_.Write("fs/Storage Card/Upgrade/" + long_name, ReadFile(upgrade / kDemoPackageName));
  dir_.Write("fs/Storage Card/Upgrade/\x1b[2J\a\nbell.bin", "tiny");

  std::string error;
  auto report = GatherDeviceReport(dir_.path(), &error);
  ASSERT_TRUE(report) << error;
  std::map<std::string, std::string> errors;
  std::string taken;
  for (const auto& p : (*report)["packages"]) {
    if (p.contains("error")) errors[p["name"]] = p["error"];
    if (p["taken"] == true) taken += p["name"].get<std::string>() + ";";
  }
  EXPECT_EQ(errors["x.bin"], "not a regular file: the program cannot read it");
  EXPECT_EQ(errors["old.bin.d"], "a folder: the program cannot read it as a package");
  EXPECT_EQ(errors["exact.bin"],
            "512 bytes: the program reads the header only from a package of more than 512 bytes");
  EXPECT_EQ(errors[long_name],
            "its device path has 260 characters; the program opens paths of at most 259");
  std::string first;
  for (const auto& entry : fs::directory_iterator(upgrade)) {
    if (entry.path().filename().string().find(".bin") != std::string::npos) {
      first = entry.path().filename().string();
      break;
    }
  }
  EXPECT_EQ(taken, first + ";");

  const std::string text = FormatDeviceReport(*report);
  EXPECT_EQ(text.find_first_of("\x1b\a"), std::string::npos) << text;
  EXPECT_NE(text.find("  \\x1b[2J\\x07\\nbell.bin: the device opens no name holding a control "
                      "character"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" (the wizard takes this one: listed first)\n"), std::string::npos) << text;
  EXPECT_EQ(Printable("caf\xc3\xa9 \xc2\x9b"
                      "1m\x7f"),
            "caf\xc3\xa9 \\u009b1m\\x7f");

  // A card outside the device folder that is not there is named as kepla would refuse it.
  dir_.Write("device.json", R"({"cards": {"Storage Card": "/nonexistent/SDCARD"}})");
  report = GatherDeviceReport(dir_.path(), &error);
  ASSERT_TRUE(report) << error;
  EXPECT_EQ((*report)["cards"][0]["problem"], "no such folder (card not mounted?)");
  EXPECT_NE(FormatDeviceReport(*report).find(
                "Card \"Storage Card\" at /nonexistent/SDCARD: no such folder (card not mounted?)"),
            std::string::npos);
}

// A program's folder that cannot be read holds no package for the program, and is named for
// what it is (only an unprivileged user is kept out).
TEST_F(DeviceReportTest, UnreadableProgramFolderIsNamedAsSuch) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads any folder";
  const fs::path upgrade = dir_ / "fs/Storage Card/Upgrade";
  fs::permissions(upgrade, fs::perms::none);
  std::string error;
  auto report = GatherDeviceReport(dir_.path(), &error);
  const std::optional<std::string> why = ProgramFolderUnreadable(dir_.path());
  const std::optional<std::string> none = ProgramFolderWithoutPackage(dir_.path());
  fs::permissions(upgrade, fs::perms::owner_all);
  ASSERT_TRUE(report) << error;
  EXPECT_EQ((*report)["programFolderProblem"], "cannot be read: Permission denied");
  EXPECT_EQ(why, "\\Storage Card\\Upgrade\\ cannot be read: Permission denied");
  EXPECT_FALSE(none);
}

}  // namespace
}  // namespace kepla
