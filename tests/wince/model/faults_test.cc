// The fault plan on its own: which reads and writes it touches, and how often.
#include "model/faults.h"

#include <gtest/gtest.h>

namespace wce {
namespace {

FaultSpec FileFault(FaultSpec::Kind kind, std::u16string file, std::uint64_t offset,
                    std::uint32_t ms = 0) {
  FaultSpec spec;
  spec.kind = kind;
  spec.file = std::move(file);
  spec.offset = offset;
  spec.ms = ms;
  return spec;
}

FaultSpec DiskFull(std::u16string card, std::uint64_t bytes) {
  FaultSpec spec;
  spec.kind = FaultSpec::Kind::kDiskFull;
  spec.card = std::move(card);
  spec.bytes = bytes;
  return spec;
}

constexpr char16_t kFile[] = u"\\Storage Card\\Upgrade\\fw.bin";

TEST(FaultPlanTest, ReadErrorHitsEveryReadCoveringTheOffset) {
  FaultPlan plan({FileFault(FaultSpec::Kind::kReadError, kFile, 4096)});
  EXPECT_FALSE(plan.PlanRead(kFile, 0, 4096).fail);    // ends just before it
  EXPECT_TRUE(plan.PlanRead(kFile, 0, 4097).fail);     // covers its first byte
  EXPECT_TRUE(plan.PlanRead(kFile, 4096, 1).fail);     // starts on it, and again: a bad block
  EXPECT_FALSE(plan.PlanRead(kFile, 4097, 100).fail);  // after it
  EXPECT_FALSE(plan.PlanRead(u"\\Storage Card\\other.bin", 0, 10000).fail);
  EXPECT_EQ(plan.PlanRead(kFile, 0, 100).deliver, 100u);
}

TEST(FaultPlanTest, FilesMatchCaseBlindAndWithLooseSeparators) {
  FaultPlan plan({FileFault(FaultSpec::Kind::kReadError, u"\\storage card\\UPGRADE\\FW.BIN", 0)});
  EXPECT_TRUE(plan.PlanRead(kFile, 0, 1).fail);
  EXPECT_TRUE(plan.PlanRead(u"\\Storage Card\\\\Upgrade\\fw.bin", 0, 1).fail);
  EXPECT_FALSE(plan.PlanRead(u"\\Storage Card\\Upgrade\\fw.bin2", 0, 1).fail);
  EXPECT_EQ(FaultPathKey(u"\\A//b\\"), u"\\a\\b");
}

TEST(FaultPlanTest, FaultsOnOneReadCombine) {
  FaultPlan plan({FileFault(FaultSpec::Kind::kShortRead, kFile, 512),
                  FileFault(FaultSpec::Kind::kReadStall, kFile, 600, 100),
                  FileFault(FaultSpec::Kind::kReadStall, kFile, 700, 250)});
  const FaultPlan::ReadPlan read = plan.PlanRead(kFile, 512, 512);
  EXPECT_FALSE(read.fail);
  EXPECT_EQ(read.deliver, 0u);  // starts on the offset: nothing before it to deliver
  EXPECT_EQ(read.stall_ms, 350u);
}

TEST(FaultPlanTest, DiskFullAcceptsWhatFitsThenNothing) {
  FaultPlan plan({DiskFull(u"Storage Card", 10000)});
  EXPECT_EQ(plan.DiskFullRemaining(u"storage card"), 10000u);
  EXPECT_EQ(plan.DiskFullRemaining(u"Other Card"), std::nullopt);
  EXPECT_EQ(plan.DiskFullRemaining(u""), std::nullopt);  // the root folder's volume

  EXPECT_EQ(plan.PlanWrite(u"\\Storage Card\\a", u"Storage Card", 0, 6000).accept, 6000u);
  // Every file of the card counts, wherever it writes.
  EXPECT_EQ(plan.PlanWrite(u"\\Storage Card\\b", u"Storage Card", 0, 6000).accept, 4000u);
  EXPECT_EQ(plan.DiskFullRemaining(u"Storage Card"), 0u);
  EXPECT_EQ(plan.PlanWrite(u"\\Storage Card\\a", u"Storage Card", 6000, 1).accept, 0u);
  EXPECT_EQ(plan.PlanWrite(u"\\Windows\\a", u"", 0, 50000).accept, 50000u);
}

TEST(FaultPlanTest, ThreadCreationFailsTheGivenNumberOfTimes) {
  FaultSpec spec;
  spec.kind = FaultSpec::Kind::kThreadCreate;
  spec.count = 2;
  FaultPlan plan({spec});
  EXPECT_TRUE(plan.TakeThreadCreateFailure());
  EXPECT_TRUE(plan.TakeThreadCreateFailure());
  EXPECT_FALSE(plan.TakeThreadCreateFailure());
  EXPECT_FALSE(FaultPlan({}).TakeThreadCreateFailure());
}

}  // namespace
}  // namespace wce
