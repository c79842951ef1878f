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
};

// The user-relevant mounted volumes, "/" first, then by mount point. Pseudo file systems
// and mounts of system folders are left out. The list is re-read when the mount table changes.
// Reading it touches no volume that may stall.
std::vector<Volume> MountedVolumes();
// Whether the path lies on a volume that may stop answering: a network share, a FUSE volume
// (also one left out of the list, such as GVfs's) or an automount point. Touches nothing.
bool VolumeMayStall(const QByteArray& path);
// Parses mountinfo text (the format of /proc/self/mountinfo); exposed for tests.
std::vector<Volume> ParseMountInfo(const QByteArray& mountinfo);

// The mount point of the volume that holds the path ("/" when nothing else does).
QByteArray VolumeRootOf(const QByteArray& path);
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
