// Which mount a card folder is on, read from mountinfo text, and which file systems a phone reads.
#include "sim/card_volume.h"

#include <gtest/gtest.h>

namespace kepla {
namespace {

TEST(CardVolumeTest, TakesTheLongestMountAboveTheFolderAndKnowsTheFatFamily) {
  const char kMountInfo[] =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
      "40 22 0:41 / /media/sd rw,nosuid - vfat /dev/sdb1 rw,fmask=0022\n"
      "41 22 0:42 / /media/sd\\040card rw master:3 - fuse.fusefat fusefat rw,user_id=0\n"
      "42 22 0:43 / /media/sdx rw - fuseblk /dev/sdc1 rw\n"
      "broken line\n";
  auto volume = VolumeFromMountInfo(kMountInfo, "/media/sd card/Upgrade");
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->file_system, "fuse.fusefat");
  EXPECT_EQ(volume->mount_point, "/media/sd card");
  EXPECT_FALSE(volume->is_mount_point);
  volume = VolumeFromMountInfo(kMountInfo, "/media/sd");
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->file_system, "vfat");
  EXPECT_TRUE(volume->is_mount_point);
  // "/media/sdx2" is not below "/media/sdx" nor "/media/sd".
  volume = VolumeFromMountInfo(kMountInfo, "/media/sdx2");
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->file_system, "ext4");
  EXPECT_EQ(volume->mount_point, "/");

  for (const char* fat :
       {"vfat", "msdos", "exfat", "fuse.fusefat", "fuseblk.exfat", "fuse.FATFS"}) {
    EXPECT_TRUE(IsFatFamily(fat)) << fat;
  }
  for (const char* other : {"ext4", "fuseblk", "fuse", "fuseblk.ntfs-3g", "tmpfs", ""}) {
    EXPECT_FALSE(IsFatFamily(other)) << other;
  }
}

}  // namespace
}  // namespace kepla
