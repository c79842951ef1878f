#include "Volumes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QStorageInfo>
#include <algorithm>
#include <cctype>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace corvane::platform {

namespace {

bool isPseudoFs(const QByteArray& t)
{
    static const char* const pseudo[] = {
        "proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "securityfs", "pstore", "bpf",
        "debugfs", "tracefs", "mqueue", "hugetlbfs", "fusectl", "configfs", "autofs", "binfmt_misc",
        "efivarfs", "rpc_pipefs", "nsfs", "ramfs", "selinuxfs", "overlay-ignored", "fuse.gvfsd-fuse",
        "fuse.portal", "squashfs", "tmpfs-ignored",
    };
    for (const char* p : pseudo) {
        if (t == p)
            return true;
    }
    return false;
}

bool isSystemMount(const QByteArray& mp)
{
    if (mp == "/")
        return false;
    static const char* const prefixes[] = {"/proc", "/sys", "/dev", "/run", "/boot/efi", "/snap", "/var/lib/docker"};
    for (const char* p : prefixes) {
        QByteArray pre(p);
        if (mp == pre || mp.startsWith(pre + '/')) {
            // Removable media mount under /run/media; keep those.
            return !mp.startsWith("/run/media/");
        }
    }
    return false;
}

// mountinfo escapes blanks, tabs, newlines and backslashes as \ooo.
QByteArray unescape(const QByteArray& s)
{
    QByteArray out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            bool ok = true;
            int v = 0;
            for (int k = 1; k <= 3; ++k) {
                char c = s[i + k];
                if (c < '0' || c > '7') {
                    ok = false;
                    break;
                }
                v = v * 8 + (c - '0');
            }
            if (ok && v < 256) {
                out.append(char(v));
                i += 3;
                continue;
            }
        }
        out.append(s[i]);
    }
    return out;
}

DriveType classify(const QByteArray& fsType, const QByteArray& device)
{
    static const char* const remote[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs", "9p",
                                         "afs", "ceph", "glusterfs", "fuse.rclone", "davfs", "fuse.davfs2"};
    for (const char* r : remote) {
        if (fsType == r)
            return DRIVE_REMOTE;
    }
    if (fsType == "tmpfs" || fsType == "ramfs")
        return DRIVE_RAMDISK;
    if (fsType == "iso9660" || fsType == "udf" || device.startsWith("/dev/sr"))
        return DRIVE_CDROM;
    if (device.startsWith("/dev/")) {
        // /sys/block/<disk>/removable; partitions name their disk by dropping the digits.
        QByteArray dev = device.mid(5);
        QByteArray disk = dev;
        if (disk.startsWith("nvme") || disk.startsWith("mmcblk")) {
            qsizetype p = disk.lastIndexOf('p');
            if (p > 0 && p + 1 < disk.size() && std::isdigit(uchar(disk[p + 1])))
                disk = disk.left(p);
        } else {
            while (!disk.isEmpty() && std::isdigit(uchar(disk.back())))
                disk.chop(1);
        }
        QFile f(QString::fromLatin1("/sys/block/" + disk + "/removable"));
        if (f.open(QIODevice::ReadOnly) && f.read(1) == "1")
            return DRIVE_REMOVABLE;
    }
    return DRIVE_FIXED;
}

QString lastComponent(const QByteArray& mp)
{
    qsizetype slash = mp.lastIndexOf('/');
    return QString::fromUtf8(mp.mid(slash + 1));
}

struct VolumeCache {
    QMutex mutex;
    std::vector<Volume> volumes;
    QByteArray source;
    QElapsedTimer age;
};

VolumeCache& cache()
{
    static VolumeCache c;
    return c;
}

} // namespace

std::vector<Volume> ParseMountInfo(const QByteArray& mountinfo)
{
    std::vector<Volume> result;
    for (const QByteArray& line : mountinfo.split('\n')) {
        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        QList<QByteArray> f = line.split(' ');
        qsizetype dash = f.indexOf("-");
        if (f.size() < 7 || dash < 6 || dash + 2 >= f.size())
            continue;
        Volume v;
        v.mountPoint = unescape(f[4]);
        v.fsType = f[dash + 1];
        v.device = unescape(f[dash + 2]);
        if (!v.mountPoint.startsWith('/') || isPseudoFs(v.fsType) || isSystemMount(v.mountPoint))
            continue;
        // Containers bind-mount single files such as /etc/hosts: no volumes.
        if (v.mountPoint.startsWith("/etc/"))
            continue;
        v.type = classify(v.fsType, v.device);
        // A later mount on the same point hides the earlier one.
        auto same = std::find_if(result.begin(), result.end(), [&](const Volume& o) { return o.mountPoint == v.mountPoint; });
        if (same != result.end())
            result.erase(same);
        v.shortName = v.mountPoint == "/" ? QStringLiteral("/") : lastComponent(v.mountPoint);
        v.label = v.mountPoint == "/" ? QStringLiteral("File System") : v.shortName;
        result.push_back(std::move(v));
    }
    std::sort(result.begin(), result.end(), [](const Volume& a, const Volume& b) {
        if ((a.mountPoint == "/") != (b.mountPoint == "/"))
            return a.mountPoint == "/";
        return a.mountPoint < b.mountPoint;
    });
    if (result.empty() || result.front().mountPoint != "/") {
        Volume root;
        root.mountPoint = "/";
        root.shortName = QStringLiteral("/");
        root.label = QStringLiteral("File System");
        result.insert(result.begin(), root);
    }
    return result;
}

std::vector<Volume> MountedVolumes()
{
    VolumeCache& c = cache();
    QMutexLocker lock(&c.mutex);
    // The table is read again at most every half second; reading it is cheap but paths are parsed often.
    if (c.age.isValid() && c.age.elapsed() < 500)
        return c.volumes;
    QFile f(QStringLiteral("/proc/self/mountinfo"));
    QByteArray text;
    if (f.open(QIODevice::ReadOnly))
        text = f.readAll();
    if (text != c.source || !c.age.isValid()) {
        c.source = text;
        c.volumes = ParseMountInfo(text);
        // Bind mounts of single files are no volumes.
        std::erase_if(c.volumes, [](const Volume& v) {
            struct stat st;
            return v.mountPoint != "/" && ::stat(v.mountPoint.constData(), &st) == 0 && !S_ISDIR(st.st_mode);
        });
    }
    c.age.start();
    return c.volumes;
}

QByteArray VolumeRootOf(const QByteArray& path)
{
    QByteArray best = "/";
    for (const Volume& v : MountedVolumes()) {
        const QByteArray& mp = v.mountPoint;
        bool inside = path == mp || (path.startsWith(mp) && (mp.endsWith('/') || path.at(mp.size()) == '/'));
        if (inside && mp.size() > best.size())
            best = mp;
    }
    return best;
}

DriveType GetDriveType(const QByteArray& root)
{
    QByteArray r = root;
    while (r.size() > 1 && r.endsWith('/'))
        r.chop(1);
    for (const Volume& v : MountedVolumes()) {
        if (v.mountPoint == r)
            return v.type;
    }
    return DRIVE_NO_ROOT_DIR;
}

bool GetDiskFreeSpace(const QByteArray& path, double& totalBytes, double& freeBytes)
{
    struct statvfs s;
    if (path.isEmpty() || ::statvfs(path.constData(), &s) != 0) {
        totalBytes = 0;
        freeBytes = 0;
        return false;
    }
    totalBytes = double(s.f_blocks) * double(s.f_frsize);
    freeBytes = double(s.f_bavail) * double(s.f_frsize);
    return true;
}

bool VolumeReady(const QByteArray& root)
{
    struct statvfs s;
    return !root.isEmpty() && ::statvfs(root.constData(), &s) == 0 && s.f_blocks > 0;
}

} // namespace corvane::platform
