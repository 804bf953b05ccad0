// Where attributes the host has no bit for are kept, and that they survive the store itself.
#include "host/attribute_store.h"

#include <sys/xattr.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/scratch_dir.h"

namespace wce {
namespace {

namespace fs = std::filesystem;

TEST(AttributeStoreTest, EitherFormRoundTripsAndKeepsOnlyStoredBits) {
  for (bool sidecar_only : {false, true}) {
    SCOPED_TRACE(sidecar_only ? "sidecar" : "host");
    kepla_test::ScratchDir dir;
    dir.Write("a.bin", "a");
    dir.Write("b.bin", "b");
    AttributeStore store(sidecar_only);
    EXPECT_EQ(store.Get(dir / "a.bin"), 0u);
    ASSERT_EQ(store.Set(dir / "a.bin", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY |
                                           FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE),
              static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(store.Get(dir / "a.bin"),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(store.Get(dir / "b.bin"), 0u);
    // Another store (a later run of the device) reads the same.
    EXPECT_EQ(AttributeStore(sidecar_only).Get(dir / "a.bin"),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_EQ(store.Set(dir / "a.bin", FILE_ATTRIBUTE_NORMAL), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(store.Get(dir / "a.bin"), 0u);
  }
}

// A card that Wine (or Samba) has written reads the same here, and the reverse; a record of an
// earlier version of the layer is still read, and replaced on the next write.
TEST(AttributeStoreTest, SharesTheDosAttributeRecordWithWine) {
  kepla_test::ScratchDir dir;
  dir.Write("wine.bin", "w");
  dir.Write("old.bin", "o");
  if (setxattr((dir / "wine.bin").c_str(), "user.DOSATTRIB", "0x2", 3, 0) != 0) {
    GTEST_SKIP() << "no extended attributes here";
  }
  AttributeStore store;
  EXPECT_EQ(store.Get(dir / "wine.bin"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

  ASSERT_EQ(setxattr((dir / "old.bin").c_str(), "user.kepla.attributes", "34", 2, 0), 0);
  EXPECT_EQ(store.Get(dir / "old.bin"),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
  ASSERT_EQ(store.Set(dir / "old.bin", FILE_ATTRIBUTE_HIDDEN), static_cast<DWORD>(ERROR_SUCCESS));
  char text[16] = {};
  ASSERT_EQ(getxattr((dir / "old.bin").c_str(), "user.DOSATTRIB", text, sizeof text - 1), 3);
  EXPECT_STREQ(text, "0x2");
  EXPECT_LT(getxattr((dir / "old.bin").c_str(), "user.kepla.attributes", text, sizeof text), 0);
}

TEST(AttributeStoreTest, SidecarKeepsOneLinePerFileAndGoesWhenEmpty) {
  kepla_test::ScratchDir dir;
  dir.Write("a.bin", "a");
  dir.Write("name with spaces", "b");
  AttributeStore store(/*sidecar_only=*/true);
  ASSERT_EQ(store.Set(dir / "a.bin", FILE_ATTRIBUTE_HIDDEN), static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(store.Set(dir / "name with spaces", FILE_ATTRIBUTE_SYSTEM),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(dir.Read(".kepla-attributes"), "00000002 a.bin\n00000004 name with spaces\n");
  EXPECT_EQ(store.Get(dir / "name with spaces"), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));

  // A deleted file's line goes, so that a new file of that name starts plain.
  fs::remove(dir / "a.bin");
  store.Forget(dir / "a.bin");
  dir.Write("a.bin", "new");
  EXPECT_EQ(store.Get(dir / "a.bin"), 0u);
  ASSERT_EQ(store.Set(dir / "name with spaces", 0), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_FALSE(fs::exists(dir / ".kepla-attributes"));
}

// A card's records live in the device folder, keyed by the path below the card; a sidecar that an
// earlier version left on the card is read in place by a reading store and taken over (then
// removed from the card) by a writing one, without overriding what the record already says.
TEST(AttributeStoreTest, CardRecordsLiveInTheDeviceFolderAndTakeOverAnEarlierSidecar) {
  kepla_test::ScratchDir dir;
  dir.Write("card/sub/a.bin", "a");
  dir.Write("card/old.bin", "o");
  dir.Write("card/a.bin", "a");
  const std::vector<Volume> volumes{Volume{u"", dir / "fs"}, Volume{u"Card", dir / "card/"}};
  const std::vector<AttributeStore::CardRecord> cards =
      AttributeStore::CardRecordsOf(dir / "device", volumes);
  AttributeStore store(cards, /*sidecar_only=*/true);
  ASSERT_EQ(store.Set(dir / "card/sub/a.bin", FILE_ATTRIBUTE_HIDDEN),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_EQ(store.Set(dir / "card/a.bin", FILE_ATTRIBUTE_SYSTEM),
            static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(dir.Read("device/attributes/Card.attributes"), "00000004 a.bin\n00000002 sub/a.bin\n");
  EXPECT_FALSE(fs::exists(dir / "card/.kepla-attributes"));
  EXPECT_FALSE(fs::exists(dir / "card/sub/.kepla-attributes"));

  dir.Write("card/.kepla-attributes", "00000002 old.bin\n00000002 a.bin\n");
  const AttributeStore reader(cards, /*sidecar_only=*/true, /*read_only=*/true);
  EXPECT_EQ(reader.Get(dir / "card/old.bin"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(fs::exists(dir / "card/.kepla-attributes"));
  EXPECT_EQ(store.Get(dir / "card/old.bin"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_FALSE(fs::exists(dir / "card/.kepla-attributes"));
  EXPECT_EQ(store.Get(dir / "card/a.bin"), static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));

  fs::remove(dir / "card/sub/a.bin");
  store.Forget(dir / "card/sub/a.bin");
  EXPECT_EQ(dir.Read("device/attributes/Card.attributes"), "00000004 a.bin\n00000002 old.bin\n");
}

}  // namespace
}  // namespace wce
