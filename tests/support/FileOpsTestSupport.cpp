#include "FileOpsTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <sys/mount.h>
#include <unistd.h>

namespace corvane::test {

void writeBytes(const QByteArray& path, const QByteArray& content, mode_t mode)
{
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path.toStdString());
    if (::write(fd, content.constData(), size_t(content.size())) != content.size()) {
        ::close(fd);
        throw std::runtime_error("cannot write " + path.toStdString());
    }
    ::fchmod(fd, mode);
    ::close(fd);
}

QByteArray readBytes(const QByteArray& path)
{
    QByteArray out;
    int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return "<missing>";
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        out.append(buf, n);
    ::close(fd);
    return out;
}

void writePattern(const QByteArray& path, qint64 size)
{
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path.toStdString());
    QByteArray block(1 << 20, '\0');
    for (qint64 done = 0; done < size;) {
        for (qsizetype i = 0; i < block.size(); i += 4096)
            std::snprintf(block.data() + i, 32, "block %lld", static_cast<long long>((done + i) / 4096));
        qint64 n = std::min<qint64>(block.size(), size - done);
        if (::write(fd, block.constData(), size_t(n)) != n)
            throw std::runtime_error("cannot write " + path.toStdString());
        done += n;
    }
    ::close(fd);
}

bool exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

struct stat statOf(const QByteArray& path)
{
    struct stat st {};
    EXPECT_EQ(::lstat(path.constData(), &st), 0) << path.toStdString();
    return st;
}

std::vector<QByteArray> namesIn(const QByteArray& dir)
{
    std::vector<QByteArray> names;
    if (DIR* d = ::opendir(dir.constData())) {
        while (dirent* e = ::readdir(d)) {
            QByteArray n(e->d_name);
            if (n != "." && n != "..")
                names.push_back(n);
        }
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void clearFolder(const QByteArray& dir)
{
    const std::string d = dir.toStdString();
    const std::string command = "chmod -R u+rwx '" + d + "' 2>/dev/null; find '" + d + "' -mindepth 1 -delete";
    if (std::system(command.c_str()) != 0)
        ADD_FAILURE() << "cannot clear " << d;
}

void setTime(const QByteArray& path, time_t seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW);
}

Tmpfs::Tmpfs(const QByteArray& size)
{
    char templ[] = "/tmp/corvane-tmpfs-XXXXXX";
    if (!::mkdtemp(templ))
        throw std::runtime_error("mkdtemp failed");
    m_path = templ;
    const QByteArray options = "size=" + size + ",mode=0755";
    if (::mount("tmpfs", templ, "tmpfs", 0, options.constData()) != 0)
        throw std::runtime_error("cannot mount a tmpfs (the tests run as root)");
}

Tmpfs::~Tmpfs()
{
    ::umount2(m_path.constData(), MNT_DETACH);
    ::rmdir(m_path.constData());
}

void Asker::attach(platform::FileOperation& op)
{
    op.setConflictHandler([this](const platform::ConflictQuestion& q) {
        conflicts.push_back(q);
        if (conflictAnswers.empty())
            return platform::ConflictAnswer{};
        return conflictAnswers[std::min(conflicts.size(), conflictAnswers.size()) - 1];
    });
    op.setErrorHandler([this](const platform::ErrorQuestion& q) {
        errors.push_back(q);
        if (errorAnswers.empty())
            return platform::ErrorAnswer{};
        return errorAnswers[std::min(errors.size(), errorAnswers.size()) - 1];
    });
}

} // namespace corvane::test
