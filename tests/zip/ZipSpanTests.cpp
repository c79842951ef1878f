// Spanned sets: the layout of the parts, the questions for media, sets read back byte-identical,
// Info-ZIP's split sets, and damaged sets that leave nothing behind.
#include "ZipTestSupport.h"
#include "core/NameCodec.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"
#include "zip/engine/ZipComponent.h"
#include "zip/engine/ZipSpan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

using namespace corvane::zip;
using namespace corvane::test;
using corvane::core::EncodeName;

namespace {

const QString kRoot = QStringLiteral("/media/disk");

// A volume of the test's making: removable or fixed, with the free bytes given while its folder
// is there.
SpanVolume TestVolume(bool removable, qint64 free = qint64(1) << 40)
{
    SpanVolume v;
    v.removable = [removable](const QString&) { return removable; };
    v.freeBytes = [free](const QString& folder) -> qint64 { return QFileInfo(folder).isDir() ? free : -1; };
    v.root = [](const QString&) { return kRoot; };
    return v;
}

// Records every question and answers it with `answer` (OK when unset).
struct Questions {
    std::vector<SpanQuestion> asked;
    std::function<SpanAnswer(const SpanQuestion&)> answer;
    std::function<SpanAnswer(const SpanQuestion&)> handler()
    {
        return [this](const SpanQuestion& q) {
            asked.push_back(q);
            return answer ? answer(q) : SpanAnswer::Ok;
        };
    }
    QStringList texts() const
    {
        QStringList t;
        for (const SpanQuestion& q : asked)
            t << q.text;
        return t;
    }
};

SpanParams Fixed(qint64 maxVolume)
{
    SpanParams p;
    p.volume = TestVolume(false);
    p.maxVolumeSize = maxVolume;
    p.minFreeVolumeSize = 1;
    return p;
}

QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Three entries; the second has a name too long to fit into 40 bytes with its header.
RawArchive ThreeEntries()
{
    return {{{"a.bin", Noise(1000, 2)}, {"second-entry-name.bin", Noise(3000, 3)}, {"c.txt", "tail"}}, "set comment"};
}

// Writes ThreeEntries as a set of parts of at most `maxVolume` bytes into dir/set/.
QString WriteThreeEntrySet(TempDir& dir, qint64 maxVolume)
{
    WriteBytes(dir.filePath("source.zip"), BuildZip(ThreeEntries()));
    QDir(dir.path()).mkpath("set");
    const SpanOutcome o = WriteSpannedSet(dir.filePath("source.zip"), dir.filePath("set/backup.zip"), Fixed(maxVolume));
    EXPECT_TRUE(o.ok()) << o.message;
    return dir.filePath("set");
}

} // namespace

TEST(ZipSpanWrite, EstimateOfDisksForTheFirstMedium)
{
    // 3,000,000 bytes onto media with 1,457,664 free bytes: Trunc(3,000,004 / 1,457,664) = 2.
    TempDir dir;
    const QByteArray archive = BuildZip({{{"big.bin", Noise(2'999'888, 1)}}, {}});
    ASSERT_EQ(archive.size(), 3'000'000);
    WriteBytes(dir.filePath("source.zip"), archive);
    QDir(dir.path()).mkpath("media");
    Questions q;
    q.answer = [](const SpanQuestion&) { return SpanAnswer::Cancel; };
    SpanParams p;
    p.volume = TestVolume(true, 1'457'664);
    p.ask = q.handler();
    const SpanOutcome o = WriteSpannedSet(dir.filePath("source.zip"), dir.filePath("media/backup.zip"), p);
    EXPECT_EQ(o.message, 11007);
    ASSERT_EQ(q.asked.size(), 1u);
    EXPECT_EQ(q.asked[0].text, "Please insert disk volume 1 of 3\nin drive: " + kRoot);
    EXPECT_EQ(q.asked[0].buttons, SpanButtons::OkCancel);
    EXPECT_TRUE(Names(dir.filePath("media")).isEmpty());
}

TEST(ZipSpanWrite, LayoutOfThePartsAndTheirNames)
{
    TempDir dir;
    // The marker and the first entry leave exactly 40 bytes on the first part.
    const qint64 maxVolume = 4 + 30 + 5 + 1000 + 40;
    const QString set = WriteThreeEntrySet(dir, maxVolume);
    const QStringList parts = Names(set);
    ASSERT_GE(parts.size(), 3) << parts.join(' ').toStdString();
    for (int k = 0; k < parts.size(); ++k)
        EXPECT_EQ(parts[k], QStringLiteral("backup%1.zip").arg(k + 1, 3, 10, QLatin1Char('0')));

    const QByteArray first = ReadBytes(set + "/backup001.zip");
    EXPECT_TRUE(first.startsWith(QByteArray("PK\x07\x08PK\x03\x04", 8)));
    // The second header would not fit into the last 40 bytes: it starts the next part.
    EXPECT_EQ(first.size(), maxVolume - 40);
    const QByteArray second = ReadBytes(set + "/backup002.zip");
    EXPECT_TRUE(second.startsWith("PK\x03\x04"));
    EXPECT_EQ(second.mid(30, 21), "second-entry-name.bin");
    for (const QString& part : parts)
        EXPECT_LE(QFileInfo(set + "/" + part).size(), maxVolume);

    // The end record names its own disk and the directory's start; central headers their parts.
    const ZipListing listing = ListSpannedSet(set + "/" + parts.last());
    ASSERT_FALSE(listing.failed);
    ASSERT_EQ(listing.entries.size(), 3u);
    EXPECT_EQ(listing.entries[0].DiskStart, 0u);
    EXPECT_EQ(listing.entries[0].RelativeOffset, 4u);
    EXPECT_EQ(listing.entries[1].DiskStart, 1u);
    EXPECT_EQ(listing.entries[1].RelativeOffset, 0u);
    EXPECT_EQ(listing.comment, "set comment");
    const QByteArray last = ReadBytes(set + "/" + parts.last());
    const qsizetype end = last.lastIndexOf("PK\x05\x06");
    ASSERT_GE(end, 0);
    EXPECT_EQ(quint8(last[end + 4]), parts.size() - 1);

    // Without a limit a fixed volume takes the set in one part, still numbered.
    TempDir whole;
    const QString one = WriteThreeEntrySet(whole, 0);
    EXPECT_EQ(Names(one), QStringList{"backup001.zip"});
}

TEST(ZipSpanRead, ASetReadBackIsTheArchiveItWasMadeFrom)
{
    TempDir dir;
    const QString set = WriteThreeEntrySet(dir, 1500);
    const QStringList parts = Names(set);
    ASSERT_GE(parts.size(), 3);
    const SpanOutcome o = ReadSpannedSet(set + "/" + parts.last(), dir.filePath("rebuilt.zip"), Fixed(0));
    ASSERT_TRUE(o.ok()) << o.message;
    EXPECT_EQ(ReadBytes(dir.filePath("rebuilt.zip")), ReadBytes(dir.filePath("source.zip")));
}

TEST(ZipSpanWrite, NoToOverwritingAsksForAnotherMedium)
{
    TempDir dir;
    WriteBytes(dir.filePath("source.zip"), BuildZip(ThreeEntries()));
    QDir(dir.path()).mkpath("media");
    WriteBytes(dir.filePath("media/backup001.zip"), "someone else's file");
    Questions q;
    q.answer = [&](const SpanQuestion& question) {
        if (question.caption == "Confirm")
            return SpanAnswer::No;
        // The user puts in another medium: the file of the first one is gone.
        if (q.asked.size() == 3)
            QFile::rename(dir.filePath("media/backup001.zip"), dir.filePath("kept.zip"));
        return SpanAnswer::Ok;
    };
    SpanParams p;
    p.volume = TestVolume(true, 10'000'000);
    p.ask = q.handler();
    const SpanOutcome o = WriteSpannedSet(dir.filePath("source.zip"), dir.filePath("media/backup.zip"), p);
    ASSERT_TRUE(o.ok()) << o.message;
    ASSERT_EQ(q.asked.size(), 3u) << q.texts().join('|').toStdString();
    EXPECT_EQ(q.asked[0].text, "Please insert disk volume 1 of 1\nin drive: " + kRoot);
    EXPECT_EQ(q.asked[1].text,
              "There is already a file " + dir.filePath("media/backup001.zip") + "\nDo you want to overwrite this file");
    EXPECT_EQ(q.asked[1].buttons, SpanButtons::YesNoCancel);
    EXPECT_TRUE(q.asked[1].defaultNo);
    EXPECT_EQ(q.asked[2].text, q.asked[0].text);
    EXPECT_EQ(ReadBytes(dir.filePath("kept.zip")), "someone else's file");
    EXPECT_TRUE(ReadBytes(dir.filePath("media/backup001.zip")).startsWith("PK\x07\x08"));
}

// The medium still holds the set's first part when the second is asked for: the user forgot to
// change media.
TEST(ZipSpanWrite, PreviousDiskOfTheSetIsNoticed)
{
    TempDir dir;
    WriteBytes(dir.filePath("source.zip"), BuildZip(ThreeEntries()));
    QDir(dir.path()).mkpath("media");
    Questions q;
    q.answer = [&](const SpanQuestion& question) {
        if (question.caption == "Confirm")
            return SpanAnswer::No;
        if (q.asked.size() == 4)
            QFile::rename(dir.filePath("media/backup001.zip"), dir.filePath("shelf001.zip"));
        return SpanAnswer::Ok;
    };
    SpanParams p;
    p.volume = TestVolume(true, 10'000'000);
    p.maxVolumeSize = 3000;
    p.minFreeVolumeSize = 1;
    p.ask = q.handler();
    const SpanOutcome o = WriteSpannedSet(dir.filePath("source.zip"), dir.filePath("media/backup.zip"), p);
    ASSERT_TRUE(o.ok()) << o.message;
    ASSERT_EQ(q.asked.size(), 4u) << q.texts().join('|').toStdString();
    EXPECT_TRUE(q.asked[1].text.startsWith("Please insert disk volume 2 of 2"));
    EXPECT_EQ(q.asked[2].text, "ATTENTION: This is previous disk no 1!!!\nAre you sure you want to overwrite the contents");
    EXPECT_EQ(q.asked[2].icon, SpanIcon::Warning);
    EXPECT_EQ(q.asked[3].text, q.asked[1].text);
    EXPECT_EQ(Names(dir.filePath("media")), QStringList{"backup002.zip"});
}

TEST(ZipSpanRead, ExtractingFromMediaAsksForTheLastDiskFirst)
{
    TempDir dir;
    const QString set = WriteThreeEntrySet(dir, 1500);
    const QStringList parts = Names(set);
    ASSERT_GE(parts.size(), 3);
    Questions q;
    TZipComponent zip;
    zip.Unattended = false;  // an unattended run cannot ask for media
    zip.SpanVolumeInfo = TestVolume(true);
    zip.OnSpanQuestion = q.handler();
    zip.TempDir = dir.filePath("tmp");
    QDir(dir.path()).mkpath("tmp");
    zip.SetZipFilename(set + "/" + parts.last());
    ASSERT_EQ(zip.ErrCode(), 0) << zip.Message().toStdString();
    EXPECT_TRUE(zip.Spanned());
    EXPECT_EQ(zip.EntryCount(), 3);
    EXPECT_TRUE(q.asked.empty());  // listing reads what lies beside the last part
    zip.ExtrBaseDir = dir.filePath("out");
    QDir(dir.path()).mkpath("out");
    zip.Extract();
    EXPECT_EQ(zip.SuccessCount(), 3) << zip.Message().toStdString();
    const QString in = "\nin drive: " + kRoot;
    QStringList expected{"Please insert last disk" + in};
    for (int k = 1; k <= parts.size(); ++k)
        expected << QStringLiteral("Please insert disk volume %1 of %2").arg(k).arg(parts.size()) + in;
    EXPECT_EQ(q.texts(), expected);
    EXPECT_EQ(q.asked[0].icon, SpanIcon::Stop);
    EXPECT_EQ(ReadBytes(dir.filePath("out/second-entry-name.bin")), Noise(3000, 3));
    EXPECT_TRUE(Names(dir.filePath("tmp")).isEmpty());
}

TEST(ZipSpanComponent, AddSpansAndExtractReadsTheSetBack)
{
    TempDir dir;
    dir.addFile("src/noise.bin", Noise(300'000, 5));
    dir.addFile("src/text.txt", QByteArray("spanned text\n").repeated(2000));
    dir.addFile("src/sub/small.dat", "small");
    QDir(dir.path()).mkpath("tmp");
    QDir(dir.path()).mkpath("set");
    TZipComponent zip;
    zip.Unattended = true;
    zip.TempDir = dir.filePath("tmp");
    zip.SpanVolumeInfo = TestVolume(false);
    zip.MaxVolumeSize = 100'000;
    zip.SetZipFilename(dir.filePath("set/pack.zip"));
    zip.FSpecArgs = QStringList{dir.filePath("src/*.*")};
    zip.AddOptions = AddDiskSpanErase | AddRecurseDirs | AddDirNames;
    std::vector<int> kinds;
    zip.OnProgress = [&](TZipComponent*, int kind, const QString&, qint64) { kinds.push_back(kind); };
    zip.Add();
    ASSERT_GT(zip.SuccessCount(), 0) << zip.Message().toStdString();
    EXPECT_TRUE(Names(dir.filePath("tmp")).isEmpty());
    const QStringList parts = Names(dir.filePath("set"));
    ASSERT_GE(parts.size(), 3) << parts.join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("set/pack.zip")));

    TZipComponent reader;
    reader.Unattended = true;
    reader.TempDir = dir.filePath("tmp");
    reader.SpanVolumeInfo = TestVolume(false);
    reader.SetZipFilename(dir.filePath("set/" + parts.last()));
    ASSERT_EQ(reader.ErrCode(), 0) << reader.Message().toStdString();
    reader.ExtrBaseDir = dir.filePath("out");
    reader.ExtrOptions = ExtrDirNames;
    QDir(dir.path()).mkpath("out");
    reader.Extract();
    EXPECT_GT(reader.SuccessCount(), 0) << reader.Message().toStdString();
    EXPECT_EQ(TreeContents(EncodeName(dir.filePath("out"))), TreeContents(EncodeName(dir.filePath("src"))));
    EXPECT_TRUE(Names(dir.filePath("tmp")).isEmpty());
}

// A small tmpfs is the medium: its free space decides where each part ends. At each question the
// user swaps media, which here means taking the parts written so far off the volume.
TEST(ZipSpanComponent, MediaFilledByTheirFreeSpace)
{
    TempDir dir;
    dir.addFile("src/photo.raw", Noise(2'600'000, 12));
    dir.addFile("src/list.txt", QByteArray("one medium is not enough\n").repeated(500));
    QDir(dir.path()).mkpath("media");
    QDir(dir.path()).mkpath("shelf");
    QDir(dir.path()).mkpath("tmp");
    TmpfsMount medium(EncodeName(dir.filePath("media")), "1m");
    ASSERT_TRUE(medium.ok());
    TZipComponent zip;
    zip.Unattended = false;
    zip.TempDir = dir.filePath("tmp");
    zip.SpanVolumeInfo = SystemSpanVolume();
    zip.SpanVolumeInfo.removable = [](const QString&) { return true; };
    QStringList asked;
    zip.OnSpanQuestion = [&](const SpanQuestion& q) {
        asked << q.text;
        for (const QString& part : Names(dir.filePath("media")))
            QFile::rename(dir.filePath("media/" + part), dir.filePath("shelf/" + part));
        return SpanAnswer::Ok;
    };
    zip.SetZipFilename(dir.filePath("media/photos.zip"));
    zip.FSpecArgs = QStringList{dir.filePath("src/*.*")};
    zip.AddOptions = AddDiskSpanErase;
    zip.Add();
    ASSERT_GT(zip.SuccessCount(), 0) << zip.Message().toStdString();
    for (const QString& part : Names(dir.filePath("media")))
        QFile::rename(dir.filePath("media/" + part), dir.filePath("shelf/" + part));
    const QStringList parts = Names(dir.filePath("shelf"));
    EXPECT_EQ(parts, QStringList({"photos001.zip", "photos002.zip", "photos003.zip"}));
    ASSERT_EQ(asked.size(), parts.size());
    EXPECT_TRUE(asked[0].startsWith("Please insert disk volume 1 of 3\nin drive: " + dir.filePath("media")))
        << asked[0].toStdString();
    for (const QString& part : parts.mid(0, parts.size() - 1))
        EXPECT_GT(QFileInfo(dir.filePath("shelf/" + part)).size(), 900'000);

    TZipComponent reader;
    reader.Unattended = true;
    reader.TempDir = dir.filePath("tmp");
    reader.SpanVolumeInfo = TestVolume(false);
    reader.SetZipFilename(dir.filePath("shelf/" + parts.last()));
    reader.ExtrBaseDir = dir.filePath("out");
    QDir(dir.path()).mkpath("out");
    reader.Extract();
    EXPECT_EQ(reader.SuccessCount(), 2) << reader.Message().toStdString();
    EXPECT_EQ(TreeContents(EncodeName(dir.filePath("out"))), TreeContents(EncodeName(dir.filePath("src"))));
}

// Moving files into a set deletes them only once every part is written.
TEST(ZipSpanComponent, CancelledSetKeepsTheFilesToMove)
{
    TempDir dir;
    dir.addFile("src/keep.txt", "must survive");
    QDir(dir.path()).mkpath("media");
    QDir(dir.path()).mkpath("tmp");
    TZipComponent zip;
    zip.Unattended = false;
    zip.TempDir = dir.filePath("tmp");
    zip.SpanVolumeInfo = TestVolume(true);
    zip.OnSpanQuestion = [](const SpanQuestion&) { return SpanAnswer::Cancel; };
    zip.SetZipFilename(dir.filePath("media/moved.zip"));
    zip.FSpecArgs = QStringList{dir.filePath("src/keep.txt")};
    zip.AddOptions = AddDiskSpan | AddMove;
    zip.Add();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_EQ(zip.ErrCode(), 11007);
    EXPECT_EQ(ReadBytes(dir.filePath("src/keep.txt")), "must survive");
    EXPECT_TRUE(Names(dir.filePath("media")).isEmpty());
    EXPECT_TRUE(Names(dir.filePath("tmp")).isEmpty());
}

TEST(ZipSpanRead, InfoZipSplitSetRenamedToNumberedParts)
{
    TempDir dir;
    dir.addFile("src/one.bin", Noise(1'500'000, 8));
    dir.addFile("src/two.bin", Noise(900'000, 9));
    dir.addFile("src/three.txt", QByteArray("split by Info-ZIP\n").repeated(1000));
    ASSERT_EQ(runShell("cd '" + dir.path() + "' && zip -q -r -s 1m split.zip src"), 0);
    ASSERT_TRUE(QFile::rename(dir.filePath("split.z01"), dir.filePath("split001.zip")));
    ASSERT_TRUE(QFile::rename(dir.filePath("split.z02"), dir.filePath("split002.zip")));
    ASSERT_TRUE(QFile::rename(dir.filePath("split.zip"), dir.filePath("split003.zip")));

    TZipComponent zip;
    zip.Unattended = true;
    zip.SpanVolumeInfo = TestVolume(false);
    zip.SetZipFilename(dir.filePath("split003.zip"));
    ASSERT_EQ(zip.ErrCode(), 0) << zip.Message().toStdString();
    EXPECT_TRUE(zip.Spanned());
    zip.ExtrBaseDir = dir.filePath("out");
    zip.ExtrOptions = ExtrDirNames;
    QDir(dir.path()).mkpath("out");
    zip.Extract();
    EXPECT_EQ(zip.SuccessCount(), zip.EntryCount()) << zip.Message().toStdString();
    EXPECT_EQ(ReadBytes(dir.filePath("out/src/one.bin")), Noise(1'500'000, 8));
    EXPECT_EQ(ReadBytes(dir.filePath("out/src/two.bin")), Noise(900'000, 9));
    EXPECT_EQ(ReadBytes(dir.filePath("out/src/three.txt")), ReadBytes(dir.filePath("src/three.txt")));
}

struct DamageCase {
    const char* what;
    // Damages the set of three parts in `set`; `other` holds a set of the same shape.
    std::function<void(const QString& set, const QString& other)> damage;
    std::vector<int> messages;  // one of these ends the run
};

class ZipSpanDamaged : public ::testing::TestWithParam<DamageCase> {};

TEST_P(ZipSpanDamaged, ClearMessageNothingWrittenTemporaryArchiveRemoved)
{
    const DamageCase& c = GetParam();
    TempDir dir;
    const QString set = WriteThreeEntrySet(dir, 1500);
    TempDir otherDir;
    WriteBytes(otherDir.filePath("source.zip"),
               BuildZip({{{"a.bin", Noise(1000, 20)}, {"second-entry-name.bin", Noise(3000, 30)}, {"c.txt", "tail"}},
                         "set comment"}));
    QDir(otherDir.path()).mkpath("set");
    ASSERT_TRUE(WriteSpannedSet(otherDir.filePath("source.zip"), otherDir.filePath("set/backup.zip"), Fixed(1500)).ok());
    ASSERT_EQ(Names(set).size(), 3);
    c.damage(set, otherDir.filePath("set"));

    QDir(dir.path()).mkpath("tmp");
    QDir(dir.path()).mkpath("out");
    TZipComponent zip;
    zip.Unattended = true;
    zip.TempDir = dir.filePath("tmp");
    zip.SpanVolumeInfo = TestVolume(false);
    std::vector<int> seen;
    zip.OnMessage = [&](TZipComponent* z, int, const QString&) { seen.push_back(z->ErrCode()); };
    zip.SetZipFilename(set + "/backup003.zip");
    zip.ExtrBaseDir = dir.filePath("out");
    zip.Extract();
    EXPECT_EQ(zip.SuccessCount(), 0);
    bool expected = false;
    for (int m : c.messages)
        expected = expected || std::find(seen.begin(), seen.end(), m) != seen.end();
    EXPECT_TRUE(expected) << c.what << ": got " << (seen.empty() ? 0 : seen.back());
    EXPECT_TRUE(Names(dir.filePath("out")).isEmpty());
    EXPECT_TRUE(Names(dir.filePath("tmp")).isEmpty());
}

namespace {

void Swap(const QString& a, const QString& b)
{
    QFile::rename(a, a + ".x");
    QFile::rename(b, a);
    QFile::rename(a + ".x", b);
}

void Patch(const QString& path, qsizetype at, const QByteArray& bytes)
{
    QByteArray b = ReadBytes(path);
    b.replace(at < 0 ? b.size() + at : at, bytes.size(), bytes);
    WriteBytes(path, b);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Sets, ZipSpanDamaged,
    ::testing::Values(
        DamageCase{"a missing part", [](const QString& s, const QString&) { QFile::remove(s + "/backup002.zip"); }, {11001}},
        DamageCase{"parts in the wrong order",
                   [](const QString& s, const QString&) { Swap(s + "/backup001.zip", s + "/backup002.zip"); }, {11031}},
        DamageCase{"a part from another set",
                   [](const QString& s, const QString& o) {
                       QFile::remove(s + "/backup002.zip");
                       QFile::copy(o + "/backup002.zip", s + "/backup002.zip");
                   },
                   {11052}},
        DamageCase{"a truncated last part",
                   [](const QString& s, const QString&) { QFile::resize(s + "/backup003.zip", QFileInfo(s + "/backup003.zip").size() - 30); },
                   {11038}},
        // The end record (22 bytes and an 11-byte comment) claims a directory of 4 GB.
        DamageCase{"a directory size that overflows",
                   [](const QString& s, const QString&) { Patch(s + "/backup003.zip", -33 + 12, "\xFF\xFF\xFF\xFF"); },
                   {11013, 11011}},
        DamageCase{"a name length that overflows",
                   [](const QString& s, const QString&) {
                       const QByteArray b = ReadBytes(s + "/backup003.zip");
                       Patch(s + "/backup003.zip", b.indexOf("PK\x01\x02") + 28, "\xFF\xFF");
                   },
                   {11013, 11017, 11015}}),
    [](const ::testing::TestParamInfo<DamageCase>& info) {
        std::string n = info.param.what;
        for (char& ch : n)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });
