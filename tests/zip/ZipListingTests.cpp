// Our own central-directory listing: where the end record is found, what counts as garbage,
// names of other hosts, ZIP64 counts and sizes, and damaged or foreign files.
#include "ZipTestSupport.h"
#include "tests/support/TempDir.h"
#include "core/NameCodec.h"
#include "zip/engine/ZipComponent.h"

#include <gtest/gtest.h>

using namespace corvane::zip;
using namespace corvane::test;

namespace {

RawArchive TwoFiles()
{
    RawArchive a;
    a.entries.push_back({"docs/readme.txt", QByteArray(1000, 'r')});
    a.entries.push_back({"empty.dat", {}});
    return a;
}

struct ListCase {
    const char* what;
    const char* fileName;
    std::function<QByteArray()> bytes;
    int errCode;       // after listing
    int entries;       // -1: failed, the name is emptied
};

class ZipListing : public ::testing::TestWithParam<ListCase> {};

TEST_P(ZipListing, EndRecordGarbageAndDamage)
{
    const ListCase& c = GetParam();
    TempDir dir;
    const QString path = dir.filePath(QString::fromUtf8(c.fileName));
    WriteBytes(path, c.bytes());
    TZipComponent zip;
    zip.Unattended = true;
    int updates = 0;
    zip.OnDirUpdate = [&](TZipComponent*) { ++updates; };
    zip.SetZipFilename(path);
    EXPECT_EQ(zip.ErrCode(), c.errCode) << zip.Message().toStdString();
    EXPECT_EQ(updates, 1);
    if (c.entries < 0) {
        EXPECT_EQ(zip.EntryCount(), 0);
        EXPECT_TRUE(zip.ZipFilename().isEmpty());
    } else {
        EXPECT_EQ(zip.EntryCount(), c.entries);
        EXPECT_EQ(zip.ZipFilename(), path);
    }
}

QByteArray Padded(QByteArray b, int zeros)
{
    b += QByteArray(zeros, '\0');
    return b;
}

INSTANTIATE_TEST_SUITE_P(Cases, ZipListing, ::testing::Values(
    ListCase{"plain", "a.zip", [] { return BuildZip(TwoFiles()); }, 0, 2},
    ListCase{"100-byte comment: found by the backward scan", "a.zip",
             [] { RawArchive a = TwoFiles(); a.comment = QByteArray(100, 'c'); return BuildZip(a); }, 0, 2},
    ListCase{"zeros up to a 512-byte boundary", "a.zip",
             [] { QByteArray b = BuildZip(TwoFiles()); return Padded(b, int(512 - b.size() % 512)); }, 0, 2},
    ListCase{"zeros past the 512-byte boundary rule", "a.zip",
             [] { QByteArray b = BuildZip(TwoFiles()); return Padded(b, int(512 - b.size() % 512) + 512); }, 10204, 2},
    ListCase{"zeros not ending on a boundary", "a.zip",
             [] { return Padded(BuildZip(TwoFiles()), 7); }, 10204, 2},
    ListCase{"garbage after the end record", "a.zip",
             [] { return BuildZip(TwoFiles()) + "trailing garbage"; }, 10204, 2},
    ListCase{"bytes in front: the recorded offset is wrong", "a.zip",
             [] { return QByteArray(333, 'x') + BuildZip(TwoFiles()); }, 10203, 2},
    ListCase{"a text file named .zip", "notes.zip",
             [] { return QByteArray("just some text, no archive at all\n").repeated(50); }, 11036, -1},
    ListCase{"an empty file", "empty.zip", [] { return QByteArray(); }, 11036, -1},
    ListCase{"truncated inside the directory", "cut.zip",
             [] { QByteArray b = BuildZip(TwoFiles()); return b.left(b.size() - 40); }, 11036, -1},
    ListCase{"an end record whose directory lies before the file", "past.zip",
             [] { QByteArray b = BuildZip(TwoFiles()); b[b.size() - 7] = char(0x7F); return b; }, 11011, -1},
    ListCase{"more entries than the directory holds", "count.zip",
             [] { QByteArray b = BuildZip(TwoFiles()); b[b.size() - 12] = char(0xFF); b[b.size() - 11] = char(0xFF); return b; },
             11013, -1},
    ListCase{"first part of a spanned set", "set.zip",
             [] { return QByteArray("PK\x07\x08PK\x03\x04", 8) + QByteArray(200, 'z'); }, 11045, -1},
    ListCase{"first numbered part", "set001.zip", [] { return QByteArray(300, 'z'); }, 11037, -1},
    ListCase{"a later numbered part", "set003.zip", [] { return QByteArray(300, 'z'); }, 11038, -1}));

TEST(ZipListingText, NumberedPartMessageNamesItsDisk)
{
    EXPECT_EQ(TZipComponent::MessageText(11038, 3),
              QStringLiteral("This is the 3th disk in a backup set,\nplease insert the last disk of this set"));
    EXPECT_TRUE(TZipComponent::MessageText(4242).endsWith(QStringLiteral("Missing String ID is: 4242")));
}

TEST(ZipListingNames, CodePageUtf8AndRawBytes)
{
    struct Case {
        QByteArray raw;
        quint8 host, madeBy;
        quint16 flags;
        QString expected;
    } cases[] = {
        {"\x8E.txt", 0, 20, 0, QStringLiteral("\u00C4.txt")},              // MS-DOS, code page 437
        {"\x8E.txt", 6, 20, 0, QStringLiteral("\u00C4.txt")},              // OS/2 HPFS
        {"\x8E.txt", 11, 50, 0, QStringLiteral("\u00C4.txt")},             // NTFS by a 5.0 zipper
        {"\xC3\x84.txt", 0, 20, 0x0800, QStringLiteral("\u00C4.txt")},     // flagged UTF-8 stays UTF-8
        {"\xC3\x84.txt", 3, 30, 0, QStringLiteral("\u00C4.txt")},          // Unix: the bytes as a file name
        {"a\\b.txt", 0, 20, 0, QStringLiteral("a\\b.txt")},
    };
    RawArchive a;
    for (const Case& c : cases)
        a.entries.push_back({c.raw, "x", c.host, c.madeBy, c.flags});
    a.entries.push_back({"caf\xE9.txt", "x", 3, 30, 0});  // not UTF-8 on a Unix host
    TempDir dir;
    WriteBytes(dir.filePath("n.zip"), BuildZip(a));
    TZipComponent zip;
    zip.SetZipFilename(dir.filePath("n.zip"));
    ASSERT_EQ(zip.EntryCount(), int(std::size(cases)) + 1);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(zip.DirEntries()[i].FileName, cases[i].expected) << i;
    EXPECT_EQ(corvane::core::EncodeName(zip.DirEntries().back().FileName), QByteArray("caf\xE9.txt"));
}

TEST(ZipListingNames, LongestNameAndEntryFields)
{
    RawArchive a;
    a.entries.push_back({QByteArray(65535, 'n'), "data"});
    TempDir dir;
    WriteBytes(dir.filePath("long.zip"), BuildZip(a));
    TZipComponent zip;
    zip.SetZipFilename(dir.filePath("long.zip"));
    ASSERT_EQ(zip.EntryCount(), 1);
    const ZipDirEntry& e = zip.DirEntries()[0];
    EXPECT_EQ(e.FileNameLength, 65535);
    EXPECT_EQ(e.FileName.size(), 65535);
    EXPECT_EQ(e.UncompressedSize, 4u);
    EXPECT_EQ(e.HostSystem, 3);
    EXPECT_EQ(e.DosDateTime, 0x5A210000u);
    EXPECT_EQ(DosDateTimeToQt(e.DosDateTime), QDateTime(QDate(2025, 1, 1), QTime(0, 0)));
}

TEST(ZipListingZip64, TrueCountsAndSizes)
{
    RawArchive a;
    a.zip64 = true;
    a.entries.push_back({"huge.bin", {}, 3, 45, 0, 0100644u << 16, 5'000'000'000ull});
    for (int i = 0; i < 70'000; ++i)
        a.entries.push_back({"f" + QByteArray::number(i), {}});
    TempDir dir;
    WriteBytes(dir.filePath("z64.zip"), BuildZip(a));
    TZipComponent zip;
    zip.SetZipFilename(dir.filePath("z64.zip"));
    EXPECT_EQ(zip.ErrCode(), 0) << zip.Message().toStdString();
    ASSERT_EQ(zip.EntryCount(), 70'001);
    EXPECT_EQ(zip.DirEntries()[0].UncompressedSize, 5'000'000'000ull);
    EXPECT_EQ(zip.DirEntries()[0].CompressedSize, 5'000'000'000ull);
    EXPECT_EQ(zip.DirEntries().back().FileName, QStringLiteral("f69999"));
}

TEST(ZipListingMissing, NoFileListsNothingWithoutMessage)
{
    TempDir dir;
    TZipComponent zip;
    zip.SetZipFilename(dir.filePath("nothing.zip"));
    EXPECT_EQ(zip.ErrCode(), 0);
    EXPECT_EQ(zip.EntryCount(), 0);
}

} // namespace
