// The fault plan on its own: which reads and writes it touches, and how often.
#include "kernel/faults.h"

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

TEST(FaultPlanTest, StallAndShortReadFireOnce) {
  FaultPlan plan({FileFault(FaultSpec::Kind::kReadStall, kFile, 100, 7000),
                  FileFault(FaultSpec::Kind::kShortRead, kFile, 5000)});
  EXPECT_EQ(plan.PlanRead(kFile, 0, 100).stall_ms, 0u);
  FaultPlan::ReadPlan first = plan.PlanRead(kFile, 50, 100);
  EXPECT_EQ(first.stall_ms, 7000u);
  EXPECT_FALSE(first.fail);
  EXPECT_EQ(first.deliver, 100u);
  EXPECT_EQ(plan.PlanRead(kFile, 50, 100).stall_ms, 0u);

  EXPECT_EQ(plan.PlanRead(kFile, 4000, 2000).deliver, 1000u);  // the bytes before the offset
  EXPECT_EQ(plan.PlanRead(kFile, 4000, 2000).deliver, 2000u);
}

TEST(FaultPlanTest, ShortReadStartingOnTheOffsetDeliversNothing) {
  FaultPlan plan({FileFault(FaultSpec::Kind::kShortRead, kFile, 512)});
  const FaultPlan::ReadPlan read = plan.PlanRead(kFile, 512, 512);
  EXPECT_FALSE(read.fail);
  EXPECT_EQ(read.deliver, 0u);
}

TEST(FaultPlanTest, WriteErrorRefusesTheWholeWrite) {
  FaultPlan plan({FileFault(FaultSpec::Kind::kWriteError, kFile, 2048)});
  EXPECT_FALSE(plan.PlanWrite(kFile, u"Storage Card", 0, 2048).fail);
  const FaultPlan::WritePlan hit = plan.PlanWrite(kFile, u"Storage Card", 2048, 32767);
  EXPECT_TRUE(hit.fail);
  EXPECT_EQ(hit.accept, 0u);
  EXPECT_FALSE(plan.PlanRead(kFile, 2048, 10).fail);  // reads are not concerned
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
