#include "platform/Volumes.h"
#include "tests/support/StallFs.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

using namespace corvane::platform;
using corvane::test::StallFs;
using corvane::test::TempDir;
using corvane::test::TmpfsMount;

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

TEST(Volumes, ShownAreTheVolumesADesktopUserSees)
{
    const QByteArray info =
        "21 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "22 21 8:17 / /media/usb\\040stick rw - vfat /dev/sdb1 rw\n"
        "23 21 8:33 / /run/media/ann/DISK rw - ext4 /dev/sdc1 rw\n"
        "24 21 8:49 / /run/media/bob/OTHER rw - ext4 /dev/sdd1 rw\n"
        "25 21 0:40 / /home/ann/remote rw - fuse.sshfs ann@host: rw\n"
        "26 21 0:41 / /home/ann/.cache/doc rw - fuse.portal portal rw\n"
        "27 21 0:42 / /home/ann/.local/mnt rw - ext4 /dev/sde1 rw\n"
        "28 21 0:43 / /home/annex/x rw - ext4 /dev/sdf1 rw\n"
        "29 21 0:9 / /mnt/share rw - cifs //server/share rw\n"
        "30 21 0:44 / /tmp/private ro - tmpfs tmpfs ro,size=4k\n"
        "31 21 8:17 /photos /home/ann/photos rw - vfat /dev/sdb1 rw\n"
        "32 21 8:17 / /home/ann/usb-again rw - vfat /dev/sdb1 rw\n"
        "33 21 8:1 / /media/root-again rw - ext4 /dev/sda1 rw\n";
    std::vector<Volume> all = ParseMountInfo(info, "/home/ann", "ann");
    QByteArrayList shown;
    for (const Volume& v : all) {
        if (v.shown)
            shown.push_back(v.mountPoint);
    }
    EXPECT_EQ(shown, (QByteArrayList{"/", "/home/ann/remote", "/media/usb stick", "/run/media/ann/DISK"}));
    // What is not shown is still a volume for the rules about a folder's drive.
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const Volume& v) { return v.mountPoint == "/tmp/private"; }));
}

TEST(Volumes, RootIsAlwaysThereAndEveryPathHasItsVolume)
{
    EXPECT_EQ(ParseMountInfo("").front().mountPoint, "/");
    TempDir dir{"disk/"};
    const QByteArray root = dir.pathBytes() + "/disk";
    TmpfsMount disk(root, "1m");
    ASSERT_TRUE(disk.ok());
    EXPECT_EQ(VolumeRootOf(root + "/no/such/place"), root);
    EXPECT_EQ(VolumeRootOf(root), root);
    EXPECT_EQ(GetDriveType(root), DRIVE_RAMDISK);
    EXPECT_EQ(GetDriveType(root + "/"), DRIVE_RAMDISK);
    EXPECT_FALSE(VolumeMayStall(root));
    double total = 1, free = 1;
    EXPECT_TRUE(GetDiskFreeSpace(root, total, free));
    EXPECT_EQ(total, 1024.0 * 1024.0);
    EXPECT_EQ(free, 1024.0 * 1024.0);
    EXPECT_TRUE(VolumeReady(root));
    EXPECT_FALSE(GetDiskFreeSpace(root + "/no/such/place", total, free));
    EXPECT_EQ(total, 0);
    EXPECT_EQ(free, 0);
}

TEST(Volumes, VolumeThatDoesNotAnswerIsNeverWaitedOn)
{
    StallFs fs{"a/"};
    ASSERT_TRUE(fs.ok());
    fs.Stall();
    // The table follows the mount at once, without asking the volume anything.
    const std::vector<Volume> volumes = MountedVolumes();
    auto it = std::find_if(volumes.begin(), volumes.end(), [&](const Volume& v) { return v.mountPoint == fs.mountPoint(); });
    ASSERT_NE(it, volumes.end());
    EXPECT_EQ(it->fsType, "fuse.corvane-stallfs");
    EXPECT_TRUE(it->mayStall);
    EXPECT_TRUE(VolumeMayStall(fs.pathBytes("a/b")));
    EXPECT_EQ(VolumeRootOf(fs.pathBytes("a")), fs.mountPoint());
    EXPECT_EQ(GetDriveType(fs.mountPoint()), DRIVE_FIXED);
    // Free space is asked for in the background: no figure yet, and nobody waits for it.
    double total = 1, free = 1;
    EXPECT_FALSE(GetDiskFreeSpace(fs.pathBytes("a"), total, free));
    EXPECT_EQ(total, 0);
    EXPECT_EQ(free, 0);
    EXPECT_TRUE(VolumeReady(fs.mountPoint()));
    ASSERT_TRUE(fs.WaitForBlocked(30000));
    EXPECT_EQ(fs.GuardedTouches(), 0);
    // Once the volume answers, its figures come.
    fs.Release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return GetDiskFreeSpace(fs.pathBytes("a"), total, free); }, 30000));
    EXPECT_EQ(total, 25600.0 * 4096.0);
    EXPECT_EQ(free, 12800.0 * 4096.0);
}

TEST(Volumes, NetworkSharesAndFuseVolumesMayStall)
{
    const QByteArray info =
        "21 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "27 21 0:9 / /mnt/share rw - cifs //server/share rw\n"
        "30 21 0:10 / /mnt/sshfs rw - fuse.sshfs user@host: rw\n"
        "31 21 0:11 / /mnt/other rw - fuse.rclone remote: rw\n"
        "32 21 0:12 / /mnt/any rw - fuse.mystery none rw\n"
        "33 21 8:17 / /media/ntfs rw - fuseblk /dev/sdb1 rw\n"
        "34 21 0:13 / /tmp rw - tmpfs tmpfs rw\n";
    for (const Volume& v : ParseMountInfo(info)) {
        const bool local = v.mountPoint == "/" || v.mountPoint == "/tmp";
        EXPECT_EQ(v.mayStall, !local) << v.mountPoint.constData();
    }
}
