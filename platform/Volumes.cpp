#include "Volumes.h"

#include "Namespace.h"

#include "core/UniqueFd.h"

#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSet>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <unistd.h>

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

} // namespace

QByteArray UnescapeMountField(const QByteArray& s)
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

namespace {

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

// File systems that may stop answering: served over a network, by a user-space daemon, or
// mounted on first access.
bool mayStallFs(const QByteArray& fsType, DriveType type)
{
    return type == DRIVE_REMOTE || fsType == "fuse" || fsType == "fuseblk" || fsType.startsWith("fuse.")
           || fsType == "autofs";
}

bool isUnder(const QByteArray& path, const QByteArray& mp)
{
    if (mp == "/")
        return true;
    return path.startsWith(mp) && (path.size() == mp.size() || path.at(mp.size()) == '/');
}

// Where desktops put what the user mounts: removable media under /media and
// /run/media/<user>, and anything in the home folder that is not in a hidden folder.
bool inUserPlace(const QByteArray& mp, const QByteArray& home, const QByteArray& user)
{
    if (mp.startsWith("/media/"))
        return true;
    if (!user.isEmpty() && mp.startsWith("/run/media/" + user + '/'))
        return true;
    if (home.size() > 1 && mp.size() > home.size() && isUnder(mp, home)) {
        for (const QByteArray& part : mp.mid(home.size() + 1).split('/')) {
            if (part.startsWith('.'))
                return false;
        }
        return true;
    }
    return false;
}

QByteArray currentUser()
{
    if (const passwd* pw = ::getpwuid(::getuid()))
        return QByteArray(pw->pw_name);
    return {};
}

struct MountTable {
    std::vector<Volume> volumes;
    // Every mount point that may stall, also those left out of the volumes.
    std::vector<QByteArray> stallPoints;
};

std::vector<QByteArray> parseStallPoints(const QByteArray& mountinfo)
{
    std::vector<QByteArray> points;
    for (const QByteArray& line : mountinfo.split('\n')) {
        QList<QByteArray> f = line.split(' ');
        qsizetype dash = f.indexOf("-");
        if (f.size() < 7 || dash < 6 || dash + 2 >= f.size())
            continue;
        const QByteArray fsType = f[dash + 1];
        if (mayStallFs(fsType, classify(fsType, QByteArray())))
            points.push_back(UnescapeMountField(f[4]));
    }
    return points;
}

// Bind mounts of single files are no volumes. Only local mount points are looked at: a
// stat of a stalled one would not come back.
void dropFileBinds(MountTable& t)
{
    std::erase_if(t.volumes, [&](const Volume& v) {
        if (v.mountPoint == "/" || v.mayStall)
            return false;
        for (const QByteArray& p : t.stallPoints) {
            if (p != "/" && isUnder(v.mountPoint, p))
                return false;
        }
        struct stat st;
        return ::stat(v.mountPoint.constData(), &st) == 0 && !S_ISDIR(st.st_mode);
    });
}

// The mount table, read again when the kernel says it changed (a poll on the open file).
struct VolumeCache {
    QMutex mutex;
    int fd = -1;
    bool opened = false;
    QByteArray source;
    std::shared_ptr<const MountTable> table;
    quint64 readCount = 0;
    quint64 storedCount = 0;
};

VolumeCache& cache()
{
    // Never destroyed: threads may still ask while the program ends.
    static VolumeCache* c = new VolumeCache;
    return *c;
}

QByteArray readAllFrom(int fd)
{
    QByteArray text;
    if (::lseek(fd, 0, SEEK_SET) == 0)
        core::ReadToEnd(fd, text);
    return text;
}

std::shared_ptr<const MountTable> mountTable()
{
    VolumeCache& c = cache();
    QByteArray text;
    quint64 count = 0;
    {
        QMutexLocker lock(&c.mutex);
        if (!c.opened) {
            c.opened = true;
            c.fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        }
        if (c.table && c.fd >= 0) {
            pollfd p{c.fd, POLLPRI, 0};
            if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLPRI | POLLERR)))
                return c.table;
        }
        if (c.fd >= 0) {
            text = readAllFrom(c.fd);
        } else {
            QFile f(QStringLiteral("/proc/self/mountinfo"));
            if (f.open(QIODevice::ReadOnly))
                text = f.readAll();
        }
        if (c.table && text == c.source)
            return c.table;
        count = ++c.readCount;
    }
    // Parsing reads /sys and looks at local mount points: not under the lock.
    auto table = std::make_shared<MountTable>();
    table->volumes = ParseMountInfo(text);
    table->stallPoints = parseStallPoints(text);
    dropFileBinds(*table);
    QMutexLocker lock(&c.mutex);
    if (count > c.storedCount) {
        c.storedCount = count;
        c.source = text;
        c.table = std::move(table);
    }
    return c.table;
}

// The mount point that may stall and holds the path (the deepest), or null.
QByteArray stallPointOf(const MountTable& t, const QByteArray& path)
{
    QByteArray best;
    for (const QByteArray& p : t.stallPoints) {
        if (isUnder(path, p) && (best.isNull() || p.size() > best.size()))
            best = p;
    }
    return best;
}

// The last answers of statvfs for volumes that may stall, asked for on a thread of their own.
struct SpaceAnswer {
    bool known = false;
    bool ok = false;
    double total = 0;
    double free = 0;
    bool asking = false;
};

struct SpaceCache {
    QMutex mutex;
    QHash<QByteArray, SpaceAnswer> answers;
};

SpaceCache& spaceCache()
{
    // Never destroyed: a question to a dead volume may come back while the program ends.
    static SpaceCache* c = new SpaceCache;
    return *c;
}

SpaceAnswer askedSpace(const QByteArray& root)
{
    SpaceCache& c = spaceCache();
    QMutexLocker lock(&c.mutex);
    SpaceAnswer& a = c.answers[root];
    if (!a.asking) {
        a.asking = true;
        std::thread([root] {
            struct statvfs s;
            const bool ok = ::statvfs(root.constData(), &s) == 0;
            SpaceCache& c = spaceCache();
            QMutexLocker lock(&c.mutex);
            SpaceAnswer& a = c.answers[root];
            a.known = true;
            a.ok = ok;
            a.total = ok ? double(s.f_blocks) * double(s.f_frsize) : 0;
            a.free = ok ? double(s.f_bavail) * double(s.f_frsize) : 0;
            a.asking = false;
        }).detach();
    }
    return a;
}

} // namespace

std::vector<Volume> ParseMountInfo(const QByteArray& mountinfo, const QByteArray& homeIn, const QByteArray& userIn)
{
    const QByteArray home = homeIn.isEmpty() ? HomeFolderPath() : homeIn;
    const QByteArray user = userIn.isEmpty() ? currentUser() : userIn;
    std::vector<Volume> result;
    // A volume's device with the mount that shows it first; later mounts of it are binds.
    QSet<QByteArray> devicesShown;
    for (const QByteArray& line : mountinfo.split('\n')) {
        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        QList<QByteArray> f = line.split(' ');
        qsizetype dash = f.indexOf("-");
        if (f.size() < 7 || dash < 6 || dash + 2 >= f.size())
            continue;
        Volume v;
        v.mountPoint = UnescapeMountField(f[4]);
        v.fsType = f[dash + 1];
        v.device = UnescapeMountField(f[dash + 2]);
        if (!v.mountPoint.startsWith('/') || isPseudoFs(v.fsType) || isSystemMount(v.mountPoint))
            continue;
        // Containers bind-mount single files such as /etc/hosts: no volumes.
        if (v.mountPoint.startsWith("/etc/"))
            continue;
        v.type = classify(v.fsType, v.device);
        v.mayStall = mayStallFs(v.fsType, v.type);
        // A later mount on the same point hides the earlier one.
        auto same = std::find_if(result.begin(), result.end(), [&](const Volume& o) { return o.mountPoint == v.mountPoint; });
        if (same != result.end())
            result.erase(same);
        v.shortName = v.mountPoint == "/" ? QStringLiteral("/") : lastComponent(v.mountPoint);
        v.label = v.mountPoint == "/" ? QStringLiteral("File System") : v.shortName;
        // A bind mount shows a folder of another mount (its root is not the file system's).
        const bool bindOfFolder = f[3] != "/";
        v.shown = v.mountPoint == "/" || (!bindOfFolder && inUserPlace(v.mountPoint, home, user));
        if (v.shown && (v.mountPoint == "/" || !devicesShown.contains(f[2]))) {
            devicesShown.insert(f[2]);
        } else {
            v.shown = false;
        }
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
        root.shown = true;
        result.insert(result.begin(), root);
    }
    return result;
}

std::vector<Volume> MountedVolumes()
{
    return mountTable()->volumes;
}

std::vector<Volume> DisplayedVolumes()
{
    std::vector<Volume> shown = mountTable()->volumes;
    std::erase_if(shown, [](const Volume& v) { return !v.shown; });
    return shown;
}

bool IsMountPointThatMayStall(const QByteArray& path)
{
    const MountTable& t = *mountTable();
    return std::find(t.stallPoints.begin(), t.stallPoints.end(), path) != t.stallPoints.end();
}

bool VolumeMayStall(const QByteArray& path)
{
    return !path.isEmpty() && !stallPointOf(*mountTable(), path).isNull();
}

namespace {

QByteArray deepestVolumeOf(const QByteArray& path, bool shownOnly)
{
    QByteArray best = "/";
    for (const Volume& v : mountTable()->volumes) {
        if (shownOnly && !v.shown)
            continue;
        const QByteArray& mp = v.mountPoint;
        bool inside = path == mp || (path.startsWith(mp) && (mp.endsWith('/') || path.at(mp.size()) == '/'));
        if (inside && mp.size() > best.size())
            best = mp;
    }
    return best;
}

} // namespace

QByteArray VolumeRootOf(const QByteArray& path)
{
    return deepestVolumeOf(path, false);
}

QByteArray DisplayedVolumeOf(const QByteArray& path)
{
    return deepestVolumeOf(path, true);
}

DriveType GetDriveType(const QByteArray& root)
{
    QByteArray r = root;
    while (r.size() > 1 && r.endsWith('/'))
        r.chop(1);
    for (const Volume& v : mountTable()->volumes) {
        if (v.mountPoint == r)
            return v.type;
    }
    return DRIVE_NO_ROOT_DIR;
}

bool GetDiskFreeSpace(const QByteArray& path, double& totalBytes, double& freeBytes)
{
    totalBytes = 0;
    freeBytes = 0;
    if (path.isEmpty())
        return false;
    const QByteArray stallPoint = stallPointOf(*mountTable(), path);
    if (!stallPoint.isNull()) {
        const SpaceAnswer a = askedSpace(stallPoint);
        if (!a.known || !a.ok)
            return false;
        totalBytes = a.total;
        freeBytes = a.free;
        return true;
    }
    struct statvfs s;
    if (::statvfs(path.constData(), &s) != 0)
        return false;
    totalBytes = double(s.f_blocks) * double(s.f_frsize);
    freeBytes = double(s.f_bavail) * double(s.f_frsize);
    return true;
}

bool VolumeReady(const QByteArray& root)
{
    if (root.isEmpty())
        return false;
    const QByteArray stallPoint = stallPointOf(*mountTable(), root);
    if (!stallPoint.isNull()) {
        const SpaceAnswer a = askedSpace(stallPoint);
        return !a.known || (a.ok && a.total > 0);
    }
    struct statvfs s;
    return ::statvfs(root.constData(), &s) == 0 && s.f_blocks > 0;
}

} // namespace corvane::platform
