#include "MountWatch.h"

#include "Volumes.h"

#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace corvane::platform {

namespace {

QByteArrayList shownMountPoints()
{
    QByteArrayList points;
    for (const Volume& v : DisplayedVolumes())
        points.push_back(v.mountPoint);
    return points;
}

// The kernel flags the mount table as changed until it is read again.
void readThrough(int fd)
{
    char buf[16384];
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return;
    while (::read(fd, buf, sizeof buf) > 0) {
    }
}

} // namespace

TMountWatch& TMountWatch::instance()
{
    static TMountWatch* watch = new TMountWatch;
    return *watch;
}

TMountWatch::TMountWatch()
{
    m_shown = shownMountPoints();
    m_fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    readThrough(m_fd);
    // A change of the mount table shows as an exceptional condition (POLLPRI) on the file.
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Exception, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TMountWatch::mountTableChanged);
}

TMountWatch::~TMountWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void TMountWatch::mountTableChanged()
{
    readThrough(m_fd);
    QByteArrayList shown = shownMountPoints();
    if (shown == m_shown)
        return;
    m_shown = std::move(shown);
    emit VolumesChanged();
}

} // namespace corvane::platform
