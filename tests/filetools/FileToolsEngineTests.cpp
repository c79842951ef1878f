#include "filetools/engine/BatchCopyEngine.h"
#include "filetools/engine/DestroyEngine.h"
#include "filetools/engine/FileDateEngine.h"
#include "filetools/engine/GroupRenameEngine.h"
#include "filetools/engine/ToolJob.h"
#include "core/NameCodec.h"
#include "tests/support/AsNobody.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QProcessEnvironment>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::filetools;
using corvane::test::TempDir;

namespace {

QByteArray ReadAll(const QByteArray& path)
{
    return test::ReadFileBytes(path);
}

bool Exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QByteArray Pattern(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 31 + 7) & 0xFF);
    return b;
}

// Runs the work on this thread, answering the confirmation with `yes`.
QStringList RunTool(const ToolJob::Work& work, bool yes = true, QString* asked = nullptr)
{
    ToolJob job(work);
    job.OnConfirm = [&](const QString& q) {
        if (asked)
            *asked = q;
        return yes;
    };
    job.run();
    return job.Messages();
}

// The child of a test run as nobody reports through its exit code.
int AsNobody(const char* test, const char* mode, const QByteArray& dir, QString* output)
{
    QProcessEnvironment env;
    env.insert("CORVANE_DIR", QString::fromLocal8Bit(dir));
    return test::RunTestAsNobody(QString::fromLatin1(test), QString::fromLatin1(mode), env, output);
}

uid_t NobodyUid()
{
    return 65534;
}

} // namespace

// --- Group rename ---

TEST(GroupRenameNames, NewNamesAndTheTypedExtension)
{
    struct Case {
        const char* name;
        const char* typed;
        RenameOption option;
        const char* expected;
    };
    const Case cases[] = {
        {"photo.jpeg", "jpg", RenameOption::Replace, "photo.jpg"},
        {"photo.jpeg", "jpg", RenameOption::Add, "photo.jpeg.jpg"},
        {"archive.tar.gz", "zip", RenameOption::Replace, "archive.tar.zip"},
        {"notes.md", ".txt", RenameOption::Replace, "notes.txt"},
        {"notes.md", "..txt", RenameOption::Replace, "notes..txt"},
        {"notes.md", " txt", RenameOption::Replace, "notes. txt"},
        // No name is lost: without a dot, and for a hidden file's leading dot, the extension is added.
        {"README", "txt", RenameOption::Replace, "README.txt"},
        {".bashrc", "bak", RenameOption::Replace, ".bashrc.bak"},
        {"trailing.", "txt", RenameOption::Replace, "trailing.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name + std::string(" ") + c.typed);
        EXPECT_EQ(CheckNewExtension(c.typed), "");
        EXPECT_EQ(NewFileName(c.name, UsedExtension(c.typed), c.option), c.expected);
    }
    const std::pair<QString, const char*> refused[] = {
        {"", "No new extension specified"},
        {"   ", "No new extension specified"},
        {"a/b", "The extension cannot contain \"/\" or a null character"},
        {QString("a") + QChar(0) + "b", "The extension cannot contain \"/\" or a null character"},
    };
    for (const auto& [typed, message] : refused)
        EXPECT_EQ(CheckNewExtension(typed), message);
}

TEST(GroupRename, RenamesEachFileNeverReplacingAndReportsEachFailure)
{
    TempDir dir;
    dir.addFile("photo.jpeg", "p");
    dir.addFile("archive.tar.gz", "a");
    dir.addFile("clash.a", "mine");
    dir.addFile("clash.b", "theirs");
    dir.addFile("same.b", "s");
    dir.addFile("\xff\xfe.dat", "raw");
    RenameRunInput input;
    input.folder = dir.path();
    input.names = {"photo.jpeg", "archive.tar.gz", "clash.a", "gone.txt", "same.b",
                   core::DecodeName("\xff\xfe.dat")};
    input.extension = "b";
    int renamed = 0;
    const QStringList messages = RunTool([&](ToolJob& job) { renamed = RunGroupRename(input, job); });
    EXPECT_EQ(renamed, 3);
    EXPECT_EQ(messages, (QStringList{"Unable to rename file clash.a", "Unable to rename file gone.txt"}));
    const QByteArray d = dir.pathBytes() + '/';
    EXPECT_EQ(ReadAll(d + "photo.b"), "p");
    EXPECT_EQ(ReadAll(d + "archive.tar.b"), "a");
    EXPECT_EQ(ReadAll(d + "clash.a"), "mine");
    EXPECT_EQ(ReadAll(d + "clash.b"), "theirs");
    EXPECT_EQ(ReadAll(d + "same.b"), "s");
    EXPECT_EQ(ReadAll(d + "\xff\xfe.b"), "raw");
}

TEST(GroupRename, AFolderNobodyMayWriteKeepsItsNames)
{
    if (test::ChildMode() == "rename") {
        RenameRunInput input{qEnvironmentVariable("CORVANE_DIR") + "/locked", {"a.txt"}, "doc", RenameOption::Replace};
        const QStringList messages = RunTool([&](ToolJob& job) { RunGroupRename(input, job); });
        EXPECT_EQ(messages, QStringList{"Unable to rename file a.txt"});
        return;
    }
    TempDir dir;
    dir.addFile("locked/a.txt", "a");
    ASSERT_EQ(::chmod(dir.pathBytes().constData(), 0755), 0);
    QString output;
    EXPECT_EQ(AsNobody("GroupRename.AFolderNobodyMayWriteKeepsItsNames", "rename", dir.pathBytes(), &output), 0)
        << output.toStdString();
    EXPECT_EQ(ReadAll(dir.pathBytes() + "/locked/a.txt"), "a");
}

// --- Change date/time ---

TEST(FileDate, SetsTheModificationTimeExactlyAndLeavesTheRest)
{
    TempDir dir;
    dir.addFile("a.txt", "content");
    dir.addFile("b.txt", "b");
    const QByteArray a = dir.pathBytes() + "/a.txt";
    const struct timespec atime[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, a.constData(), atime, 0), 0);
    // Odd seconds, before 1970 and after 2038.
    for (const std::time_t when : {std::time_t(1'700'000'001), std::time_t(-14'182'940), std::time_t(4'102'444'801)}) {
        SCOPED_TRACE(when);
        DateRunInput input{dir.path(), {"a.txt", "missing.txt", "b.txt"}, {"a", "missing", "b"}, when};
        int changed = 0;
        const QStringList messages = RunTool([&](ToolJob& job) { changed = RunFileDate(input, job); });
        EXPECT_EQ(changed, 2);
        EXPECT_EQ(messages, QStringList{"Unable to set date/time for file missing"});
        struct stat st {};
        ASSERT_EQ(::stat(a.constData(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, when);
        EXPECT_EQ(st.st_mtim.tv_nsec, 0);
        EXPECT_EQ(st.st_atim.tv_sec, 1'000'000'000);
    }
    EXPECT_EQ(ReadAll(a), "content");
    EXPECT_EQ(SetModifiedTime(dir.pathBytes(), 0), EISDIR);
}

// The time is set without opening the file: its owner changes a read-only file's time; a file of
// another user cannot be changed.
TEST(FileDate, ReadOnlyFilesOfTheUserChangeOthersAreReported)
{
    if (test::ChildMode() == "date") {
        const QString d = qEnvironmentVariable("CORVANE_DIR");
        DateRunInput input{d, {"mine.txt", "root.txt"}, {"mine.txt", "root.txt"}, 86'401};
        const QStringList messages = RunTool([&](ToolJob& job) { RunFileDate(input, job); });
        EXPECT_EQ(messages, QStringList{"Unable to set date/time for file root.txt"});
        return;
    }
    TempDir dir;
    dir.addFile("mine.txt", "m");
    dir.addFile("root.txt", "r");
    const QByteArray d = dir.pathBytes();
    ASSERT_EQ(::chmod(d.constData(), 0755), 0);
    ASSERT_EQ(::chown((d + "/mine.txt").constData(), NobodyUid(), 65534), 0);
    ASSERT_EQ(::chmod((d + "/mine.txt").constData(), 0444), 0);
    ASSERT_EQ(::chmod((d + "/root.txt").constData(), 0666), 0);
    QString output;
    EXPECT_EQ(AsNobody("FileDate.ReadOnlyFilesOfTheUserChangeOthersAreReported", "date", d, &output), 0)
        << output.toStdString();
    struct stat st {};
    ASSERT_EQ(::stat((d + "/mine.txt").constData(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 86'401);
    ASSERT_EQ(::stat((d + "/root.txt").constData(), &st), 0);
    EXPECT_NE(st.st_mtim.tv_sec, 86'401);
}

// --- Destroy ---

TEST(Destroy, ConfirmationTellsWhatTheSelectionHolds)
{
    TempDir dir;
    dir.addFile("a.txt", "a");
    dir.addFile("linked.txt", "l");
    dir.addSymlink("link", "a.txt");
    const QByteArray d = dir.pathBytes() + '/';
    ASSERT_EQ(::link((d + "linked.txt").constData(), (d + "other-name").constData()), 0);
    ASSERT_EQ(::mkfifo((d + "pipe").constData(), 0600), 0);

    QString asked;
    EXPECT_EQ(RunTool([](ToolJob& job) { RunDestroy({}, job); }, true, &asked), QStringList());
    EXPECT_EQ(asked, "You have selected 0 files to destroy.\nThere is NO WAY to recover destroyed files.\n"
                     "Do you want to proceed?");

    int destroyed = 0;
    const std::vector<QByteArray> all{d + "a.txt", d + "linked.txt", d + "link", d + "pipe"};
    RunTool([&](ToolJob& job) { destroyed = RunDestroy(all, job); }, false, &asked);
    EXPECT_EQ(destroyed, -1);
    EXPECT_EQ(asked, "You have selected 4 files to destroy.\nThere is NO WAY to recover destroyed files.\n"
                     "1 of them have other names (hard links): the contents are overwritten under every name, "
                     "but only the selected name is deleted.\n"
                     "2 of them are links, pipes or devices: only their names are removed, nothing they point to.\n"
                     "Do you want to proceed?");
    for (const QByteArray& p : all)
        EXPECT_TRUE(Exists(p)) << p.constData();
    EXPECT_EQ(ReadAll(d + "a.txt"), "a");
}

// Links, pipes and devices lose their names only: a link's target and whatever a pipe leads to
// are never opened.
TEST(Destroy, OverwritesAndDeletesFilesAndRemovesOnlyTheNamesOfLinksAndPipes)
{
    TempDir dir;
    dir.addFile("empty", "");
    dir.addFile("big.bin", Pattern(3 << 20));
    dir.addFile("target.txt", "keep me");
    dir.addFile("linked.txt", "shared");
    dir.addFile("\xff name", "raw");
    dir.addFolder("folder");
    dir.addSymlink("link", "target.txt");
    const QByteArray d = dir.pathBytes() + '/';
    ASSERT_EQ(::link((d + "linked.txt").constData(), (d + "other-name").constData()), 0);
    ASSERT_EQ(::mkfifo((d + "pipe").constData(), 0600), 0);
    ASSERT_EQ(::mknod((d + "null").constData(), S_IFCHR | 0666, makedev(1, 3)), 0);

    const std::vector<QByteArray> paths{d + "empty", d + "big.bin", d + "link", d + "linked.txt", d + "pipe",
                                        d + "null", d + "\xff name"};
    int destroyed = 0;
    EXPECT_EQ(RunTool([&](ToolJob& job) { destroyed = RunDestroy(paths, job); }), QStringList());
    EXPECT_EQ(destroyed, int(paths.size()));
    for (const QByteArray& p : paths)
        EXPECT_FALSE(Exists(p)) << p.constData();
    EXPECT_EQ(ReadAll(d + "target.txt"), "keep me");
    EXPECT_EQ(ReadAll(d + "other-name"), QByteArray(6, 'X'));
    EXPECT_TRUE(Exists(d + "folder"));
}

// A failure keeps the file and says so; the other files are still destroyed.
TEST(Destroy, FilesThatCannotBeDestroyedAreKeptAndReported)
{
    if (test::ChildMode() == "destroy") {
        const QByteArray d = qgetenv("CORVANE_DIR") + '/';
        const std::vector<QByteArray> paths{d + "fixed/mine.bin", d + "readonly.txt", d + "ok.txt"};
        const QStringList messages = RunTool([&](ToolJob& job) { RunDestroy(paths, job); });
        EXPECT_EQ(messages, (QStringList{"Unable to delete file " + QString::fromUtf8(d) + "fixed/mine.bin",
                                         "Unable to delete file " + QString::fromUtf8(d) + "readonly.txt"}));
        return;
    }
    TempDir dir;
    dir.addFile("fixed/mine.bin", Pattern(100'000));
    dir.addFile("readonly.txt", "root's");
    dir.addFile("ok.txt", "ok");
    const QByteArray d = dir.pathBytes() + '/';
    ASSERT_EQ(::chmod(dir.pathBytes().constData(), 0777), 0);
    ASSERT_EQ(::chown((d + "fixed/mine.bin").constData(), NobodyUid(), 65534), 0);
    ASSERT_EQ(::chown((d + "ok.txt").constData(), NobodyUid(), 65534), 0);
    ASSERT_EQ(::chmod((d + "readonly.txt").constData(), 0444), 0);
    QString output;
    EXPECT_EQ(AsNobody("Destroy.FilesThatCannotBeDestroyedAreKeptAndReported", "destroy", dir.pathBytes(), &output), 0)
        << output.toStdString();
    // The passes went through, the deletion did not: every byte is the filler.
    EXPECT_EQ(ReadAll(d + "fixed/mine.bin"), QByteArray(100'000, 'X'));
    EXPECT_EQ(ReadAll(d + "readonly.txt"), "root's");
    EXPECT_FALSE(Exists(d + "ok.txt"));
}

TEST(Destroy, AFileAnotherProgramHasOpenIsKept)
{
    TempDir dir;
    dir.addFile("open.txt", "in use");
    const QByteArray path = dir.pathBytes() + "/open.txt";
    const int reader = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const QStringList messages = RunTool([&](ToolJob& job) { RunDestroy({path}, job); });
    ::close(reader);
    EXPECT_EQ(messages, QStringList{"Unable to delete file " + QString::fromUtf8(path)});
    EXPECT_EQ(ReadAll(path), "in use");
}

// Overwriting in place needs no room: a full disk does not stop it.
TEST(Destroy, WorksOnAFullDisk)
{
    TempDir dir;
    dir.addFolder("vol");
    const QByteArray vol = dir.pathBytes() + "/vol";
    const test::TmpfsMount mount(vol, "256k");
    ASSERT_TRUE(mount.ok()) << std::strerror(errno);
    ASSERT_EQ(test::runShell("dd if=/dev/zero of='" + QString::fromUtf8(vol) + "/fill' bs=4k 2>/dev/null"), 1);
    EXPECT_EQ(RunTool([&](ToolJob& job) { RunDestroy({vol + "/fill"}, job); }), QStringList());
    EXPECT_FALSE(Exists(vol + "/fill"));
}

// A cancelled file is neither deleted nor reported.
TEST(Destroy, ACancelKeepsTheFile)
{
    TempDir dir;
    dir.addFile("a.bin", Pattern(4 << 20));
    dir.addFile("b.bin", "b");
    const QByteArray d = dir.pathBytes() + '/';
    ToolJob job([&](ToolJob& j) { RunDestroy({d + "a.bin", d + "b.bin"}, j); });
    job.OnConfirm = [](const QString&) { return true; };
    job.setProgressInterval(0);
    job.setProgressHandler([&job](const core::JobProgress& p) {
        if (p.doneBytes > 0)
            job.cancel();
    });
    job.run();
    EXPECT_EQ(job.Messages(), QStringList());
    EXPECT_TRUE(Exists(d + "a.bin"));
    EXPECT_EQ(ReadAll(d + "b.bin"), "b");
}

// --- Batch copy ---

TEST(BatchCopyFolders, TheDestinationRepeatsThePathBelowTheVolumeRoot)
{
    struct Case {
        const char* folder;
        const char* dest;
        const char* root;
        const char* expected;
    };
    const Case cases[] = {
        {"/a/b", "/d", "/", "/d/a/b"},
        {"/a/b/c", "/d/", "/", "/d/a/b/c"},
        {"/mnt/usb/x", "/d", "/mnt/usb", "/d/x"},
        {"/mnt/usb", "/d", "/mnt/usb", "/d/"},
        {"/mnt/usbstick/x", "/d", "/mnt/usb", "/d/mnt/usbstick/x"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BatchTargetFolder(c.folder, c.dest, c.root), c.expected) << c.folder;
}

TEST(BatchCopy, CopiesTheTreeSkippingDotFoldersAndReplacingFiles)
{
    TempDir dir;
    dir.addFile("src/top.txt", "top");
    dir.addFile("src/.hidden", "h");
    dir.addFile("src/a,b.txt", "comma");
    dir.addFile("src/\xfe.bin", "raw");
    dir.addFile("src/sub/deep/d.txt", "d");
    dir.addFile("src/sub/s.txt", "s");
    dir.addFile("src/.cache/c.txt", "c");
    dir.addFolder("src/empty");
    dir.addSymlink("src/up", "..");
    const QByteArray src = dir.pathBytes() + "/src";
    const QByteArray dst = dir.pathBytes() + "/dst";
    const QByteArray out = dst + src;
    dir.addFile("dst" + src + "/top.txt", "old");
    dir.addFile("dst" + src + "/sub/s.txt", "old");
    dir.addFile("dst" + src + "/sub/kept.txt", "kept");

    const BatchFolders folders = ListBatchFolders(src, dst, "/");
    EXPECT_EQ(folders.sources.size(), 4u);
    EXPECT_EQ(folders.sources.front(), src);
    EXPECT_EQ(folders.targets.front(), out);

    EXPECT_EQ(CheckBatchCopy(src, dst), "");
    bool ok = false;
    EXPECT_EQ(RunTool([&](ToolJob& job) { ok = RunBatchCopy(src + '/', dst, job); }), QStringList());
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadAll(out + "/top.txt"), "top");
    EXPECT_EQ(ReadAll(out + "/.hidden"), "h");
    EXPECT_EQ(ReadAll(out + "/a,b.txt"), "comma");
    EXPECT_EQ(ReadAll(out + "/\xfe.bin"), "raw");
    EXPECT_EQ(ReadAll(out + "/sub/s.txt"), "s");
    EXPECT_EQ(ReadAll(out + "/sub/kept.txt"), "kept");
    EXPECT_EQ(ReadAll(out + "/sub/deep/d.txt"), "d");
    EXPECT_TRUE(Exists(out + "/empty"));
    EXPECT_FALSE(Exists(out + "/.cache"));
    struct stat st {};
    ASSERT_EQ(::lstat((out + "/up").constData(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(BatchCopy, ASourceWithoutSubfoldersGivesOneFolder)
{
    TempDir dir{"src/a.txt", "src/b.txt", "dst/"};
    const QByteArray src = dir.pathBytes() + "/src";
    const QByteArray dst = dir.pathBytes() + "/dst";
    EXPECT_EQ(RunTool([&](ToolJob& job) { RunBatchCopy(src, dst, job); }), QStringList());
    EXPECT_EQ(test::runShell("test \"$(find '" + QString::fromUtf8(dst) + "' -type d | wc -l)\" -eq "
                             + QString::number(src.count('/') + 1)), 0);
    EXPECT_TRUE(Exists(dst + src + "/a.txt"));
    EXPECT_TRUE(Exists(dst + src + "/b.txt"));
}

TEST(BatchCopy, RefusedInputWritesNothing)
{
    TempDir dir{"src/a.txt", "src/inner/", "dst/"};
    const QByteArray src = dir.pathBytes() + "/src";
    EXPECT_EQ(CheckBatchCopy(src, src + "/inner"), "The destination folder cannot be inside the source folder");
    EXPECT_EQ(CheckBatchCopy(src, src), "The destination folder cannot be inside the source folder");
    EXPECT_EQ(CheckBatchCopy(src, dir.pathBytes() + "/src/../src/inner"),
              "The destination folder cannot be inside the source folder");
    EXPECT_EQ(CheckBatchCopy(src, ""), "You must select a folder as the destination");
    EXPECT_EQ(CheckBatchCopy("", src), "You must select a folder as the source");
    EXPECT_EQ(CheckBatchCopy(src, dir.pathBytes() + "/srcx"), "You must select a folder as the destination");

    for (const int kind : {0, 5}) {
        bool result = true;
        RunTool([&](ToolJob& job) { result = ShFileOperation({src + "/a.txt"}, {dir.pathBytes() + "/dst"}, kind, 0, job); });
        EXPECT_FALSE(result) << kind;
    }
    bool result = true;
    RunTool([&](ToolJob& job) { result = ShFileOperation({}, {dir.pathBytes() + "/dst"}, FO_COPY, 0, job); });
    EXPECT_FALSE(result);
    EXPECT_EQ(test::runShell("test -z \"$(ls -A '" + dir.path() + "/dst')\""), 0);
}

// The copy engine leaves no partial file on a full disk; each file it could not copy is reported.
TEST(BatchCopy, AFullDiskLeavesNoPartialFile)
{
    TempDir dir;
    dir.addFile("src/small.bin", Pattern(20'000));
    dir.addFile("src/large.bin", Pattern(400'000));
    dir.addFolder("dst");
    const QByteArray dst = dir.pathBytes() + "/dst";
    const test::TmpfsMount mount(dst, "128k");
    ASSERT_TRUE(mount.ok()) << std::strerror(errno);
    const QByteArray src = dir.pathBytes() + "/src";
    const QStringList messages = RunTool([&](ToolJob& job) { RunBatchCopy(src, dst, job); });
    ASSERT_EQ(messages.size(), 1) << messages.join('|').toStdString();
    EXPECT_TRUE(messages[0].startsWith("Unable to copy file " + QString::fromUtf8(dst + src) + "/large.bin\n"))
        << messages[0].toStdString();
    EXPECT_EQ(ReadAll(dst + src + "/small.bin"), Pattern(20'000));
    EXPECT_EQ(test::runShell("test \"$(ls -A '" + QString::fromUtf8(dst + src) + "')\" = small.bin"), 0);
}

TEST(BatchCopy, ADestinationNobodyMayWriteIsReported)
{
    if (test::ChildMode() == "copy") {
        const QByteArray d = qgetenv("CORVANE_DIR");
        const QStringList messages = RunTool([&](ToolJob& job) { RunBatchCopy(d + "/src", d + "/dst", job); });
        EXPECT_EQ(messages, QStringList{"Unable to create folder " + QString::fromUtf8(d + "/dst" + d + "/src")});
        return;
    }
    TempDir dir{"src/a.txt", "dst/"};
    ASSERT_EQ(::chmod(dir.pathBytes().constData(), 0755), 0);
    QString output;
    EXPECT_EQ(AsNobody("BatchCopy.ADestinationNobodyMayWriteIsReported", "copy", dir.pathBytes(), &output), 0)
        << output.toStdString();
    EXPECT_EQ(test::runShell("test -z \"$(ls -A '" + dir.path() + "/dst')\""), 0);
}
