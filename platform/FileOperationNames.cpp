#include "FileOperationNames.h"

#include "FileOperation.h"
#include "FileOperationTexts.h"
#include "NameCodec.h"
#include "core/Text.h"
#include "core/TreeWalker.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

namespace corvane::platform {

using core::JoinRawPath;
using core::Text;
using namespace fileops;

namespace {

// Stem and extension of a name; folders and dot files have no extension, and an "extension" with
// blanks or of more than 16 bytes is part of the name ("Report v1.2 final").
std::pair<QByteArray, QByteArray> splitName(const QByteArray& name, bool isFolder)
{
    if (isFolder)
        return {name, {}};
    qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0 || dot == name.size() - 1)
        return {name, {}};
    QByteArray ext = name.mid(dot);
    if (ext.size() > 16 || ext.contains(' '))
        return {name, {}};
    QByteArray stem = name.left(dot);
    // Compressed tar archives keep both parts: "a (copy).tar.gz".
    if (stem.size() > 4 && stem.right(4).toLower() == ".tar") {
        ext.prepend(stem.right(4));
        stem.chop(4);
    }
    return {stem, ext};
}

// Removes a trailing suffix built from `format` (" (copy %1)", " (%1)") or equal to `plain`.
QByteArray stripSuffix(QByteArray stem, const QByteArray& plain, const QByteArray& format)
{
    if (!plain.isEmpty() && stem.endsWith(plain) && stem.size() > plain.size())
        return stem.chopped(plain.size());
    qsizetype mark = format.indexOf("%1");
    QByteArray head = format.left(mark);
    QByteArray tail = format.mid(mark + 2);
    if (!stem.endsWith(tail))
        return stem;
    qsizetype end = stem.size() - tail.size();
    qsizetype start = end;
    while (start > 0 && stem.at(start - 1) >= '0' && stem.at(start - 1) <= '9')
        --start;
    if (start == end || start < head.size() || stem.mid(start - head.size(), head.size()) != head)
        return stem;
    if (start - head.size() == 0)
        return stem;  // the whole name is the suffix
    return stem.left(start - head.size());
}

// Joins the parts, shortening the stem (never inside a UTF-8 sequence) to fit the limit.
QByteArray fitName(QByteArray stem, const QByteArray& suffix, QByteArray ext, qsizetype limit = NAME_MAX)
{
    if (suffix.size() + ext.size() >= limit)
        ext.clear();
    qsizetype room = limit - suffix.size() - ext.size();
    if (stem.size() > room) {
        qsizetype cut = room;
        while (cut > 0 && (uchar(stem.at(cut)) & 0xC0) == 0x80)
            --cut;
        stem.truncate(cut);
    }
    return stem + suffix + ext;
}

} // namespace

QByteArray CopyName(const QByteArray& name, bool isFolder, int n)
{
    auto [stem, ext] = splitName(name, isFolder);
    const QByteArray plain = EncodeName(Text(texts::CopySuffix));
    const QByteArray format = EncodeName(Text(texts::CopySuffixN));
    stem = stripSuffix(stem, plain, format);
    QByteArray suffix = n <= 1 ? plain : EncodeName(Text(texts::CopySuffixN).arg(n));
    return fitName(stem, suffix, ext);
}

QByteArray NumberedName(const QByteArray& name, bool isFolder, int n)
{
    auto [stem, ext] = splitName(name, isFolder);
    stem = stripSuffix(stem, {}, EncodeName(Text(texts::NumberSuffixN)));
    return fitName(stem, EncodeName(Text(texts::NumberSuffixN).arg(std::max(n, 2))), ext);
}

namespace fileops {

bool EntryNames(const QByteArray& dir, std::vector<QByteArray>& names)
{
    core::DirStream d = core::DirStream::open(dir.constData());
    if (!d)
        return false;
    while (dirent* e = d.next())
        names.emplace_back(e->d_name);
    return true;
}

QByteArray CleanPath(const QByteArray& path)
{
    QByteArray p = path;
    if (!p.startsWith('/'))
        p = JoinRawPath(QFile::encodeName(QDir::currentPath()), p);
    while (p.contains("//"))
        p.replace("//", "/");
    while (p.size() > 1 && p.endsWith('/'))
        p.chop(1);
    return p;
}

QString ErrnoMessage(int error)
{
    char buf[256];
    return QString::fromLocal8Bit(::strerror_r(error, buf, sizeof buf));
}

QString Shown(const QByteArray& path)
{
    return ReadableName(BaseName(path).isEmpty() ? path : BaseName(path));
}

QString WithName(const char* text, const QByteArray& path)
{
    return Text(text).arg(Shown(path));
}

QByteArray FreeName(const QByteArray& dir, const QByteArray& name, bool isFolder, bool copyStyle)
{
    struct stat st;
    for (int n = copyStyle ? 1 : 2; n < 1'000'000; ++n) {
        QByteArray candidate = copyStyle ? CopyName(name, isFolder, n) : NumberedName(name, isFolder, n);
        if (!Lstat(JoinRawPath(dir, candidate), &st) && errno == ENOENT)
            return candidate;
    }
    return NumberedName(name, isFolder, int(QRandomGenerator::global()->bounded(1'000'000, INT_MAX)));
}

QByteArray ShortenName(const QByteArray& name, bool isFolder, qsizetype limit)
{
    if (name.size() <= limit)
        return name;
    auto [stem, ext] = splitName(name, isFolder);
    return fitName(stem, {}, ext, limit);
}

int RenameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The file system lacks the flag (some network and FUSE file systems): check, then rename.
    struct stat st;
    if (Lstat(to, &st))
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

void RemoveTree(const QByteArray& path)
{
    struct stat st;
    if (!Lstat(path, &st))
        return;
    if (!S_ISDIR(st.st_mode)) {
        ::unlink(path.constData());
        return;
    }
    // Emptied as it is walked; folders are opened up first, in case a copy made them read-only.
    ::chmod(path.constData(), 0700);
    core::TreeWalker walker({.stat = false, .leaveFolders = true});
    walker.onLeave([](const core::WalkEntry& e) { ::unlinkat(e.dirFd, e.name, AT_REMOVEDIR); });
    walker.walk(path, [](const core::WalkEntry& e) {
        if (e.isFolder())
            ::fchmodat(e.dirFd, e.name, 0700, 0);
        else
            ::unlinkat(e.dirFd, e.name, 0);
        return core::WalkStep::Continue;
    });
    ::rmdir(path.constData());
}

int MakePath(const QByteArray& path, mode_t mode)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (path != "/") {
        if (int e = MakePath(ParentOf(path), mode))
            return e;
    }
    if (::mkdir(path.constData(), mode) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

FolderIds FoldersUpFrom(QByteArray dir)
{
    char* real = ::realpath(dir.constData(), nullptr);
    while (!real && dir != "/") {
        dir = ParentOf(dir);
        real = ::realpath(dir.constData(), nullptr);
    }
    QByteArray at = real ? QByteArray(real) : QByteArray("/");
    std::free(real);
    FolderIds ids;
    for (;;) {
        struct stat st;
        if (::stat(at.constData(), &st) == 0)
            ids.emplace_back(st.st_dev, st.st_ino);
        if (at == "/")
            return ids;
        at = ParentOf(at);
    }
}

bool Contains(const FolderIds& ids, const struct stat& st)
{
    return std::any_of(ids.begin(), ids.end(), [&](const auto& id) { return id.first == st.st_dev && id.second == st.st_ino; });
}

} // namespace fileops

} // namespace corvane::platform
