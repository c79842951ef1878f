#pragma once
// Mounted volumes: the Linux stand-in for logical drives.
#include "ShellTypes.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace corvane::platform {

struct Volume {
    QByteArray mountPoint;  // raw bytes, absolute
    QByteArray device;
    QByteArray fsType;
    DriveType type = DRIVE_FIXED;
    QString label;          // the name to show: the file system's label or a derived one
    QString shortName;      // the caption of a drive button
    // A network share or a FUSE volume: it may stop answering, so the user-interface thread
    // never waits on it.
    bool mayStall = false;
    // Shown to the user as a volume (drive buttons, Computer): "/", and mounts where desktops
    // put the user's media and shares; bind mounts and the system's private mounts are not.
    // A mount not shown is browsed as a folder of the volume that holds it.
    bool shown = false;
};

// The user-relevant mounted volumes, "/" first, then by mount point. Pseudo file systems
// and mounts of system folders are left out. The list is re-read when the mount table changes.
// Reading it touches no volume that may stall.
std::vector<Volume> MountedVolumes();
// The volumes shown to the user, in the same order.
std::vector<Volume> DisplayedVolumes();
// Whether the path lies on a volume that may stop answering: a network share, a FUSE volume
// (also one left out of the list, such as GVfs's) or an automount point. Touches nothing.
bool VolumeMayStall(const QByteArray& path);
// A field of mountinfo with its escapes (blanks, tabs, newlines and backslashes as \ooo) undone.
QByteArray UnescapeMountField(const QByteArray& field);
// Parses mountinfo text (the format of /proc/self/mountinfo); `home` and `user` decide which
// mounts are shown (the real ones when empty). Exposed for tests.
std::vector<Volume> ParseMountInfo(const QByteArray& mountinfo, const QByteArray& home = {}, const QByteArray& user = {});

// The mount point of the volume that holds the path ("/" when nothing else does).
QByteArray VolumeRootOf(const QByteArray& path);
// The mount point of the shown volume that holds the path ("/" when nothing else does).
QByteArray DisplayedVolumeOf(const QByteArray& path);
// Whether the path is the mount point of a volume that may stop answering.
bool IsMountPointThatMayStall(const QByteArray& path);
// Drive kind of a volume root; DRIVE_NO_ROOT_DIR when the path is no listed mount point.
DriveType GetDriveType(const QByteArray& root);
// Total and free bytes of the volume holding the path; false when the query fails. On a
// volume that may stall the figures come from the last answer, asked for in the background;
// false until the first one has come.
bool GetDiskFreeSpace(const QByteArray& path, double& totalBytes, double& freeBytes);
// Whether a medium is present: the volume's size can be read. A volume that may stall is
// ready unless its last answer (asked for in the background) said otherwise.
bool VolumeReady(const QByteArray& root);

} // namespace corvane::platform
