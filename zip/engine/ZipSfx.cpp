#include "ZipSfx.h"

#include "ZipBytes.h"
#include "ZipDirectory.h"
#include "core/NameCodec.h"
#include "core/UniqueFd.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace corvane::zip {

using core::EncodeName;
using core::UniqueFd;

using namespace bytes;

namespace {

// The archive that starts `start` bytes into a file.
struct Located {
    ZipEndRecord end;
    quint64 directoryStart = 0;  // where the directory actually lies, from `start`
    qint64 shift = 0;            // actual minus recorded offsets
};

bool Locate(int fd, quint64 start, quint64 size, Located& l)
{
    if (start > size)
        return false;
    const ZipReadAt all = FileReadAt(fd);
    const ZipReadAt from = [&all, start](quint64 offset, char* buffer, qint64 n) { return all(offset + start, buffer, n); };
    if (!FindZipEndRecord(from, size - start, l.end) || l.end.disk != 0 || l.end.directorySize > l.end.position)
        return false;
    // ZIP64 archives keep their offsets elsewhere; the copies here do not shift those.
    if (l.end.entries == 0xFFFF || l.end.directoryOffset == 0xFFFFFFFFu)
        return false;
    l.directoryStart = l.end.position - l.end.directorySize;
    l.shift = qint64(l.directoryStart) - qint64(l.end.directoryOffset);
    return true;
}

// Copies the archive at [start, size) of `in` to `out`, where it begins at `outBase`, with every
// offset rewritten to count from the start of `out`.
bool CopyArchive(int in, quint64 start, quint64 size, int out, quint64 outBase)
{
    Located l;
    if (!Locate(in, start, size, l))
        return false;
    QByteArray block(1 << 16, '\0');
    for (quint64 at = 0; at < l.directoryStart;) {
        const qint64 n = qint64(std::min<quint64>(quint64(block.size()), l.directoryStart - at));
        if (ReadFully(in, start + at, block.data(), size_t(n)) != n || !WriteAll(out, block.constData(), n))
            return false;
        at += quint64(n);
    }
    QByteArray tail(qsizetype(size - start - l.directoryStart), '\0');
    if (ReadFully(in, start + l.directoryStart, tail.data(), size_t(tail.size())) != tail.size())
        return false;
    // Entries move by as much as the directory does.
    const qint64 move = qint64(outBase + l.directoryStart) - qint64(l.end.directoryOffset);
    const auto shifted = [move](quint32 recorded, quint32& result) {
        const qint64 v = qint64(recorded) + move;
        if (recorded == 0xFFFFFFFFu || v < 0 || v >= 0xFFFFFFFFll)
            return false;
        result = quint32(v);
        return true;
    };
    qsizetype pos = 0;
    for (quint64 i = 0; i < l.end.entries; ++i) {
        if (pos + kCentralSize > qsizetype(l.end.directorySize) || U32(tail.constData() + pos) != kCentralSig)
            return false;
        char* h = tail.data() + pos;
        quint32 offset = 0;
        if (!shifted(U32(h + 42), offset))
            return false;
        Put32(h + 42, offset);
        pos += kCentralSize + U16(h + 28) + U16(h + 30) + U16(h + 32);
    }
    char* record = tail.data() + (l.end.position - l.directoryStart);
    quint32 directory = 0;
    if (!shifted(U32(record + 16), directory))
        return false;
    Put32(record + 16, directory);
    return WriteAll(out, tail.constData(), tail.size());
}

QByteArray Latin(const QString& text)
{
    return text.toLocal8Bit();
}

} // namespace

int SfxTextLength(const SfxSettings& s)
{
    return int(Latin(s.caption).size() + Latin(s.defaultDir).size() + Latin(s.commandLine).size());
}

QByteArray SfxHeader(const SfxSettings& s)
{
    QByteArray h(kSfxHeaderSize, '\0');
    h[0] = 'M';
    h[1] = 'P';
    h[2] = 'U';
    quint8 flags = 0;
    if (s.options & SFXAskCmdLine)
        flags |= 1u << 0;
    if (s.options & SFXAskFiles)
        flags |= 1u << 1;
    if (s.options & SFXHideOverWriteBox)
        flags |= 1u << 2;
    if (s.overwrite == SFXOverWriteModes::OvrAlways)
        flags |= 1u << 3;
    if (s.overwrite == SFXOverWriteModes::OvrNever)
        flags |= 1u << 4;
    if (!(s.options & SFXCheckSize))
        flags |= 1u << 5;
    if (s.options & SFXAutoRun)
        flags |= 1u << 6;
    h[3] = char(flags);
    const QByteArray texts[] = {Latin(s.caption), Latin(s.defaultDir), Latin(s.commandLine)};
    int at = 7;
    for (int k = 0; k < 3; ++k) {
        const QByteArray t = texts[k].left(std::max(0, kSfxHeaderSize - at));
        h[4 + k] = char(t.size());
        h.replace(at, t.size(), t);
        at += int(t.size());
    }
    return h;
}

QString FindSfxStub(const QString& sfxPath, const QString& dllDirectory)
{
    if (!sfxPath.isEmpty() && QFileInfo(sfxPath).isFile())
        return sfxPath;
    const QString name = QString::fromLatin1(kSfxStubName);
    QStringList folders{QDir::currentPath()};
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath();
    if (!dllDirectory.isEmpty())
        folders << dllDirectory;
    for (const QString& folder : folders) {
        const QString candidate = QDir(folder).filePath(name);
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

bool StartSelfExtracting(const QString& archive, const QString& stub, const SfxSettings& settings)
{
    UniqueFd in(::open(EncodeName(stub).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0)
        return false;
    const QByteArray target = EncodeName(archive);
    UniqueFd out(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755));
    if (!out)
        return false;
    QByteArray block(1 << 16, '\0');
    bool ok = true;
    for (qint64 at = 0; ok && at < st.st_size;) {
        const qint64 n = ReadFully(in.get(), quint64(at), block.data(), size_t(std::min<qint64>(block.size(), st.st_size - at)));
        ok = n > 0 && WriteAll(out.get(), block.constData(), n);
        at += n;
    }
    QByteArray end(kEndSize, '\0');
    Put32(end.data(), kEndSig);
    Put32(end.data() + 16, quint32(st.st_size + kSfxHeaderSize));
    const QByteArray header = SfxHeader(settings);
    ok = ok && WriteAll(out.get(), header.constData(), header.size()) && WriteAll(out.get(), end.constData(), end.size())
        && ::close(out.release()) == 0;
    if (!ok)
        ::unlink(target.constData());
    return ok;
}

qint64 SfxPrefixLength(const QString& path)
{
    UniqueFd fd(::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    Located l;
    if (!fd || ::fstat(fd.get(), &st) != 0 || !Locate(fd.get(), 0, quint64(st.st_size), l))
        return -1;
    // The archive starts where its first entry does, or at its directory when it has none.
    const ZipListing listing = ReadZipDirectory(FileReadAt(fd.get()), quint64(st.st_size));
    if (listing.failed)
        return -1;
    qint64 start = qint64(l.directoryStart);
    for (const ZipDirEntry& e : listing.entries)
        start = std::min(start, qint64(e.RelativeOffset) + l.shift);
    return start < 0 ? -1 : start;
}

bool DetachArchive(const QString& path, qint64 prefix, const QString& plain)
{
    UniqueFd in(::open(EncodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0)
        return false;
    const QByteArray target = EncodeName(plain);
    UniqueFd out(::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    const bool ok = out && CopyArchive(in.get(), quint64(prefix), quint64(st.st_size), out.get(), 0)
        && ::close(out.release()) == 0;
    if (!ok)
        ::unlink(target.constData());
    return ok;
}

bool AttachArchive(const QString& path, qint64 prefix, const QString& plain)
{
    const QByteArray target = EncodeName(path);
    UniqueFd program(::open(target.constData(), O_RDONLY | O_CLOEXEC));
    UniqueFd archive(::open(EncodeName(plain).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!program || !archive || ::fstat(archive.get(), &st) != 0)
        return false;
    // Written beside and renamed over: a failure keeps the program as it was.
    QByteArray temp = target + ".XXXXXX";
    UniqueFd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (!out)
        return false;
    QByteArray head(qsizetype(prefix), '\0');
    const bool ok = ReadFully(program.get(), 0, head.data(), size_t(prefix)) == prefix
        && WriteAll(out.get(), head.constData(), head.size())
        && CopyArchive(archive.get(), 0, quint64(st.st_size), out.get(), quint64(prefix))
        && ::fchmod(out.get(), 0755) == 0 && ::fsync(out.get()) == 0 && ::close(out.release()) == 0
        && ::rename(temp.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}

} // namespace corvane::zip
