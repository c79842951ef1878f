// Corvane's zip component next to Info-ZIP on the same data in the same run:
//   create a tree of about 15,000 files / 280 MB at level 9   (zip -r -9)
//   extract that archive                                      (unzip)
//   list an archive of 100,000 entries                        (unzip -Z1)
// The data is generated in a temporary folder (mixed text and incompressible bytes) and removed
// afterwards. Usage: zip_bench [files] [megabytes]
// For profiling one side alone: zip_bench --extract ARCHIVE FOLDER
#include "zip/engine/ZipComponent.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <unistd.h>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <zlib.h>

#include <cstdio>
#include <functional>
#include <cstring>
#include <thread>

using namespace corvane::zip;

namespace {

double Seconds(const std::function<void()>& run)
{
    QElapsedTimer t;
    t.start();
    run();
    return double(t.nsecsElapsed()) / 1e9;
}

void Shell(const QString& command)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command + QStringLiteral(" >/dev/null")});
    p.waitForFinished(-1);
    if (p.exitCode() != 0)
        std::fprintf(stderr, "failed: %s\n", qPrintable(command));
}

QString Q(const QString& s)
{
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

// Text of words from a fixed vocabulary (compresses about 3:1) or random bytes.
QByteArray Content(QRandomGenerator& g, qint64 size, bool text)
{
    QByteArray b(size, '\0');
    if (!text) {
        g.fillRange(reinterpret_cast<quint32*>(b.data()), size / 4);
        return b;
    }
    static std::vector<QByteArray> words = [] {
        std::vector<QByteArray> w;
        QRandomGenerator v(42);
        for (int i = 0; i < 3000; ++i) {
            QByteArray word;
            for (int k = 0, n = 2 + int(v.bounded(9)); k < n; ++k)
                word += char('a' + v.bounded(26));
            w.push_back(word);
        }
        return w;
    }();
    qint64 at = 0;
    while (at < size) {
        const QByteArray& w = words[g.bounded(quint32(words.size()))];
        for (char c : w) {
            if (at < size)
                b[at++] = c;
        }
        if (at < size)
            b[at++] = g.bounded(12) == 0 ? '\n' : ' ';
    }
    return b;
}

qint64 MakeTree(const QString& root, int files, qint64 bytes)
{
    QRandomGenerator g(1);
    qint64 written = 0;
    // The random sizes below average 0.87 of the mean; this brings the total to `bytes`.
    const qint64 mean = bytes * 115 / 100 / files;
    for (int i = 0; i < files; ++i) {
        const QString folder = root + QStringLiteral("/d%1/s%2").arg(i % 40).arg(i % 7);
        if (i < 280)
            QDir().mkpath(folder);
        // Mostly small files, a few large ones carry much of the bytes, as in a real tree.
        qint64 size = i % 500 == 0 ? mean * 60 : qint64(g.bounded(quint32(mean))) + mean / 4;
        size = std::min(size, bytes - written);
        if (size < 0)
            size = 0;
        QFile f(folder + QStringLiteral("/f%1.%2").arg(i).arg(i % 5 == 0 ? "bin" : "txt"));
        f.open(QIODevice::WriteOnly);
        f.write(Content(g, size, i % 5 != 0));
        written += size;
    }
    return written;
}

void Put16(QByteArray& b, quint32 v)
{
    b.append(char(v & 0xFF)).append(char(v >> 8 & 0xFF));
}
void Put32(QByteArray& b, quint32 v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// 100,000 small stored entries with the layout a zipper writes.
void MakeBigListing(const QString& path, int entries)
{
    QByteArray out, central;
    for (int i = 0; i < entries; ++i) {
        const QByteArray name = "folder" + QByteArray::number(i / 1000) + "/file_" + QByteArray::number(i) + ".txt";
        const QByteArray data = "entry " + QByteArray::number(i);
        const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size())));
        const quint32 offset = quint32(out.size());
        Put32(out, 0x04034B50);
        Put16(out, 10);
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, 0x5A210000);
        Put32(out, crc);
        Put32(out, quint32(data.size()));
        Put32(out, quint32(data.size()));
        Put16(out, quint32(name.size()));
        Put16(out, 0);
        out += name + data;
        Put32(central, 0x02014B50);
        Put16(central, 0x031E);
        Put16(central, 10);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0x5A210000);
        Put32(central, crc);
        Put32(central, quint32(data.size()));
        Put32(central, quint32(data.size()));
        Put16(central, quint32(name.size()));
        Put32(central, 0);
        Put32(central, 0);
        Put32(central, 0100644u << 16);
        Put32(central, offset);
        central += name;
    }
    const quint32 cd = quint32(out.size());
    out += central;
    // More than 65,535 entries take the ZIP64 end record and its locator.
    const quint32 record = quint32(out.size());
    Put32(out, 0x06064B50);
    Put32(out, 44);
    Put32(out, 0);
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    for (quint32 v : {quint32(entries), 0u, quint32(entries), 0u, quint32(central.size()), 0u, cd, 0u})
        Put32(out, v);
    Put32(out, 0x07064B50);
    Put32(out, 0);
    Put32(out, record);
    Put32(out, 0);
    Put32(out, 1);
    Put32(out, 0x06054B50);
    Put32(out, 0);
    Put16(out, 0xFFFF);
    Put16(out, 0xFFFF);
    Put32(out, 0xFFFFFFFFu);
    Put32(out, 0xFFFFFFFFu);
    Put16(out, 0);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(out);
}

qint64 SizeOf(const QString& path)
{
    return QFileInfo(path).size();
}

void Row(const char* what, double ours, double peer, const char* peerName)
{
    std::printf("%-44s corvane %7.2f s   %-10s %7.2f s   ratio %.2f\n", what, ours, peerName, peer, ours / peer);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--extract") == 0) {
        TZipComponent zip;
        zip.Unattended = true;
        zip.SetZipFilename(QString::fromLocal8Bit(argv[2]));
        zip.ExtrBaseDir = QString::fromLocal8Bit(argv[3]);
        zip.ExtrOptions = ExtrDirNames | ExtrOverWrite;
        zip.Extract();
        std::printf("extracted %d\n", zip.SuccessCount());
        return 0;
    }
    const int files = argc > 1 ? std::atoi(argv[1]) : 15000;
    const qint64 megabytes = argc > 2 ? std::atoll(argv[2]) : 280;
    QTemporaryDir tmp(QDir::tempPath() + QStringLiteral("/corvane-zip-bench-XXXXXX"));
    const QString root = tmp.path();
    const qint64 bytes = MakeTree(root + QStringLiteral("/tree"), files, megabytes * 1024 * 1024);
    std::printf("data: %d files, %.1f MB, %u cores\n", files, double(bytes) / 1048576.0, std::thread::hardware_concurrency());

    const QString theirs = root + QStringLiteral("/theirs.zip"), ours = root + QStringLiteral("/ours.zip");
    auto add = [&](int threads) {
        QFile::remove(ours);
        TZipComponent zip;
        zip.Unattended = true;
        zip.SetZipFilename(ours);
        zip.FSpecArgs = {root + QStringLiteral("/tree/*.*")};
        zip.AddOptions = AddRecurseDirs | AddDirNames;
        zip.AddCompLevel = 9;
        zip.CompressThreads = threads;
        zip.Add();
        if (zip.SuccessCount() != files)
            std::fprintf(stderr, "added %d of %d\n", zip.SuccessCount(), files);
    };
    const double zipTime = Seconds([&] { Shell("cd " + Q(root) + " && zip -r -9 -q -D theirs.zip tree"); });
    const double oneCore = Seconds([&] { add(1); });
    Row("create, level 9, one core", oneCore, zipTime, "zip -r -9");
    const double allCores = Seconds([&] { add(0); });
    Row("create, level 9, every core", allCores, zipTime, "zip -r -9");
    std::printf("archive sizes: corvane %.1f MB, zip %.1f MB\n", double(SizeOf(ours)) / 1048576.0, double(SizeOf(theirs)) / 1048576.0);
    QFile::remove(ours);

    const QString out = root + QStringLiteral("/out");
    // The disk here is noisy, and whoever runs right after a large deletion pays for it: each side
    // starts after the same removal and sync, the sides take turns, and the best of four counts.
    const auto settled = [&](const std::function<void()>& run) {
        QDir(out).removeRecursively();
        ::sync();
        QThread::msleep(500);
        return Seconds(run);
    };
    const auto unzipOnce = [&] { Shell("unzip -q -o " + Q(theirs) + " -d " + Q(out)); };
    const auto extractOnce = [&] {
        TZipComponent zip;
        zip.Unattended = true;
        zip.SetZipFilename(theirs);
        zip.ExtrBaseDir = out;
        zip.ExtrOptions = ExtrDirNames | ExtrOverWrite;
        zip.Extract();
        if (zip.SuccessCount() != files)
            std::fprintf(stderr, "extracted %d of %d\n", zip.SuccessCount(), files);
    };
    // One untimed run of each first: the disk's state after the tree and the archives were written
    // favours whoever extracts first.
    settled(unzipOnce);
    settled(extractOnce);
    double unzipTime = 1e9, extractTime = 1e9;
    for (int round = 0; round < 4; ++round) {
        double u = 0, c = 0;
        if (round % 2) {
            c = settled(extractOnce);
            u = settled(unzipOnce);
        } else {
            u = settled(unzipOnce);
            c = settled(extractOnce);
        }
        std::printf("  extract round %d: unzip %.2f s, corvane %.2f s\n", round + 1, u, c);
        unzipTime = std::min(unzipTime, u);
        extractTime = std::min(extractTime, c);
    }
    Row("extract", extractTime, unzipTime, "unzip");
    QDir(out).removeRecursively();
    QFile::remove(theirs);
    QDir(root + QStringLiteral("/tree")).removeRecursively();

    const QString big = root + QStringLiteral("/list.zip");
    MakeBigListing(big, 100000);
    const double z1 = Seconds([&] { Shell("unzip -Z1 " + Q(big)); });
    const double listTime = Seconds([&] {
        TZipComponent zip;
        zip.SetZipFilename(big);
        if (zip.EntryCount() != 100000)
            std::fprintf(stderr, "listed %d\n", zip.EntryCount());
    });
    Row("list 100,000 entries", listTime, z1, "unzip -Z1");
    return 0;
}
