#include "platform/Volumes.h"

#include <gtest/gtest.h>

using namespace corvane::platform;

TEST(Volumes, MountInfoKeepsUserVolumesAndDropsPseudoOnes)
{
    const QByteArray info =
        "21 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "22 21 0:5 / /proc rw - proc proc rw\n"
        "23 21 0:6 / /sys rw - sysfs sysfs rw\n"
        "24 21 0:7 / /dev/shm rw - tmpfs tmpfs rw\n"
        "25 21 0:8 / /tmp rw - tmpfs tmpfs rw\n"
        "26 21 8:17 / /media/usb\\040stick rw - vfat /dev/sdb1 rw\n"
        "27 21 0:9 / /mnt/share rw - cifs //server/share rw\n"
        "28 21 11:0 / /media/cdrom ro - iso9660 /dev/sr0 ro\n"
        "29 21 8:1 /etc/hosts /etc/hosts rw - ext4 /dev/sda1 rw\n"
        "garbage line\n";
    std::vector<Volume> v = ParseMountInfo(info);
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(v[0].mountPoint, "/");
    EXPECT_EQ(v[0].shortName, "/");
    EXPECT_EQ(v[1].mountPoint, "/media/cdrom");
    EXPECT_EQ(v[1].type, DRIVE_CDROM);
    EXPECT_EQ(v[2].mountPoint, "/media/usb stick");
    EXPECT_EQ(v[2].shortName, "usb stick");
    EXPECT_EQ(v[3].type, DRIVE_REMOTE);
    EXPECT_EQ(v[4].mountPoint, "/tmp");
    EXPECT_EQ(v[4].type, DRIVE_RAMDISK);
}

TEST(Volumes, RootIsAlwaysThereAndHoldsEveryPath)
{
    EXPECT_EQ(ParseMountInfo("").front().mountPoint, "/");
    EXPECT_EQ(VolumeRootOf("/no/such/place"), VolumeRootOf("/no"));
    double total = 1, free = 1;
    EXPECT_TRUE(GetDiskFreeSpace("/", total, free));
    EXPECT_GT(total, 0);
    EXPECT_FALSE(GetDiskFreeSpace("/no/such/place", total, free));
    EXPECT_EQ(total, 0);
    EXPECT_EQ(free, 0);
}
