// The sharing rules between opens of one file.
#include "kernel/share_table.h"

#include <gtest/gtest.h>

namespace wce {
namespace {

constexpr DWORD R = GENERIC_READ;
constexpr DWORD W = GENERIC_WRITE;
constexpr DWORD RW = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kNone = 0;
constexpr DWORD SR = FILE_SHARE_READ;
constexpr DWORD SW = FILE_SHARE_WRITE;
constexpr DWORD SRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

struct Case {
  DWORD access_a, share_a, access_b, share_b;
  bool conflict;
};

TEST(ShareTableTest, ConflictRules) {
  const Case cases[] = {
      {R, kNone, R, SRW, true},  // the first open shares nothing
      {R, SR, R, SR, false},     // readers that share reading
      {R, SR, W, SRW, true},     // the reader does not share writing
      {W, SW, W, SW, false},     // the extraction output, opened twice for writing
      {W, SW, R, SRW, true},     // a reader needs the writer to share reading
      {R, SRW, R, SW, true},     // ...and the reader must share the other's reading
      {RW, SRW, RW, SRW, false},
      {kNone, kNone, RW, kNone, false},  // an attribute query conflicts with nothing
      {RW, kNone, kNone, kNone, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SharingConflicts(c.access_a, c.share_a, c.access_b, c.share_b), c.conflict)
        << std::hex << c.access_a << "/" << c.share_a << " vs " << c.access_b << "/" << c.share_b;
    // The rule is symmetric: which open came first does not matter.
    EXPECT_EQ(SharingConflicts(c.access_b, c.share_b, c.access_a, c.share_a), c.conflict);
  }
}

TEST(ShareTableTest, OpensAreCountedPerFileUntilRemoved) {
  ShareTable table;
  const FileKey file{1, 42}, other{1, 43};
  int a = 0, b = 0, c = 0;
  EXPECT_TRUE(table.TryAdd(file, &a, R, SR));
  EXPECT_TRUE(table.TryAdd(file, &b, R, SR));
  EXPECT_FALSE(table.TryAdd(file, &c, W, SRW));
  EXPECT_TRUE(table.TryAdd(other, &c, W, kNone));  // another file is not concerned
  table.Remove(file, &a);
  EXPECT_TRUE(table.IsOpen(file));
  EXPECT_FALSE(table.TryAdd(file, &c, W, SRW));  // b still reads without sharing writing
  table.Remove(file, &b);
  EXPECT_FALSE(table.IsOpen(file));
  EXPECT_TRUE(table.TryAdd(file, &c, W, SRW));
  // A refused open leaves nothing behind.
  table.Remove(file, &c);
  EXPECT_FALSE(table.TryAdd(other, &a, R, SRW));
  EXPECT_FALSE(table.IsOpen(file));
}

}  // namespace
}  // namespace wce
