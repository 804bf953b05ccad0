#include "tools/package_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace kepla::pkg {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size, unsigned seed = 1) {
  Bytes bytes(size);
  std::uint32_t x = seed * 2654435761u + 12345;
  for (auto& b : bytes) {
    x = x * 1103515245u + 12345;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return bytes;
}

void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// The names in `folder`, so that a test can see that nothing (no temporary file) was left.
std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

PackageFields Fields() {
  return {u"ENG", u"WWE,HKG", u"QMR407", u"1.13.407.3", u"1.13.407 ENG WWE"};
}

class PackageFileTest : public ::testing::Test {
 protected:
  kepla_test::ScratchDir dir_;
};

TEST_F(PackageFileTest, BuildThenInfoRoundTripsEveryField) {
  PackageFields fields{std::u16string(31, u'L'), u"\u4e2d\u6587," + std::u16string(124, u'c'),
                       u"M\u00f6del", std::u16string(31, u'9'), u"1.0 \U0001F600 X"};
  ASSERT_EQ(fields.code.size(), kCodeFieldMax);
  Bytes image = Pattern(5000);
  WriteBytes(dir_ / "image.nb0", image);
  std::string error;
  ASSERT_TRUE(BuildPackage(dir_ / "image.nb0", fields, dir_ / "fw.bin", &error)) << error;

  PackageInfo info;
  ASSERT_TRUE(ReadPackageInfo(dir_ / "fw.bin", &info, &error)) << error;
  EXPECT_EQ(info.fields, fields);
  EXPECT_EQ(info.package_bytes, 5512u);
  EXPECT_EQ(info.image_bytes, 5000u);
  EXPECT_TRUE(info.preparable);
}

TEST_F(PackageFileTest, ExtractGivesBackTheImageAndVerifyAcceptsIt) {
  Bytes image = Pattern(2'500'000);  // more than two copy chunks
  WriteBytes(dir_ / "image.nb0", image);
  std::string error;
  std::uint64_t last_done = 0;
  int calls = 0;
  ASSERT_TRUE(BuildPackage(dir_ / "image.nb0", Fields(), dir_ / "fw.bin", &error,
                           [&](std::uint64_t done, std::uint64_t total) {
                             EXPECT_GT(done, last_done);
                             EXPECT_EQ(total, image.size());
                             last_done = done;
                             calls++;
                           }));
  EXPECT_EQ(last_done, image.size());
  EXPECT_EQ(calls, 3);
  ASSERT_TRUE(ExtractImage(dir_ / "fw.bin", dir_ / "out.img", &error)) << error;
  EXPECT_EQ(ReadBytes(dir_ / "out.img"), image);
  std::uint64_t offset = 99;
  EXPECT_EQ(VerifyImage(dir_ / "fw.bin", dir_ / "out.img", &offset, &error), Verdict::kSame);
}

TEST_F(PackageFileTest, VerifyReportsTheFirstDifferingOffset) {
  Bytes image = Pattern(1'100'000);
  WriteBytes(dir_ / "image.nb0", image);
  std::string error;
  ASSERT_TRUE(BuildPackage(dir_ / "image.nb0", Fields(), dir_ / "fw.bin", &error)) << error;
  for (std::size_t at : {std::size_t{0}, std::size_t{2047}, std::size_t{2048}, std::size_t{1 << 20},
                         image.size() - 1}) {
    Bytes changed = image;
    changed[at] ^= 0x01;
    WriteBytes(dir_ / "changed.img", changed);
    std::uint64_t offset = 0;
    EXPECT_EQ(VerifyImage(dir_ / "fw.bin", dir_ / "changed.img", &offset, &error),
              Verdict::kDifferent)
        << at;
    EXPECT_EQ(offset, at);
  }
  // Sizes that differ: the offset is where the shorter one ends.
  WriteBytes(dir_ / "short.img", Bytes(image.begin(), image.end() - 1));
  std::uint64_t offset = 0;
  EXPECT_EQ(VerifyImage(dir_ / "fw.bin", dir_ / "short.img", &offset, &error), Verdict::kDifferent);
  EXPECT_EQ(offset, image.size() - 1);
  Bytes longer = image;
  longer.push_back(0);
  WriteBytes(dir_ / "long.img", longer);
  EXPECT_EQ(VerifyImage(dir_ / "fw.bin", dir_ / "long.img", &offset, &error), Verdict::kDifferent);
  EXPECT_EQ(offset, image.size());
  WriteBytes(dir_ / "empty.img", {});
  EXPECT_EQ(VerifyImage(dir_ / "fw.bin", dir_ / "empty.img", &offset, &error), Verdict::kDifferent);
  EXPECT_EQ(offset, 0u);
  // The package itself is not its image.
  EXPECT_EQ(VerifyImage(dir_ / "fw.bin", dir_ / "fw.bin", &offset, &error), Verdict::kDifferent);
}

TEST_F(PackageFileTest, RefusedBuildsWriteNothingAndKeepAnOldOutput) {
  WriteBytes(dir_ / "image.nb0", Pattern(4096));
  WriteBytes(dir_ / "short.nb0", Pattern(2047));
  WriteBytes(dir_ / "old.bin", {1, 2, 3});
  auto before = Names(dir_.path());
  std::string error;

  PackageFields long_model = Fields();
  long_model.model = std::u16string(32, u'M');
  EXPECT_FALSE(BuildPackage(dir_ / "image.nb0", long_model, dir_ / "new.bin", &error));
  EXPECT_NE(error.find("model"), std::string::npos) << error;
  PackageFields long_code = Fields();
  long_code.code = std::u16string(128, u'C');
  EXPECT_FALSE(BuildPackage(dir_ / "image.nb0", long_code, dir_ / "old.bin", &error));
  EXPECT_NE(error.find("code"), std::string::npos) << error;
  PackageFields zero = Fields();
  zero.language = std::u16string(u"E\0G", 3);
  EXPECT_FALSE(BuildPackage(dir_ / "image.nb0", zero, dir_ / "old.bin", &error));

  EXPECT_FALSE(BuildPackage(dir_ / "short.nb0", Fields(), dir_ / "old.bin", &error));
  EXPECT_NE(error.find("short.nb0"), std::string::npos) << error;
  EXPECT_FALSE(BuildPackage(dir_ / "missing.nb0", Fields(), dir_ / "old.bin", &error));
  EXPECT_NE(error.find("missing.nb0"), std::string::npos) << error;
  EXPECT_FALSE(BuildPackage(dir_ / "image.nb0", Fields(), dir_ / "no-such-dir" / "x.bin", &error));
  EXPECT_FALSE(BuildPackage(dir_.path(), Fields(), dir_ / "old.bin", &error));  // a folder

  EXPECT_EQ(Names(dir_.path()), before);
  EXPECT_EQ(ReadBytes(dir_ / "old.bin"), (Bytes{1, 2, 3}));
}

TEST_F(PackageFileTest, OnlyPreparablePackagesAreExtractedOrVerified) {
  std::string error;
  Bytes smallest = MakePackage(Pattern(2048), Fields(), &error);
  ASSERT_EQ(smallest.size(), kSmallestPreparable);
  WriteBytes(dir_ / "2560.bin", smallest);
  WriteBytes(dir_ / "2559.bin", Bytes(smallest.begin() + 1, smallest.end()));
  auto before = Names(dir_.path());

  ASSERT_TRUE(ExtractImage(dir_ / "2560.bin", dir_ / "2560.img", &error)) << error;
  EXPECT_EQ(ReadBytes(dir_ / "2560.img"), Pattern(2048));
  std::filesystem::remove(dir_ / "2560.img");

  EXPECT_FALSE(ExtractImage(dir_ / "2559.bin", dir_ / "2559.img", &error));
  EXPECT_NE(error.find("2559.bin"), std::string::npos) << error;
  std::uint64_t offset = 0;
  EXPECT_EQ(VerifyImage(dir_ / "2559.bin", dir_ / "2560.bin", &offset, &error), Verdict::kError);
  EXPECT_EQ(Names(dir_.path()), before);

  PackageInfo info;
  ASSERT_TRUE(ReadPackageInfo(dir_ / "2559.bin", &info, &error)) << error;
  EXPECT_FALSE(info.preparable);
  EXPECT_EQ(info.image_bytes, 2047u);
}

// The result is renamed over the output: an output naming the input would replace it.
TEST_F(PackageFileTest, NeitherExtractNorBuildReplacesItsOwnInput) {
  std::string error;
  WriteBytes(dir_ / "image.nb0", Pattern(4096));
  ASSERT_TRUE(BuildPackage(dir_ / "image.nb0", Fields(), dir_ / "fw.bin", &error)) << error;
  const Bytes package = ReadBytes(dir_ / "fw.bin");
  std::filesystem::create_symlink(dir_ / "fw.bin", dir_ / "link.bin");
  auto before = Names(dir_.path());

  EXPECT_FALSE(ExtractImage(dir_ / "fw.bin", dir_ / "fw.bin", &error));
  EXPECT_NE(error.find("fw.bin"), std::string::npos) << error;
  EXPECT_FALSE(ExtractImage(dir_ / "fw.bin", dir_ / "." / "link.bin", &error));
  EXPECT_FALSE(BuildPackage(dir_ / "image.nb0", Fields(), dir_ / "image.nb0", &error));
  EXPECT_EQ(ReadBytes(dir_ / "fw.bin"), package);
  EXPECT_EQ(ReadBytes(dir_ / "image.nb0"), Pattern(4096));
  EXPECT_EQ(Names(dir_.path()), before);
}

// The device takes a size of 0xFFFFFFFF for a failed size query: the tool agrees with it.
TEST(PreparableSizeTest, EndsBelowTheDevicesFailedSizeAnswer) {
  EXPECT_FALSE(IsPreparable(kSmallestPreparable - 1));
  EXPECT_TRUE(IsPreparable(kSmallestPreparable));
  EXPECT_TRUE(IsPreparable(0xFFFFFFFEu));
  EXPECT_FALSE(IsPreparable(0xFFFFFFFFu));
  EXPECT_FALSE(IsPreparable(std::uint64_t{1} << 32));
}

TEST_F(PackageFileTest, InfoNeedsMoreThanATrailer) {
  std::string error;
  auto trailer = EncodeTrailer(Fields());
  WriteBytes(dir_ / "512.bin", Bytes(trailer.begin(), trailer.end()));
  PackageInfo info;
  EXPECT_FALSE(ReadPackageInfo(dir_ / "512.bin", &info, &error));
  EXPECT_NE(error.find("512.bin"), std::string::npos) << error;

  Bytes one_more{0x77};
  one_more.insert(one_more.end(), trailer.begin(), trailer.end());
  WriteBytes(dir_ / "513.bin", one_more);
  ASSERT_TRUE(ReadPackageInfo(dir_ / "513.bin", &info, &error)) << error;
  EXPECT_EQ(info.fields, Fields());
  EXPECT_FALSE(info.preparable);
}

}  // namespace
}  // namespace kepla::pkg
