#include "TreeWalker.h"

#include "Clock.h"
#include "UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <fcntl.h>
#include <vector>

namespace corvane::core {

namespace {

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
    m_nextProgressNs = MonotonicNs() + qint64(m_options.progressMs) * 1'000'000;
    // The root may be a link the user chose; below it nothing is followed.
    UniqueFd fd(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        error(root, errno, true);
        return false;
    }
    m_rootDev = st.st_dev;
    const Level top{st.st_dev, st.st_ino, nullptr};
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

void TreeWalker::error(const QByteArray& path, int err, bool listing)
{
    if (m_error)
        m_error(path, err, listing);
}

void TreeWalker::count(const struct stat& st, const QByteArray& path)
{
    if (S_ISDIR(st.st_mode)) {
        ++m_totals.folders;
    } else {
        ++m_totals.files;
        m_totals.bytes += st.st_size;
    }
    if (m_progress && MonotonicNs() >= m_nextProgressNs) {
        m_totals.current = &path;
        m_progress(m_totals);
        m_nextProgressNs = MonotonicNs() + qint64(m_options.progressMs) * 1'000'000;
    }
}

bool TreeWalker::walkFolder(int rawFd, QByteArray& path, int depth, const Level* up, const Visit& visit)
{
    UniqueFd folder(rawFd);
    if (m_enter && !m_enter(path, folder.get()))
        return !stopped();
    // The stream gets a descriptor of its own; the folder's stays open for the subfolders.
    DirStream dir = DirStream::fromFd(UniqueFd(::fcntl(folder.get(), F_DUPFD_CLOEXEC, 0)));
    if (!dir) {
        error(path, errno, true);
        return true;
    }
    const qsizetype base = path.size();
    auto setPath = [&](const char* name) {
        path.truncate(base);
        if (!path.endsWith('/'))
            path += '/';
        path += name;
    };
    struct Below {
        QByteArray name;
        struct stat st;
    };
    std::vector<Below> below;
    for (;;) {
        if (stopped())
            return false;
        errno = 0;
        dirent* e = dir.next();
        if (!e) {
            if (errno != 0)
                error(path.left(base), errno, true);
            break;
        }
        setPath(e->d_name);
        struct stat st {};
        const bool needStat = m_options.stat || e->d_type == DT_UNKNOWN
                              || (e->d_type == DT_DIR && m_options.sameDevice);
        if (needStat) {
            if (::fstatat(folder.get(), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
                // Gone since it was listed: nothing to walk.
                if (errno != ENOENT)
                    error(path, errno, false);
                continue;
            }
        } else {
            st.st_mode = modeOfType(e->d_type);
        }
        count(st, path);
        const WalkStep step = visit(WalkEntry{path, e->d_name, depth, folder.get(), st});
        if (step == WalkStep::Stop) {
            m_stopped = true;
            return false;
        }
        if (step == WalkStep::Skip || !S_ISDIR(st.st_mode))
            continue;
        if (m_options.sameDevice && st.st_dev != m_rootDev)
            continue;
        below.push_back({QByteArray(e->d_name), st});
    }
    dir.reset();
    std::sort(below.begin(), below.end(), [](const Below& a, const Below& b) { return a.name < b.name; });
    for (const Below& sub : below) {
        if (stopped())
            return false;
        setPath(sub.name.constData());
        UniqueFd fd(::openat(folder.get(), sub.name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        if (!fd || ::fstat(fd.get(), &opened) != 0) {
            error(path, errno, true);
            continue;
        }
        bool loop = false;
        for (const Level* l = up; l && !loop; l = l->up)
            loop = l->dev == opened.st_dev && l->ino == opened.st_ino;
        if (loop) {
            error(path, ELOOP, true);
            continue;
        }
        const Level level{opened.st_dev, opened.st_ino, up};
        if (!walkFolder(fd.release(), path, depth + 1, &level, visit))
            return false;
        if (m_leave && m_options.leaveFolders)
            m_leave(WalkEntry{path, sub.name.constData(), depth, folder.get(), sub.st});
    }
    path.truncate(base);
    return true;
}

} // namespace corvane::core
