// Where attributes the host has no bit for are kept, and that they survive the store itself.
#include "kernel/attribute_store.h"

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace wce
