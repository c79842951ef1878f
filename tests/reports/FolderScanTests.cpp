// The folder sizes scan, its report order and its CSV file.
#include "reports/engine/FolderReport.h"
#include "reports/engine/ReportTexts.h"
#include "tests/support/AsNobody.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QDir>
#include <QLocale>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <tuple>

using namespace corvane;
using namespace corvane::reports;
using test::TempDir;

namespace {

// Folder (relative to the root, "" for the root) -> files, bytes, files and bytes with subfolders.
using Figures = std::tuple<qint64, qint64, qint64, qint64>;
using Rows = std::map<QByteArray, Figures>;

std::vector<FolderRow> Scan(const std::vector<QByteArray>& roots, FolderScanOptions options = {},
                            core::Job::ProgressHandler onProgress = {})
{
    FolderSizeJob job(roots, options);
    if (onProgress) {
        job.setProgressInterval(0);
        job.setProgressHandler(std::move(onProgress));
    }
    job.run();
    return job.TakeRows();
}

Rows Relative(const std::vector<FolderRow>& rows, const QByteArray& root)
{
    Rows out;
    for (const FolderRow& r : rows) {
        const QByteArray rel = r.path == root ? QByteArray() : r.path.mid(root.size() + 1);
        out[rel] = {r.files, r.bytes, r.treeFiles, r.treeBytes};
    }
    return out;
}

void AddFile(TempDir& dir, const QByteArray& name, int size)
{
    dir.addFile(name, QByteArray(size, 'x'));
}

} // namespace

TEST(FolderScan, TheReportsEdgeCases)
{
    struct File {
        QByteArray name;
        int size;
    };
    struct Case {
        const char* what;
        std::vector<File> files;
        std::vector<QByteArray> folders;
        QByteArray root;  // below the temporary folder
        Rows expected;
    };
    const Case cases[] = {
        {"a root without subfolders is one row, its own figures with subfolders", {{"a.txt", 5}}, {}, "",
         {{"", {1, 5, 1, 5}}}},
        {"Data lists its own subfolders, never the sibling Data2",
         {{"Data/x", 1}, {"Data/sub/y", 2}, {"Data2/z", 4}}, {}, "Data",
         {{"", {1, 1, 2, 3}}, {"sub", {1, 2, 1, 2}}}},
        {"a folder whose name begins with a dot is not listed", {{".cache/big", 100}, {"f", 1}}, {}, "",
         {{"", {1, 1, 1, 1}}}},
        {"hidden files are counted", {{".hidden", 7}, {"v", 3}}, {}, "", {{"", {2, 10, 2, 10}}}},
        {"3 files of 10, 20 and 30 bytes, and the parent includes them",
         {{"p/q/a", 10}, {"p/q/b", 20}, {"p/q/c", 30}, {"p/r", 1}}, {"p/empty"}, "p",
         {{"", {1, 1, 4, 61}}, {"q", {3, 60, 3, 60}}, {"empty", {0, 0, 0, 0}}}},
        {"names that are not UTF-8", {{"bad\xff/x\xfe", 4}}, {}, "",
         {{"", {0, 0, 1, 4}}, {"bad\xff", {1, 4, 1, 4}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const File& f : c.files)
            AddFile(dir, f.name, f.size);
        for (const QByteArray& f : c.folders)
            dir.addFolder(f);
        const QByteArray root = c.root.isEmpty() ? dir.pathBytes() : dir.pathBytes() + '/' + c.root;
        EXPECT_EQ(Relative(Scan({root}), root), c.expected);
    }
}

// The sums are 64-bit: a sparse file of 5 GB.
TEST(FolderScan, SizesBeyondFourGigabytes)
{
    TempDir dir;
    dir.addFile("sub/big");
    ASSERT_EQ(::truncate((dir.pathBytes() + "/sub/big").constData(), 5'000'000'000LL), 0);
    const Rows rows = Relative(Scan({dir.pathBytes()}), dir.pathBytes());
    EXPECT_EQ(rows.at("sub"), Figures(1, 5'000'000'000LL, 1, 5'000'000'000LL));
    EXPECT_EQ(std::get<3>(rows.at("")), 5'000'000'000LL);
}

// Links are counted as files and never entered; a bind mount that holds the tree itself is not
// walked again.
TEST(FolderScan, LinksAndBindMountsNeverLoop)
{
    TempDir dir;
    AddFile(dir, "a/f", 3);
    dir.addFolder("a/b/c");
    dir.addSymlink("a/b/up", "..");
    dir.addSymlink("a/self", ".");
    const QByteArray a = dir.pathBytes() + "/a";
    ASSERT_EQ(test::runShell("mount --bind '" + QString::fromLocal8Bit(a) + "' '" + QString::fromLocal8Bit(a) + "/b/c'"), 0);
    const Rows rows = Relative(Scan({a}), a);
    test::runShell("umount '" + QString::fromLocal8Bit(a) + "/b/c'");
    const qint64 up = 2;    // the links' own sizes
    const qint64 self = 1;
    EXPECT_EQ(rows, (Rows{{"", {2, 3 + self, 3, 3 + self + up}}, {"b", {1, up, 1, up}}}));
}

// With the option, a volume mounted inside the tree is left out, as du -x does.
TEST(FolderScan, OneFileSystemOnlyWhenAsked)
{
    TempDir dir;
    AddFile(dir, "f", 1);
    dir.addFolder("mnt");
    test::TmpfsMount tmpfs(dir.pathBytes() + "/mnt", "1m");
    ASSERT_TRUE(tmpfs.ok());
    AddFile(dir, "mnt/inside/g", 2);
    const QByteArray root = dir.pathBytes();
    EXPECT_EQ(std::get<3>(Relative(Scan({root}), root).at("")), 3);
    FolderScanOptions one;
    one.oneFileSystem = true;
    EXPECT_EQ(Relative(Scan({root}, one), root), (Rows{{"", {1, 1, 1, 1}}}));
}

TEST(FolderScan, DeeperThanPathMax)
{
    TempDir dir;
    const int levels = 1100;
    int fd = ::open(dir.pathBytes().constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fd, "level-0123", 0755), 0);
        const int sub = ::openat(fd, "level-0123", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = sub;
    }
    const int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::write(file, "deep", 4), 4);
    ::close(file);
    ::close(fd);
    const std::vector<FolderRow> rows = Scan({dir.pathBytes()});
    ASSERT_EQ(rows.size(), size_t(levels + 1));
    qint64 deepest = 0;
    for (const FolderRow& r : rows)
        deepest = std::max<qint64>(deepest, r.path.size());
    EXPECT_GT(deepest, 10'000);
    for (const FolderRow& r : rows) {
        EXPECT_EQ(r.treeFiles, 1) << r.path.size();
        EXPECT_EQ(r.files, r.path.size() == deepest ? 1 : 0);
    }
}

TEST(FolderScan, AHundredThousandSubfolders)
{
    TempDir dir;
    const int count = 100'000;
    const int fd = ::open(dir.pathBytes().constData(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(::mkdirat(fd, QByteArray::number(i).constData(), 0755), 0);
    ::close(fd);
    AddFile(dir, "99999/last", 9);
    FolderReport report;
    report.SetRows(Scan({dir.pathBytes()}));
    ASSERT_EQ(report.RowCount(), count + 1);
    EXPECT_EQ(report.Row(0).path, dir.pathBytes());
    EXPECT_EQ(report.Row(0).treeBytes, 9);
    report.Sort(ColBytes, true);
    EXPECT_EQ(report.Row(0).path, dir.pathBytes() + "/99999");
}

// A folder that vanishes or cannot be read during the walk counts nothing; the rest is complete.
TEST(FolderScan, FoldersThatVanishOrCannotBeRead)
{
    const QByteArray given = qgetenv("CORVANE_DIR");
    if (test::ChildMode() == "scan") {
        // One thread, so that the root's files are totalled first and the rest after the change.
        FolderScanOptions one;
        one.threads = 1;
        const std::vector<FolderRow> rows = Scan({given}, one, [&](const core::JobProgress& p) {
            // Once the folders are known, one goes away and one may no longer be read.
            if (p.text.startsWith(QLatin1String(texts::TotalingFolderSizes))) {
                test::runShell("rm -rf '" + QString::fromLocal8Bit(given) + "/mine/gone'");
                ::chmod((given + "/mine/late").constData(), 0);
            }
        });
        const Rows got = Relative(rows, given);
        const Rows expected{{"", {1, 1, 1, 1}}, {"locked", {0, 0, 0, 0}}, {"mine", {0, 0, 0, 0}},
                            {"mine/gone", {0, 0, 0, 0}}, {"mine/late", {0, 0, 0, 0}}};
        std::exit(got == expected ? 0 : 1);
    }
    TempDir dir;
    AddFile(dir, "f", 1);
    AddFile(dir, "locked/hidden-from-nobody", 5);
    dir.addFolder("locked/below");
    AddFile(dir, "mine/gone/g", 2);
    AddFile(dir, "mine/late/l", 3);
    ASSERT_EQ(::chmod(dir.pathBytes().constData(), 0755), 0);
    ASSERT_EQ(::chmod((dir.pathBytes() + "/locked").constData(), 0700), 0);
    ASSERT_EQ(test::runShell("chown -R nobody '" + dir.path() + "/mine'"), 0);
    QProcessEnvironment env;
    env.insert(QStringLiteral("CORVANE_DIR"), dir.path());
    QString output;
    EXPECT_EQ(test::RunTestAsNobody(QStringLiteral("FolderScan.FoldersThatVanishOrCannotBeRead"),
                                    QStringLiteral("scan"), env, &output),
              0)
        << output.toStdString();
}

TEST(FolderScan, CancelLeavesNoRows)
{
    TempDir dir;
    for (int i = 0; i < 50; ++i)
        AddFile(dir, "d" + QByteArray::number(i) + "/f", 1);
    FolderSizeJob job({dir.pathBytes()});
    job.setProgressInterval(0);
    job.setProgressHandler([&](const core::JobProgress&) { job.cancel(); });
    job.run();
    EXPECT_TRUE(job.TakeRows().empty());
}

// --- the report and its file ---

TEST(FolderReportCsv, TheExportedFile)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    std::vector<FolderRow> rows(4);
    rows[0] = {"/data", -1, 1, 1'000'000, 4, 1'234'567};
    rows[1] = {"/data/a,b", 0, 2, 9, 2, 9};
    rows[2] = {"/data/say \"hi\"\nthere", 0, 0, 10, 0, 10};
    rows[3] = {"/data/\xff", 0, 1, 234'548, 1, 234'548};
    FolderReport report;
    report.SetRows(rows);
    EXPECT_EQ(report.Cell(3, ColFolder), QStringLiteral("/data/\uFFFD"));
    EXPECT_EQ(report.Cell(0, ColTreeBytes), QStringLiteral("1,234,567"));
    EXPECT_EQ(report.TotalsLine(), (QStringList{" Total: 4 folders", "4", "1,234,567", ""}));
    report.Sort(ColBytes, false);
    const QByteArray expected =
        "Folder,Files,Bytes,Files (with Subfolders),Bytes (With Subfolders)\r\n"
        "\"/data/a,b\",2,9,2,9\r\n"
        "\"/data/say \"\"hi\"\"\nthere\",0,10,0,10\r\n"
        "/data/\xff,1,234548,1,234548\r\n"
        "/data,1,1000000,4,1234567\r\n"
        "\"\",\"\",\"\",\"\",\"\"\r\n"
        " Total: 4 folders,4,1234567,\"\",\"\"\r\n";
    EXPECT_EQ(CsvText(report.ExportTable()), expected);
    EXPECT_EQ(CsvText({{"one\r\ntwo,three"}}), "\"one\ntwo,three\"\r\n");
    QLocale::setDefault(QLocale::c());
}

// A file that cannot be written leaves nothing under its name and tells the system's reason.
TEST(FolderReportCsv, WriteFailuresLeaveNoFile)
{
    const QByteArray given = qgetenv("CORVANE_DIR");
    if (test::ChildMode() == "csv") {
        const QString error = WriteFileInPlace(given + "/report.csv", "text");
        std::exit(error == QStringLiteral("Permission denied") ? 0 : 1);
    }
    TempDir dir;
    ASSERT_EQ(::chmod(dir.pathBytes().constData(), 0755), 0);
    QProcessEnvironment env;
    env.insert(QStringLiteral("CORVANE_DIR"), dir.path());
    QString output;
    EXPECT_EQ(test::RunTestAsNobody(QStringLiteral("FolderReportCsv.WriteFailuresLeaveNoFile"), QStringLiteral("csv"),
                                    env, &output),
              0)
        << output.toStdString();
    EXPECT_EQ(test::ReadFileBytes(dir.pathBytes() + "/report.csv"), "<missing>");

    // A full disk: the old file stays as it was, and no part of the new one is left behind.
    dir.addFolder("small");
    test::TmpfsMount tmpfs(dir.pathBytes() + "/small", "64k");
    ASSERT_TRUE(tmpfs.ok());
    const QByteArray target = dir.pathBytes() + "/small/report.csv";
    ASSERT_EQ(WriteFileInPlace(target, "old"), QString());
    EXPECT_EQ(WriteFileInPlace(target, QByteArray(1 << 20, 'x')), QStringLiteral("No space left on device"));
    EXPECT_EQ(test::ReadFileBytes(target), "old");
    EXPECT_EQ(QDir(QString::fromLocal8Bit(dir.pathBytes() + "/small")).entryList(QDir::AllEntries | QDir::Hidden
                                                                                   | QDir::NoDotAndDotDot),
              QStringList{"report.csv"});
}
