#include "ZipTestSupport.h"

#include <QFile>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace corvane::test {

namespace {

void Put16(QByteArray& b, quint32 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF));
}
void Put32(QByteArray& b, quint32 v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
void Put64(QByteArray& b, quint64 v)
{
    Put32(b, quint32(v));
    Put32(b, quint32(v >> 32));
}

void Walk(const QByteArray& root, const QByteArray& rel, std::vector<std::pair<QByteArray, QByteArray>>& out)
{
    DIR* d = ::opendir((root + rel).constData());
    if (!d)
        return;
    while (dirent* e = ::readdir(d)) {
        if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, ".."))
            continue;
        const QByteArray r = rel + "/" + e->d_name;
        struct stat st {};
        ::lstat((root + r).constData(), &st);
        if (S_ISDIR(st.st_mode)) {
            out.emplace_back(r.mid(1) + "/", QByteArray());
            Walk(root, r, out);
        } else if (S_ISLNK(st.st_mode)) {
            char target[4096];
            const ssize_t n = ::readlink((root + r).constData(), target, sizeof target);
            out.emplace_back(r.mid(1), "-> " + QByteArray(target, int(std::max<ssize_t>(n, 0))));
        } else {
            QByteArray all;
            const int fd = ::open((root + r).constData(), O_RDONLY | O_CLOEXEC);
            char buffer[65536];
            for (ssize_t n; fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
                all.append(buffer, n);
            if (fd >= 0)
                ::close(fd);
            out.emplace_back(r.mid(1), all);
        }
    }
    ::closedir(d);
}

} // namespace

QByteArray Noise(int size, quint32 seed)
{
    QByteArray b(size, '\0');
    QRandomGenerator g(seed);
    g.fillRange(reinterpret_cast<quint32*>(b.data()), size / 4);
    return b;
}

QByteArray BuildZip(const RawArchive& a)
{
    QByteArray out, central;
    for (const RawEntry& e : a.entries) {
        const quint32 offset = quint32(out.size());
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(e.data.constData()), uInt(e.data.size())));
        Put32(out, 0x04034B50);
        Put16(out, 20);
        Put16(out, e.flags);
        Put16(out, 0);
        Put32(out, 0x5A210000);  // 2025-01-01 00:00
        Put32(out, crc);
        Put32(out, quint32(e.data.size()));
        Put32(out, quint32(e.data.size()));
        Put16(out, quint32(e.name.size()));
        Put16(out, 0);
        out += e.name;
        out += e.data;

        const bool big = e.claimedSize > 0xFFFFFFFFull;
        QByteArray extra;
        if (big) {
            Put16(extra, 0x0001);
            Put16(extra, 16);
            Put64(extra, e.claimedSize);
            Put64(extra, e.claimedSize);
        }
        Put32(central, 0x02014B50);
        central.append(char(e.madeBy)).append(char(e.host));
        Put16(central, 20);
        Put16(central, e.flags);
        Put16(central, 0);
        Put32(central, 0x5A210000);
        Put32(central, crc);
        Put32(central, big ? 0xFFFFFFFFu : quint32(e.data.size()));
        Put32(central, big ? 0xFFFFFFFFu : quint32(e.data.size()));
        Put16(central, quint32(e.name.size()));
        Put16(central, quint32(extra.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, e.externalAttributes);
        Put32(central, offset);
        central += e.name;
        central += extra;
    }
    const quint64 cdOffset = quint64(out.size());
    out += central;
    const quint64 count = a.entries.size();
    if (a.zip64) {
        const quint64 recordAt = quint64(out.size());
        Put32(out, 0x06064B50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, count);
        Put64(out, count);
        Put64(out, quint64(central.size()));
        Put64(out, cdOffset);
        Put32(out, 0x07064B50);
        Put32(out, 0);
        Put64(out, recordAt);
        Put32(out, 1);
    }
    Put32(out, 0x06054B50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, a.zip64 ? 0xFFFF : quint32(count));
    Put16(out, a.zip64 ? 0xFFFF : quint32(count));
    Put32(out, a.zip64 ? 0xFFFFFFFFu : quint32(central.size()));
    Put32(out, a.zip64 ? 0xFFFFFFFFu : quint32(cdOffset));
    Put16(out, quint32(a.comment.size()));
    out += a.comment;
    return out;
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

std::vector<std::pair<QByteArray, QByteArray>> TreeContents(const QByteArray& root)
{
    std::vector<std::pair<QByteArray, QByteArray>> out;
    Walk(root, {}, out);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace corvane::test
