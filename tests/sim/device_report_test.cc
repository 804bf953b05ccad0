#include "sim/device_report.h"

#include <gtest/gtest.h>

#include "kernel/attribute_store.h"
#include "sim/demo_package.h"
#include "sim/device_folder.h"
#include "support/scratch_dir.h"

namespace kepla {
namespace {

using kepla_test::ScratchDir;
using nlohmann::ordered_json;

class DeviceReportTest : public testing::Test {
 protected:
  void SetUp() override {
    InitOptions demo;
    demo.demo = true;
    std::string error;
    ASSERT_TRUE(InitDeviceFolder(dir_.path(), demo, &error)) << error;
    dir_.Write("fs/Storage Card/407_QMR_SD.bin", std::string(3000, 'x'));
    wce::AttributeStore().Set(dir_ / "fs/Storage Card/407_QMR_SD.bin", FILE_ATTRIBUTE_HIDDEN);
    dir_.Write("fs/Storage Card/Upgrade/short.bin", "tiny");
    dir_.Write("fs/Storage Card/Upgrade/README.BIN", "not a package: the name test is exact");
  }

  const ordered_json* File(const ordered_json& report, const std::string& path) {
    for (const auto& f : report["cards"][0]["files"]) {
      if (f["path"] == path) return &f;
    }
    return nullptr;
  }

  ScratchDir dir_;
};

TEST_F(DeviceReportTest, ListsProfileCardFilesAndPackages) {
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
    EXPECT_EQ(f["path"].get<std::string>().find(".kepla-attributes"), std::string::npos);
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

}  // namespace
}  // namespace kepla
