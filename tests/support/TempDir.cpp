#include "TempDir.h"

#include <QDir>
#include <QProcess>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::test {

TempDir::TempDir()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

TempDir::TempDir(std::initializer_list<QByteArray> entries)
    : TempDir()
{
    addEntries(entries);
}

namespace {

QString mediaPlace()
{
    const QString place = QStringLiteral("/media/corvane-tests");
    QDir().mkpath(place);
    return place + QStringLiteral("/XXXXXX");
}

} // namespace

TempDir::TempDir(InMediaPlace, std::initializer_list<QByteArray> entries)
    : m_dir(mediaPlace())
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a folder under /media");
    addEntries(entries);
}

void TempDir::addEntries(std::initializer_list<QByteArray> entries)
{
    for (const QByteArray& e : entries) {
        if (e.endsWith('/'))
            addFolder(e.chopped(1));
        else
            addFile(e);
    }
}

namespace {

void removeBelow(int dirFd)
{
    DIR* d = ::fdopendir(dirFd);
    if (!d) {
        ::close(dirFd);
        return;
    }
    while (dirent* e = ::readdir(d)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        struct statx sx {};
        if (::statx(::dirfd(d), n, AT_SYMLINK_NOFOLLOW, STATX_TYPE, &sx) != 0)
            continue;
        if (S_ISDIR(sx.stx_mode)) {
            if (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT)
                continue;
            const int sub = ::openat(::dirfd(d), n, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                removeBelow(sub);
            ::unlinkat(::dirfd(d), n, AT_REMOVEDIR);
        } else {
            ::unlinkat(::dirfd(d), n, 0);
        }
    }
    ::closedir(d);
}

} // namespace

TempDir::~TempDir()
{
    const int fd = ::open(pathBytes().constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        removeBelow(fd);
}

QByteArray TempDir::pathBytes() const
{
    return QFile::encodeName(m_dir.path());
}

void TempDir::addFolder(const QByteArray& relName)
{
    QByteArray full = pathBytes() + '/' + relName;
    // Create each missing ancestor with raw bytes, so names need not be UTF-8.
    for (qsizetype i = pathBytes().size() + 1; i <= full.size(); ++i) {
        if (i == full.size() || full.at(i) == '/') {
            QByteArray part = full.left(i);
            if (::mkdir(part.constData(), 0755) != 0 && errno != EEXIST)
                throw std::runtime_error("mkdir failed: " + part.toStdString());
        }
    }
}

void TempDir::addFile(const QByteArray& relName, const QByteArray& content)
{
    qsizetype slash = relName.lastIndexOf('/');
    if (slash > 0)
        addFolder(relName.left(slash));
    QByteArray full = pathBytes() + '/' + relName;
    int fd = ::open(full.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("open failed: " + full.toStdString());
    if (!content.isEmpty() && ::write(fd, content.constData(), size_t(content.size())) != content.size()) {
        ::close(fd);
        throw std::runtime_error("write failed");
    }
    ::close(fd);
}

void TempDir::addSymlink(const QByteArray& relName, const QByteArray& target)
{
    QByteArray full = pathBytes() + '/' + relName;
    if (::symlink(target.constData(), full.constData()) != 0)
        throw std::runtime_error("symlink failed");
}

QByteArray ReadFileBytes(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<missing>";
    QByteArray out;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        out.append(buffer, n);
    ::close(fd);
    return out;
}

int runShell(const QString& command)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedChannels);
    p.start("/bin/sh", {"-c", command});
    p.waitForFinished(-1);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace corvane::test
