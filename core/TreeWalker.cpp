#include "TreeWalker.h"

#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <time.h>
#include <vector>

namespace corvane::core {

namespace {

qint64 nowNs()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

mode_t modeOfType(unsigned char type)
{
    switch (type) {
    case DT_DIR: return S_IFDIR;
    case DT_LNK: return S_IFLNK;
    case DT_REG: return S_IFREG;
    case DT_FIFO: return S_IFIFO;
    case DT_SOCK: return S_IFSOCK;
    case DT_CHR: return S_IFCHR;
    case DT_BLK: return S_IFBLK;
    default: return 0;
    }
}

} // namespace

// The chain of open folders, to recognise a folder that is its own ancestor.
struct TreeWalker::Level {
    dev_t dev;
    ino_t ino;
    const Level* up;
};

bool TreeWalker::walk(const QByteArray& root, const Visit& visit)
{
    m_stopped = false;
    m_totals = {};
    m_nextProgressNs = nowNs() + qint64(m_options.progressMs) * 1'000'000;
    UniqueFd fd(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        if (m_error)
            m_error(root, errno);
        return false;
    }
    m_rootDev = st.st_dev;
    Level top{st.st_dev, st.st_ino, nullptr};
    QByteArray path = root;
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const bool done = walkFolder(fd.release(), path, 1, &top, visit);
    if (m_progress) {
        m_totals.current = nullptr;
        m_progress(m_totals);
    }
    return done && !stopped();
}

void TreeWalker::count(const struct stat& st, const QByteArray& path)
{
    if (S_ISDIR(st.st_mode)) {
        ++m_totals.folders;
    } else {
        ++m_totals.files;
        m_totals.bytes += st.st_size;
    }
    if (m_progress && nowNs() >= m_nextProgressNs) {
        m_totals.current = &path;
        m_progress(m_totals);
        m_nextProgressNs = nowNs() + qint64(m_options.progressMs) * 1'000'000;
    }
}

bool TreeWalker::walkFolder(int rawFd, QByteArray& path, int depth, Level* up, const Visit& visit)
{
    DirStream dir = DirStream::fromFd(UniqueFd(rawFd));
    if (!dir) {
        if (m_error)
            m_error(path, errno);
        return true;
    }
    const qsizetype base = path.size();
    for (;;) {
        if (stopped())
            return false;
        errno = 0;
        dirent* e = dir.next();
        if (!e) {
            if (errno != 0 && m_error)
                m_error(path, errno);
            break;
        }
        path.truncate(base);
        if (!path.endsWith('/'))
            path += '/';
        path += e->d_name;
        struct stat st {};
        const bool needStat = m_options.stat || e->d_type == DT_UNKNOWN
                              || (e->d_type == DT_DIR && m_options.sameDevice);
        if (needStat) {
            if (::fstatat(dir.fd(), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                // Gone since it was listed: nothing to walk.
                if (errno != ENOENT && m_error)
                    m_error(path, errno);
                continue;
            }
        } else {
            st.st_mode = modeOfType(e->d_type);
        }
        count(st, path);
        const WalkEntry entry{path, e->d_name, depth, dir.fd(), st};
        const WalkStep step = visit(entry);
        if (step == WalkStep::Stop) {
            m_stopped = true;
            return false;
        }
        if (step == WalkStep::Skip || !S_ISDIR(st.st_mode))
            continue;
        if (m_options.sameDevice && st.st_dev != m_rootDev)
            continue;
        const int sub = ::openat(dir.fd(), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat opened {};
        if (sub < 0 || ::fstat(sub, &opened) != 0) {
            if (m_error)
                m_error(path, errno);
            if (sub >= 0)
                ::close(sub);
            continue;
        }
        bool loop = false;
        for (const Level* l = up; l && !loop; l = l->up)
            loop = l->dev == opened.st_dev && l->ino == opened.st_ino;
        if (loop) {
            ::close(sub);
            if (m_error)
                m_error(path, ELOOP);
            continue;
        }
        Level level{opened.st_dev, opened.st_ino, up};
        if (!walkFolder(sub, path, depth + 1, &level, visit))
            return false;
        if (m_leave && m_options.leaveFolders)
            m_leave(WalkEntry{path, e->d_name, depth, dir.fd(), st});
    }
    path.truncate(base);
    return true;
}

} // namespace corvane::core
