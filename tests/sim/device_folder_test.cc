#include "sim/device_folder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "sim/demo_package.h"
#include "support/scratch_dir.h"
#include "tools/package_file.h"

namespace kepla {
namespace {

using kepla_test::ScratchDir;
namespace fs = std::filesystem;

TEST(DeviceFolderTest, InitMakesProfileAndProgramFolder) {
  ScratchDir dir;
  const fs::path device = dir / "phone";
  std::string error;
  ASSERT_TRUE(InitDeviceFolder(device, {}, &error)) << error;
  EXPECT_TRUE(fs::is_directory(device / "fs" / "Storage Card" / "Upgrade"));
  auto profile = wce::LoadProfile(device, &error);
  ASSERT_TRUE(profile) << error;
  EXPECT_EQ(profile->model, wce::DeviceProfile{}.model);
  ASSERT_EQ(profile->cards.size(), 1u);
  EXPECT_EQ(profile->cards[0].host, fs::absolute(device / "fs" / "Storage Card"));
  // device.json names the card folder relative to the device, so the folder can be moved.
  EXPECT_NE(dir.Read("phone/device.json").find("\"fs/Storage Card\""), std::string::npos);
  EXPECT_TRUE(fs::is_empty(device / "fs" / "Storage Card" / "Upgrade"));
}

TEST(DeviceFolderTest, InitRefusesAnExistingProfileUnlessForced) {
  ScratchDir dir;
  dir.Write("device.json", "{\"memory\": {\"load\": 90}}");
  std::string error;
  EXPECT_FALSE(InitDeviceFolder(dir.path(), {}, &error));
  EXPECT_EQ(error, (dir / "device.json").string() + ": already exists (use --force to replace it)");
  EXPECT_EQ(dir.Read("device.json"), "{\"memory\": {\"load\": 90}}");

  InitOptions force;
  force.force = true;
  ASSERT_TRUE(InitDeviceFolder(dir.path(), force, &error)) << error;
  auto profile = wce::LoadProfile(dir.path(), &error);
  ASSERT_TRUE(profile) << error;
  EXPECT_EQ(profile->memory_load, 30);
}

TEST(DeviceFolderTest, InitRefusesAFileInPlaceOfTheFolder) {
  ScratchDir dir;
  dir.Write("phone", "x");
  std::string error;
  EXPECT_FALSE(InitDeviceFolder(dir / "phone", {}, &error));
  EXPECT_EQ(error, (dir / "phone").string() + ": exists and is not a folder");
}

// The demo device must pass every pre-flight check of the wizard with its default profile.
TEST(DeviceFolderTest, DemoPackageFitsTheDemoProfile) {
  ScratchDir dir;
  InitOptions demo;
  demo.demo = true;
  std::string error;
  ASSERT_TRUE(InitDeviceFolder(dir.path(), demo, &error)) << error;
  auto profile = wce::LoadProfile(dir.path(), &error);
  ASSERT_TRUE(profile) << error;
  ASSERT_EQ(profile->cards.size(), 1u);
  ASSERT_TRUE(profile->cards[0].free_bytes);
  EXPECT_GE(*profile->cards[0].free_bytes, 209715200u);
  EXPECT_GE(profile->battery_percent, 60);
  EXPECT_LE(profile->memory_load, 75);

  pkg::PackageInfo info;
  ASSERT_TRUE(pkg::ReadPackageInfo(UpgradeFolder(dir.path()) / kDemoPackageName, &info, &error))
      << error;
  EXPECT_TRUE(info.preparable);
  EXPECT_EQ(info.image_bytes, kDemoImageBytes);
  EXPECT_EQ(info.fields.model, profile->model);
  // The device's language is the three characters after the first blank of its extended ROM
  // version; its region code is what follows the second blank.
  const std::u16string& ext = profile->ext_rom_version;
  const std::size_t first = ext.find(u' ');
  const std::size_t second = ext.find(u' ', first + 1);
  EXPECT_EQ(info.fields.language, ext.substr(first + 1, 3));
  EXPECT_NE(info.fields.code.find(ext.substr(second + 1)), std::u16string::npos);
  EXPECT_NE(info.fields.romVersion, profile->rom_version);
}

TEST(DemoPackageTest, ImageIsTheSameOnEveryRun) {
  const auto a = MakeDemoImage(1000);
  EXPECT_EQ(a, MakeDemoImage(1000));
  EXPECT_NE(a, MakeDemoImage(1000, 7));
  EXPECT_EQ(std::vector<std::uint8_t>(a.begin(), a.begin() + 999), MakeDemoImage(999));
  // Not a constant fill: most byte values occur in a megabyte.
  const auto big = MakeDemoImage(1 << 20);
  std::vector<int> seen(256);
  for (std::uint8_t b : big) seen[b] = 1;
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 256);
}

TEST(DemoPackageTest, DamageIsNoticed) {
  ScratchDir dir;
  std::string why;
  EXPECT_FALSE(DemoPackageIntact(dir.path(), &why));  // missing
  std::string error;
  ASSERT_TRUE(WriteDemoPackage(dir.path(), &error)) << error;
  EXPECT_TRUE(DemoPackageIntact(dir.path(), &why)) << why;

  const fs::path file = dir / kDemoPackageName;
  {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(100000);
    f.put('\x5A');
    f.seekp(100001);
    f.put('\xA5');
  }
  EXPECT_FALSE(DemoPackageIntact(dir.path(), &why));
  EXPECT_EQ(why, file.string() + ": content differs");

  ASSERT_TRUE(WriteDemoPackage(dir.path(), &error)) << error;
  fs::resize_file(file, fs::file_size(file) - 1);
  EXPECT_FALSE(DemoPackageIntact(dir.path(), &why));
}

TEST(DemoDeviceTest, MadeOnFirstUseAndItsPackageRestored) {
  ScratchDir dir;
  const fs::path demo = dir / "share" / "kepla" / "demo";
  std::string note, error;
  ASSERT_TRUE(EnsureDemoDevice(demo, &note, &error)) << error;
  EXPECT_EQ(note, "made the demo device");
  ASSERT_TRUE(DemoPackageIntact(UpgradeFolder(demo), nullptr));

  ASSERT_TRUE(EnsureDemoDevice(demo, &note, &error)) << error;
  EXPECT_EQ(note, "");

  fs::remove(UpgradeFolder(demo) / kDemoPackageName);
  ASSERT_TRUE(EnsureDemoDevice(demo, &note, &error)) << error;
  EXPECT_EQ(note.rfind("wrote the demo package again", 0), 0u) << note;
  EXPECT_TRUE(DemoPackageIntact(UpgradeFolder(demo), nullptr));
}

TEST(DemoDeviceTest, DefaultFolderFollowsXdgThenHome) {
  const char* old_xdg = std::getenv("XDG_DATA_HOME");
  const char* old_home = std::getenv("HOME");
  const std::string saved_xdg = old_xdg ? old_xdg : "";
  const std::string saved_home = old_home ? old_home : "";

  setenv("XDG_DATA_HOME", "/data", 1);
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(DefaultDemoFolder(), fs::path("/data/kepla/demo"));
  setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_EQ(DefaultDemoFolder(), fs::path("/home/u/.local/share/kepla/demo"));
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(DefaultDemoFolder(), fs::path("/home/u/.local/share/kepla/demo"));
  unsetenv("HOME");
  EXPECT_EQ(DefaultDemoFolder(), fs::path());

  if (old_xdg) setenv("XDG_DATA_HOME", saved_xdg.c_str(), 1);
  if (old_home) setenv("HOME", saved_home.c_str(), 1);
}

}  // namespace
}  // namespace kepla
