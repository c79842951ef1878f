// The inflating ahead of an extraction: it hands over only data that matches the directory, and
// leaves everything else to the usual path.
#include "ZipTestSupport.h"
#include "tests/support/TempDir.h"
#include "zip/engine/ZipDirectory.h"
#include "zip/engine/ZipInflateAhead.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <unistd.h>

using namespace corvane::zip;
using namespace corvane::test;

namespace {

struct Archive {
    TempDir dir;
    QString path;
    QByteArray text;
    Archive()
    {
        for (int i = 0; i < 4000; ++i)
            text += "line " + QByteArray::number(i) + " of a text that deflates well\n";
        dir.addFile("src/text.txt", text);
        dir.addFile("src/small.txt", "tiny");
        path = dir.filePath("a.zip");
        QProcess zip;
        zip.setWorkingDirectory(dir.filePath("src"));
        zip.start("zip", {"-q", "-9", path, "text.txt", "small.txt"});
        EXPECT_TRUE(zip.waitForFinished(20000));
        EXPECT_EQ(zip.exitCode(), 0);
    }
};

std::optional<std::vector<char>> PrepareFrom(const QByteArray& bytes, const ZipDirEntry& e)
{
    TempDir dir;
    dir.addFile("x.zip", bytes);
    const int fd = ::open(dir.filePath("x.zip").toUtf8().constData(), O_RDONLY | O_CLOEXEC);
    auto out = TZipInflateAhead::Prepare(fd, bytes.size(), e);
    ::close(fd);
    return out;
}

} // namespace

TEST(ZipInflateAhead, HandsOverOnlyWhatMatchesTheDirectory)
{
    Archive a;
    const ZipListing listing = ReadZipDirectoryFile(a.path);
    ASSERT_EQ(listing.entries.size(), 2u);
    const ZipDirEntry text = listing.entries[0];
    ASSERT_EQ(text.CompressionMethod, 8);
    const QByteArray bytes = ReadBytes(a.path);

    const auto intact = PrepareFrom(bytes, text);
    ASSERT_TRUE(intact);
    EXPECT_EQ(QByteArray(intact->data(), qsizetype(intact->size())), a.text);

    struct Case {
        const char* what;
        std::function<void(QByteArray&, ZipDirEntry&)> spoil;
    };
    const Case cases[] = {
        {"a byte of the data changed", [](QByteArray& b, ZipDirEntry& e) { b[qsizetype(e.RelativeOffset) + 30 + 8 + 100] ^= 0x55; }},
        {"the directory claims one byte more", [](QByteArray&, ZipDirEntry& e) { ++e.UncompressedSize; }},
        {"the directory claims one byte less", [](QByteArray&, ZipDirEntry& e) { --e.UncompressedSize; }},
        {"another CRC", [](QByteArray&, ZipDirEntry& e) { e.Crc32 ^= 1; }},
        {"the local header names another file", [](QByteArray&, ZipDirEntry& e) { e.RawName = "texx.txt"; }},
        {"the offset points elsewhere", [](QByteArray&, ZipDirEntry& e) { e.RelativeOffset += 1; }},
        {"the offset points past the end", [](QByteArray& b, ZipDirEntry& e) { e.RelativeOffset = quint64(b.size()) + 10; }},
        {"the compressed size runs past the end", [](QByteArray& b, ZipDirEntry& e) { e.CompressedSize = quint64(b.size()); }},
        {"encrypted", [](QByteArray&, ZipDirEntry& e) { e.Flags |= 1; }},
        {"another method", [](QByteArray&, ZipDirEntry& e) { e.CompressionMethod = 12; }},
        {"too big to hold", [](QByteArray&, ZipDirEntry& e) { e.UncompressedSize = TZipInflateAhead::EntryMax + 1; }},
    };
    for (const Case& c : cases) {
        QByteArray b = bytes;
        ZipDirEntry e = text;
        c.spoil(b, e);
        EXPECT_FALSE(PrepareFrom(b, e)) << c.what;
    }
}

// The worker hands the entries over in the writer's order, however many there are.
TEST(ZipInflateAhead, EveryEntryInOrder)
{
    Archive a;
    const ZipListing listing = ReadZipDirectoryFile(a.path);
    const int fd = ::open(a.path.toUtf8().constData(), O_RDONLY | O_CLOEXEC);
    {
        TZipInflateAhead ahead(fd, listing.entries, {1, 0, 1});
        auto small = ahead.take(0);
        auto text = ahead.take(1);
        auto again = ahead.take(2);
        ASSERT_TRUE(small && text && again);
        EXPECT_EQ(QByteArray(small->data(), qsizetype(small->size())), "tiny");
        EXPECT_EQ(qsizetype(text->size()), a.text.size());
    }
    {
        // Stopped before the writer took anything.
        TZipInflateAhead ahead(fd, listing.entries, {0, 1});
    }
    ::close(fd);
}
