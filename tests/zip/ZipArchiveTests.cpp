// Adding and extracting through the component: archives that Info-ZIP and 7-Zip read back, and
// theirs that we read; hostile archives; cancels, failures and full disks that leave nothing
// damaged behind.
#include "ZipTestSupport.h"
#include "core/NameCodec.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"
#include "zip/engine/ZipComponent.h"
#include "zip/engine/ZipJob.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace corvane::zip;
using namespace corvane::test;
using corvane::core::EncodeName;

namespace {

// A small tree with text, noise, an empty file, a hidden file and a name that is not UTF-8.
void MakeTree(TempDir& dir, const QByteArray& root)
{
    dir.addFile(root + "/a.txt", QByteArray("hello zip\n").repeated(500));
    dir.addFile(root + "/noise.bin", Noise(200'000, 7));
    dir.addFile(root + "/empty.dat", {});
    dir.addFile(root + "/.hidden", "secret");
    dir.addFile(root + "/caf\xE9.txt", "latin-1 name");
    dir.addFile(root + "/sub/deep/b.txt", QByteArray("nested\n").repeated(100));
    dir.addFile(root + "/sub/\xC3\xA4.txt", "utf-8 name");
}

struct Messages {
    std::vector<std::pair<int, QString>> all;
    void attach(TZipComponent& zip)
    {
        zip.OnMessage = [this](TZipComponent*, int code, const QString& text) { all.emplace_back(code, text); };
    }
    bool has(int code, const QString& part) const
    {
        for (const auto& [c, t] : all)
            if ((c & 0xFF) == code && t.contains(part))
                return true;
        return false;
    }
    QString dump() const
    {
        QString s;
        for (const auto& [c, t] : all)
            s += QString::number(c) + ": " + t + "\n";
        return s;
    }
};

int Add(const QString& archive, const QStringList& patterns, AddOpts options, const QString& password = {},
        ZipEncryption method = ZipEncryption::Traditional, Messages* messages = nullptr)
{
    TZipComponent zip;
    zip.Unattended = true;
    if (messages)
        messages->attach(zip);
    zip.SetZipFilename(archive);
    zip.FSpecArgs = patterns;
    zip.AddOptions = options;
    zip.Password = password;
    zip.EncryptionMethod = method;
    zip.Add();
    EXPECT_TRUE(zip.FSpecArgs.isEmpty());
    return zip.SuccessCount();
}

int Extract(const QString& archive, const QString& dest, ExtrOpts options, const QString& password = {},
            Messages* messages = nullptr, QStringList patterns = {})
{
    TZipComponent zip;
    zip.Unattended = true;
    if (messages)
        messages->attach(zip);
    zip.SetZipFilename(archive);
    zip.ExtrBaseDir = dest;
    zip.ExtrOptions = options;
    zip.Password = password;
    zip.FSpecArgs = patterns;
    zip.Extract();
    return zip.SuccessCount();
}

QString Q(const QString& s)
{
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

// Files only, for comparing trees that tools extract with or without folder entries.
std::vector<std::pair<QByteArray, QByteArray>> Files(const QString& root)
{
    auto all = TreeContents(EncodeName(root));
    std::erase_if(all, [](const auto& e) { return e.first.endsWith('/'); });
    return all;
}

struct WriteCase {
    const char* what;
    AddOpts options;
    const char* password;
    ZipEncryption method;
    bool infoZipReads;  // Info-ZIP unzip reads no AES
};

class ZipWritesForOthers : public ::testing::TestWithParam<WriteCase> {};

TEST_P(ZipWritesForOthers, UnzipAnd7zTestAndExtractIdentically)
{
    const WriteCase& c = GetParam();
    TempDir dir;
    MakeTree(dir, "src");
    const QString archive = dir.filePath("out.zip");
    const QString pw = QString::fromUtf8(c.password);
    Messages m;
    ASSERT_GT(Add(archive, {dir.filePath("src/*.*")}, c.options, pw, c.method, &m), 0) << m.dump().toStdString();
    const QString pass = pw.isEmpty() ? QString() : " -P " + Q(pw);
    const QString pass7 = " -p" + Q(pw);
    if (c.infoZipReads) {
        EXPECT_EQ(runShell("unzip -tq" + pass + " " + Q(archive) + " >/dev/null"), 0);
        EXPECT_EQ(runShell("cd " + Q(dir.path()) + " && mkdir u && unzip -q" + pass + " out.zip -d u"), 0);
    }
    EXPECT_EQ(runShell("7z t" + pass7 + " " + Q(archive) + " >/dev/null"), 0);
    EXPECT_EQ(runShell("cd " + Q(dir.path()) + " && 7z x -y" + pass7 + " -o7 out.zip >/dev/null"), 0);

    // What each reader finds: what the options chose from the source.
    auto expected = Files(dir.filePath("src"));
    const bool paths = c.options & AddDirNames, recurse = c.options & AddRecurseDirs, hidden = c.options & AddHiddenFiles;
    std::erase_if(expected, [&](const auto& e) {
        return (!recurse && e.first.contains('/')) || (!hidden && e.first.startsWith('.'));
    });
    if (!paths)
        for (auto& e : expected)
            e.first = e.first.mid(e.first.lastIndexOf('/') + 1);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Extract(archive, dir.filePath("c"), ExtrDirNames | ExtrOverWrite, pw), int(expected.size()) + 0
              + (paths && (c.options & AddSeparateDirs) ? 2 : 0));
    EXPECT_EQ(Files(dir.filePath("c")), expected);
    if (c.infoZipReads) {
        EXPECT_EQ(Files(dir.filePath("u")), expected);
    }
    if (c.method == ZipEncryption::Traditional) {  // 7-Zip takes the bytes of non-UTF-8 names its own way
        EXPECT_EQ(Files(dir.filePath("7")), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ZipWritesForOthers, ::testing::Values(
    WriteCase{"plain", {}, "", ZipEncryption::Traditional, true},
    WriteCase{"recursed with stored paths and folders", AddRecurseDirs | AddDirNames | AddSeparateDirs | AddHiddenFiles, "",
              ZipEncryption::Traditional, true},
    WriteCase{"traditional password", AddRecurseDirs | AddDirNames | AddEncrypt, "pa ss", ZipEncryption::Traditional, true},
    WriteCase{"AES-256", AddRecurseDirs | AddDirNames | AddEncrypt, "pa ss", ZipEncryption::Aes256, false}));

struct ReadCase {
    const char* what;
    const char* make;  // run in the folder that holds src/; writes in.zip
    const char* password;
    int errCode;
};

class ZipReadsOthers : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ZipReadsOthers, ListAndExtractIdentically)
{
    const ReadCase& c = GetParam();
    TempDir dir;
    dir.addFile("src/a.txt", QByteArray("hello zip\n").repeated(500));
    dir.addFile("src/noise.bin", Noise(100'000, 3));
    dir.addFile("src/sub/b.txt", "nested");
    ASSERT_EQ(runShell("cd " + Q(dir.path()) + " && (" + QString::fromUtf8(c.make) + ") >/dev/null"), 0);
    const QString archive = dir.filePath("in.zip");
    TZipComponent zip;
    zip.Unattended = true;
    zip.SetZipFilename(archive);
    EXPECT_EQ(zip.ErrCode(), c.errCode) << zip.Message().toStdString();
    int files = 0;
    for (const ZipDirEntry& e : zip.DirEntries())
        files += e.IsFolder() ? 0 : 1;
    EXPECT_EQ(files, 3);
    Messages m;
    EXPECT_EQ(Extract(archive, dir.filePath("out"), ExtrDirNames | ExtrTest, QString::fromUtf8(c.password), &m),
              zip.EntryCount()) << m.dump().toStdString();
    QDir().mkpath(dir.filePath("out"));
    EXPECT_EQ(Extract(archive, dir.filePath("out"), ExtrDirNames, QString::fromUtf8(c.password), &m), zip.EntryCount())
        << m.dump().toStdString();
    EXPECT_EQ(Files(dir.filePath("out/src")), Files(dir.filePath("src")));
}

INSTANTIATE_TEST_SUITE_P(Cases, ZipReadsOthers, ::testing::Values(
    ReadCase{"zip -e", "zip -qr -P secret in.zip src", "secret", 0},
    ReadCase{"7z AES-256", "7z a -tzip -mem=AES256 -psecret in.zip src", "secret", 0},
    ReadCase{"ZIP64", "zip -qr -fz in.zip src", "", 0},
    ReadCase{"100-byte comment",
             "zip -qr in.zip src && printf '%0100d' 0 | zip -qz in.zip", "", 0},
    ReadCase{"512-byte zero tail",
             "zip -qr in.zip src && s=$(stat -c %s in.zip) && head -c $(( (512 - s % 512) % 512 + 0 )) /dev/zero >> in.zip", "", 0},
    ReadCase{"garbage after the end record", "zip -qr in.zip src && echo garbage >> in.zip", "", 10204}));

TEST(ZipExtractSafety, HostileNamesAndLinksStayInside)
{
    RawArchive a;
    for (const char* name : {"../evil1", "/tmp/corvane-evil2", "C:/evil3", "..\\evil4", "a/../../evil5", "a/./../../evil6"})
        a.entries.push_back({name, "bad"});
    const quint32 link = 0120777u << 16;
    a.entries.push_back({"up", "../outside", 3, 30, 0, link});
    a.entries.push_back({"abs", "/tmp", 3, 30, 0, link});
    a.entries.push_back({"inside", "ok/file", 3, 30, 0, link});
    a.entries.push_back({"inlink", "ok", 3, 30, 0, link});
    a.entries.push_back({"ok/file", "good"});
    a.entries.push_back({"inlink/written-through-link", "bad"});
    a.entries.push_back({"ext/written-through-link", "bad"});
    a.entries.push_back({"dir\\name.txt", "backslash is a separator"});
    TempDir dir;
    dir.addFolder("outside");
    dir.addFolder("dest");
    dir.addSymlink("dest/ext", EncodeName(dir.filePath("outside")));
    WriteBytes(dir.filePath("hostile.zip"), BuildZip(a));
    auto before = TreeContents(dir.pathBytes());
    std::erase_if(before, [](const auto& e) { return e.first.startsWith("dest/"); });
    Messages m;
    const int done = Extract(dir.filePath("hostile.zip"), dir.filePath("dest"), ExtrDirNames, {}, &m);
    EXPECT_EQ(done, 4) << m.dump().toStdString();  // the two safe links, ok/file and dir/name.txt
    EXPECT_TRUE(m.has(8, QStringLiteral("../evil1")));
    EXPECT_TRUE(m.has(8, QStringLiteral("written-through-link")));
    auto after = TreeContents(dir.pathBytes());
    std::erase_if(after, [](const auto& e) { return e.first.startsWith("dest/"); });
    EXPECT_EQ(after, before);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/corvane-evil2")));
    const std::vector<std::pair<QByteArray, QByteArray>> expected = {
        {"dir/", ""}, {"dir/name.txt", "backslash is a separator"}, {"ext", "-> " + EncodeName(dir.filePath("outside"))},
        {"inlink", "-> ok"}, {"inside", "-> ok/file"}, {"ok/", ""}, {"ok/file", "good"}};
    EXPECT_EQ(TreeContents(EncodeName(dir.filePath("dest"))), expected);
}

TEST(ZipExtractSafety, WrongPasswordLeavesNothing)
{
    TempDir dir;
    dir.addFile("src/a.txt", "secret text");
    ASSERT_EQ(runShell("cd " + Q(dir.path()) + "/src && zip -q -P right ../in.zip a.txt"), 0);
    Messages m;
    EXPECT_EQ(Extract(dir.filePath("in.zip"), dir.filePath("out"), ExtrDirNames, QStringLiteral("wrong"), &m), 0);
    EXPECT_TRUE(m.has(12, QString())) << m.dump().toStdString();
    EXPECT_TRUE(Files(dir.filePath("out")).empty());
}

TEST(ZipExtractSafety, FullDiskStopsWithTheSystemMessageAndNoPartialFile)
{
    TempDir dir;
    dir.addFile("src/small.txt", "fits");
    dir.addFile("src/big.bin", Noise(3'000'000, 11));
    ASSERT_EQ(runShell("cd " + Q(dir.path()) + "/src && zip -q ../in.zip small.txt big.bin"), 0);
    dir.addFolder("disk");
    TmpfsMount disk(EncodeName(dir.filePath("disk")), "1m");
    ASSERT_TRUE(disk.ok());
    Messages m;
    EXPECT_EQ(Extract(dir.filePath("in.zip"), dir.filePath("disk"), ExtrDirNames, {}, &m), 1);
    EXPECT_TRUE(m.has(11, QString::fromLocal8Bit(strerror(ENOSPC)))) << m.dump().toStdString();
    const std::vector<std::pair<QByteArray, QByteArray>> expected = {{"small.txt", "fits"}};
    EXPECT_EQ(TreeContents(EncodeName(dir.filePath("disk"))), expected);
}

TEST(ZipExtractOptions, OverwriteFreshenUpdateAndFlatten)
{
    TempDir dir;
    dir.addFile("src/a.txt", "new a");
    dir.addFile("src/sub/b.txt", "new b");
    ASSERT_EQ(runShell("cd " + Q(dir.path()) + "/src && zip -qr ../in.zip a.txt sub"), 0);
    const QString arc = dir.filePath("in.zip");
    dir.addFile("o/a.txt", "old a");
    EXPECT_EQ(Extract(arc, dir.filePath("o"), ExtrDirNames, {}), 2);  // sub/ and sub/b.txt; a.txt stays
    EXPECT_EQ(ReadBytes(dir.filePath("o/a.txt")), "old a");
    EXPECT_EQ(Extract(arc, dir.filePath("o"), ExtrDirNames | ExtrOverWrite, {}), 3);
    EXPECT_EQ(ReadBytes(dir.filePath("o/a.txt")), "new a");

    dir.addFile("f/a.txt", "older a");
    const struct timespec future[2] = {{4'000'000'000, 0}, {4'000'000'000, 0}};
    ::utimensat(AT_FDCWD, EncodeName(dir.filePath("f/a.txt")).constData(), future, 0);  // newer than the entry
    EXPECT_EQ(Extract(arc, dir.filePath("f"), ExtrDirNames | ExtrFreshen, {}), 1);  // only the folder entry
    EXPECT_EQ(ReadBytes(dir.filePath("f/a.txt")), "older a");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("f/sub/b.txt")));
    const struct timespec old[2] = {{1000, 0}, {1000, 0}};
    ::utimensat(AT_FDCWD, EncodeName(dir.filePath("f/a.txt")).constData(), old, 0);
    EXPECT_EQ(Extract(arc, dir.filePath("f"), ExtrDirNames | ExtrUpdate, {}), 3);
    EXPECT_EQ(ReadBytes(dir.filePath("f/a.txt")), "new a");

    EXPECT_EQ(Extract(arc, dir.filePath("flat"), {}, {}, nullptr, {QStringLiteral("sub/b.txt")}), 1);
    EXPECT_EQ(ReadBytes(dir.filePath("flat/b.txt")), "new b");
}

TEST(ZipAddOptions, FreshenUpdateMoveAndZipTime)
{
    TempDir dir;
    dir.addFile("src/a.txt", "a1");
    dir.addFile("src/b.txt", "b1");
    const QString arc = dir.filePath("x.zip");
    EXPECT_EQ(Add(arc, {dir.filePath("src/a.txt")}, {}), 1);
    EXPECT_EQ(Add(arc, {dir.filePath("src/*.*")}, AddFreshen), 0);  // nothing newer, b.txt not in it
    dir.addFile("src/a.txt", "a2");
    const struct timespec later[2] = {{4'000'000'000, 0}, {4'000'000'000, 0}};
    ::utimensat(AT_FDCWD, EncodeName(dir.filePath("src/a.txt")).constData(), later, 0);
    EXPECT_EQ(Add(arc, {dir.filePath("src/*.*")}, AddFreshen), 1);
    EXPECT_EQ(Add(arc, {dir.filePath("src/*.*")}, AddUpdate), 1);  // b.txt
    EXPECT_EQ(Add(arc, {dir.filePath("src/*.*")}, AddUpdate | AddZipTime), 0);
    EXPECT_EQ(Extract(arc, dir.filePath("out"), {}), 2);
    EXPECT_EQ(ReadBytes(dir.filePath("out/a.txt")), "a2");

    dir.addFile("mv/sub/c.txt", "c");
    dir.addFile("mv/d.txt", "d");
    EXPECT_EQ(Add(dir.filePath("m.zip"), {dir.filePath("mv/*.*")}, AddMove | AddRecurseDirs | AddDirNames | AddZipTime), 2);
    EXPECT_TRUE(QDir(dir.filePath("mv")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("mv")));
    EXPECT_EQ(QFileInfo(dir.filePath("m.zip")).lastModified().toSecsSinceEpoch() % 2, 0);
}

TEST(ZipAddSafety, MessagesForMissingNamesAndNoArchive)
{
    TempDir dir;
    TZipComponent zip;
    zip.Unattended = true;
    Messages m;
    m.attach(zip);
    zip.FSpecArgs = {dir.filePath("x")};
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10102);
    zip.SetZipFilename(dir.filePath("a.zip"));
    zip.FSpecArgs.clear();
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10301);
    zip.FSpecArgs = {dir.filePath("x")};
    zip.AddOptions = AddEncrypt;
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10302);
    zip.AddOptions = {};
    zip.Add();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_TRUE(m.has(4, dir.filePath("x"))) << m.dump().toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("a.zip")));
}

std::vector<QString> Names(const QString& folder)
{
    std::vector<QString> out;
    for (const QString& n : QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        out.push_back(n);
    return out;
}

TEST(ZipAddSafety, CancelledOrFullDiskAddLeavesTheOldArchive)
{
    TempDir dir;
    dir.addFolder("disk");
    TmpfsMount disk(EncodeName(dir.filePath("disk")), "2m");
    ASSERT_TRUE(disk.ok());
    dir.addFile("disk/old.txt", "old content");
    const QString arc = dir.filePath("disk/a.zip");
    ASSERT_EQ(Add(arc, {dir.filePath("disk/old.txt")}, {}), 1);
    const QByteArray good = ReadBytes(arc);
    const auto names = Names(dir.filePath("disk"));
    for (int i = 0; i < 4; ++i)
        dir.addFile("src/n" + QByteArray::number(i), Noise(600'000, quint32(i)));

    Messages full;
    EXPECT_EQ(Add(arc, {dir.filePath("src/*.*")}, {}, {}, ZipEncryption::Traditional, &full), 0);
    EXPECT_TRUE(full.has(3, QString())) << full.dump().toStdString();
    EXPECT_EQ(ReadBytes(arc), good);
    EXPECT_EQ(Names(dir.filePath("disk")), names);

    TZipComponent zip;
    zip.Unattended = true;
    zip.SetZipFilename(arc);
    zip.FSpecArgs = {dir.filePath("src/n0"), dir.filePath("src/n1")};
    zip.OnProgress = [](TZipComponent* z, int kind, const QString& name, qint64) {
        if (kind == kProgressNewFile && name == QStringLiteral("n1"))
            z->Cancel();
    };
    Messages cancelled;
    cancelled.attach(zip);
    zip.Add();
    EXPECT_EQ(zip.SuccessCount(), 0);
    EXPECT_TRUE(cancelled.has(10, QString())) << cancelled.dump().toStdString();
    EXPECT_EQ(ReadBytes(arc), good);
    EXPECT_EQ(Names(dir.filePath("disk")), names);
}

TEST(ZipJobRun, AddsOnAWorkerWithProgressAndMessagesOnTheUiThread)
{
    TempDir dir;
    MakeTree(dir, "src");
    ZipJob job(ZipJob::Operation::Add, dir.filePath("j.zip"));
    job.Zip.FSpecArgs = {dir.filePath("src/*.*"), dir.filePath("src/missing.txt")};
    job.Zip.AddOptions = AddRecurseDirs | AddDirNames;
    job.Zip.Unattended = true;
    std::vector<bool> onUiThread;
    job.OnMessage = [&](int, const QString&) { onUiThread.push_back(QThread::currentThread() == qApp->thread()); };
    QSignalSpy done(&job, &corvane::core::Job::finished);
    job.start();
    ASSERT_TRUE(done.wait(30000));
    EXPECT_EQ(job.Zip.SuccessCount(), 6);
    EXPECT_EQ(job.Zip.EntryCount(), 6);
    EXPECT_EQ(job.progress().doneItems, 6);
    EXPECT_EQ(job.progress().totalItems, 6);
    ASSERT_FALSE(onUiThread.empty());
    EXPECT_TRUE(std::all_of(onUiThread.begin(), onUiThread.end(), [](bool b) { return b; }));
}

} // namespace
