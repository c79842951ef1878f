#include "tests/support/FileOpsTestSupport.h"
#include "platform/FileOperation.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace corvane::platform;
using namespace corvane::test;

namespace {

class FileOps : public ::testing::Test
{
protected:
    // The temporary folder cannot remove names that are not UTF-8 by itself.
    void TearDown() override { clearFolder(tmp.pathBytes()); }
    QByteArray p(const QByteArray& rel) const { return tmp.pathBytes() + '/' + rel; }
    // Names in a folder that a copy left half-done.
    static std::vector<QByteArray> leftovers(const QByteArray& dir)
    {
        std::vector<QByteArray> out;
        for (const QByteArray& n : namesIn(dir)) {
            if (n.startsWith(".corvane-"))
                out.push_back(n);
        }
        return out;
    }

    TempDir tmp;
};

} // namespace

TEST(FileOpNames, CopyAndKeepBothNames)
{
    struct Case {
        QByteArray name;
        bool folder;
        int n;
        QByteArray copy;
        QByteArray numbered;
    };
    const QByteArray utf8Long = QByteArray(119, 'x') + QByteArray("\xc3\xa9").repeated(66) + ".txt";  // 255 bytes
    const Case cases[] = {
        {"a.txt", false, 1, "a (copy).txt", "a (2).txt"},
        {"a.txt", false, 2, "a (copy 2).txt", "a (2).txt"},
        {"a (copy).txt", false, 2, "a (copy 2).txt", "a (copy) (2).txt"},
        {"a (copy 7).txt", false, 1, "a (copy).txt", "a (copy 7) (2).txt"},
        {"a (2).txt", false, 3, "a (2) (copy 3).txt", "a (3).txt"},
        {"archive.tar.gz", false, 1, "archive (copy).tar.gz", "archive (2).tar.gz"},
        {".bashrc", false, 1, ".bashrc (copy)", ".bashrc (2)"},
        {"notes.d", true, 1, "notes.d (copy)", "notes.d (2)"},
        {"Report v1.2 final", false, 1, "Report v1.2 final (copy)", "Report v1.2 final (2)"},
        {"(copy)", false, 2, "(copy) (copy 2)", "(copy) (2)"},
        {"caf\xe9.txt", false, 1, "caf\xe9 (copy).txt", "caf\xe9 (2).txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CopyName(c.name, c.folder, c.n), c.copy) << c.name.toStdString();
        EXPECT_EQ(NumberedName(c.name, c.folder, c.n), c.numbered) << c.name.toStdString();
    }
    // Names at the length limit are shortened before the extension, never inside a character.
    const QByteArray shortened = CopyName(utf8Long, false, 1);
    EXPECT_LE(shortened.size(), 255);
    EXPECT_TRUE(shortened.endsWith(" (copy).txt"));
    EXPECT_TRUE(QString::fromUtf8(shortened).toUtf8() == shortened);
}

TEST_F(FileOps, CopyIntoTheSameFolderTwiceMakesCopyAndCopy2)
{
    tmp.addFile("dir/a.txt", "alpha");
    tmp.addFile("dir/sub/b", "beta");
    tmp.addFile("dir/caf\xe9.txt", "bytes");
    for (int round = 1; round <= 2; ++round) {
        auto op = CopyFiles({p("dir/a.txt"), p("dir/sub"), p("dir/caf\xe9.txt")}, p("dir"));
        op->run();
        ASSERT_EQ(op->result().status, FileOpResult::Completed);
        EXPECT_EQ(op->result().created.size(), 3u);
    }
    EXPECT_EQ(namesIn(p("dir")),
              (std::vector<QByteArray>{"a (copy 2).txt", "a (copy).txt", "a.txt", "caf\xe9 (copy 2).txt",
                                       "caf\xe9 (copy).txt", "caf\xe9.txt", "sub", "sub (copy 2)", "sub (copy)"}));
    EXPECT_EQ(readBytes(p("dir/a (copy 2).txt")), "alpha");
    EXPECT_EQ(readBytes(p("dir/sub (copy)/b")), "beta");
    EXPECT_EQ(readBytes(p("dir/caf\xe9 (copy).txt")), "bytes");

    // Moving into the folder an item is already in leaves it alone.
    auto move = MoveFiles({p("dir/a.txt")}, p("dir"));
    move->run();
    EXPECT_EQ(readBytes(p("dir/a.txt")), "alpha");
    EXPECT_EQ(namesIn(p("dir")).size(), 9u);
}

TEST_F(FileOps, FolderIntoItselfIsRefusedBeforeAnythingIsWritten)
{
    tmp.addFile("top/sub/deep/f", "x");
    tmp.addFile("other", "y");
    for (FileOpKind kind : {FileOpKind::Copy, FileOpKind::Move}) {
        for (const QByteArray& target : {p("top/sub/deep"), p("top")}) {
            std::vector<QByteArray> sources{p("other"), p("top")};
            auto op = kind == FileOpKind::Copy ? CopyFiles(sources, target) : MoveFiles(sources, target);
            op->run();
            EXPECT_EQ(op->result().status, FileOpResult::Refused);
            EXPECT_TRUE(op->result().message.contains(QStringLiteral("\"top\""))) << op->result().message.toStdString();
        }
    }
    EXPECT_EQ(namesIn(p("")), (std::vector<QByteArray>{"other", "top"}));
    EXPECT_EQ(namesIn(p("top/sub/deep")), std::vector<QByteArray>{"f"});
    EXPECT_EQ(namesIn(p("top")), std::vector<QByteArray>{"sub"});

    auto missing = CopyFiles({p("other")}, p("no such folder"));
    missing->run();
    EXPECT_EQ(missing->result().status, FileOpResult::Refused);
}

TEST_F(FileOps, SourcesWithoutANameOfTheirOwnAreRefused)
{
    // "dst/.." is the temporary folder itself: a merge there would pour "src" into it.
    tmp.addFile("src/inner/f", "x");
    tmp.addFile("dst/old", "o");
    for (const QByteArray& source : {p("src/inner/.."), p("src/inner/."), p("src/.."), QByteArray("/")}) {
        for (FileOpKind kind : {FileOpKind::Copy, FileOpKind::Move}) {
            SCOPED_TRACE(source.toStdString());
            auto op = kind == FileOpKind::Copy ? CopyFiles({p("src/inner/f"), source}, p("dst"))
                                               : MoveFiles({p("src/inner/f"), source}, p("dst"));
            Asker asker;
            asker.conflictAnswers = {{ConflictAction::Replace, true}};
            asker.attach(*op);
            op->run();
            EXPECT_EQ(op->result().status, FileOpResult::Refused);
            EXPECT_TRUE(op->result().message.contains(QStringLiteral("does not end in the name of a file or folder")))
                << op->result().message.toStdString();
            EXPECT_TRUE(asker.conflicts.empty());
        }
    }
    EXPECT_EQ(namesIn(p("")), (std::vector<QByteArray>{"dst", "src"}));
    EXPECT_EQ(namesIn(p("dst")), std::vector<QByteArray>{"old"});
    EXPECT_EQ(namesIn(p("src/inner")), std::vector<QByteArray>{"f"});
}

namespace {

// A folder shown a second time at another path, as `mount --bind` does.
class BindMount
{
public:
    BindMount(const QByteArray& from, const QByteArray& at)
        : m_at(at), m_ok(::mount(from.constData(), at.constData(), nullptr, MS_BIND, nullptr) == 0)
    {
    }
    ~BindMount()
    {
        if (m_ok)
            ::umount2(m_at.constData(), MNT_DETACH);
    }
    BindMount(const BindMount&) = delete;
    BindMount& operator=(const BindMount&) = delete;
    bool ok() const { return m_ok; }

private:
    QByteArray m_at;
    bool m_ok;
};

} // namespace

TEST_F(FileOps, FolderIntoItselfThroughABindMountIsRefused)
{
    tmp.addFile("src/docs/sub/f", "x");
    tmp.addFolder("view");
    BindMount bind(p("src"), p("view"));
    ASSERT_TRUE(bind.ok()) << std::strerror(errno);
    // The paths differ, the folders are the same: "view/docs" is "src/docs".
    const struct {
        QByteArray source;
        QByteArray target;
    } cases[] = {
        {p("src/docs"), p("view/docs/sub")},
        {p("view/docs"), p("src/docs/sub")},
        {p("src/docs"), p("view/docs")},
    };
    for (const auto& c : cases) {
        for (FileOpKind kind : {FileOpKind::Copy, FileOpKind::Move}) {
            SCOPED_TRACE(c.target.toStdString());
            auto op = kind == FileOpKind::Copy ? CopyFiles({c.source}, c.target) : MoveFiles({c.source}, c.target);
            op->run();
            EXPECT_EQ(op->result().status, FileOpResult::Refused);
            EXPECT_EQ(op->result().message, QStringLiteral("Cannot %1 \"docs\": the target folder is inside the source folder.")
                                                .arg(kind == FileOpKind::Copy ? QStringLiteral("copy") : QStringLiteral("move")));
        }
    }
    EXPECT_EQ(namesIn(p("src/docs")), std::vector<QByteArray>{"sub"});
    EXPECT_EQ(namesIn(p("src/docs/sub")), std::vector<QByteArray>{"f"});
}

TEST_F(FileOps, FoldersMountedInsideTheSourceThatLeadBackAreLeftOut)
{
    tmp.addFile("src/f", "data");
    tmp.addFolder("src/self");
    tmp.addFolder("src/up");
    tmp.addFolder("src/target");
    tmp.addFolder("dst");
    tmp.addFile("keep", "k");
    // Back to the folder copied, and to the one that holds it (and the target).
    BindMount self(p("src"), p("src/self"));
    BindMount up(tmp.pathBytes(), p("src/up"));
    ASSERT_TRUE(self.ok() && up.ok()) << std::strerror(errno);
    {
        BindMount target(p("dst"), p("src/target"));
        ASSERT_TRUE(target.ok()) << std::strerror(errno);
        auto op = CopyFiles({p("src")}, p("dst"));
        op->run();
        EXPECT_EQ(op->result().status, FileOpResult::Completed);
        EXPECT_EQ(namesIn(p("dst")), std::vector<QByteArray>{"src"});
        EXPECT_EQ(namesIn(p("dst/src")), std::vector<QByteArray>{"f"});
        std::vector<QString> messages;
        for (const FileOpIssue& issue : op->result().skipped)
            messages.push_back(issue.message);
        EXPECT_EQ(messages, (std::vector<QString>{
                                QStringLiteral("\"self\" leads back into a folder that holds it and was left out."),
                                QStringLiteral("\"target\" holds the target folder and was left out: nothing goes into itself."),
                                QStringLiteral("\"up\" leads back into a folder that holds it and was left out.")}));
        EXPECT_EQ(op->progress().doneItems, op->progress().totalItems);
        EXPECT_EQ(op->progress().totalItems, 5);
    }

    // Deleted for good: nothing outside the folder goes through the mounts, and they stay.
    auto del = DeleteFiles({p("src")});
    del->run();
    EXPECT_EQ(del->result().status, FileOpResult::Completed);
    EXPECT_EQ(del->result().skipped.size(), 2u);
    EXPECT_EQ(readBytes(p("keep")), "k");
    EXPECT_EQ(readBytes(p("dst/src/f")), "data");
    EXPECT_EQ(namesIn(p("src")), (std::vector<QByteArray>{"self", "up"}));
}

TEST_F(FileOps, CancelledCopyLeavesNoPartialTargetAndTheSourceUntouched)
{
    tmp.addFolder("src");
    writePattern(p("src/big"), qint64(64) << 20);
    tmp.addFile("src/after", "never copied");
    const QByteArray before = readBytes(p("src/big"));

    // A file, and a folder holding it: neither leaves anything, hidden or not, in the target.
    for (const auto& sources : {std::vector<QByteArray>{p("src/big"), p("src/after")}, std::vector<QByteArray>{p("src")}}) {
        for (FileOpKind kind : {FileOpKind::Copy, FileOpKind::Move}) {
            Tmpfs other("128m");  // a move to another volume copies
            auto op = kind == FileOpKind::Copy ? CopyFiles(sources, other.path()) : MoveFiles(sources, other.path());
            op->setProgressInterval(0);
            qint64 seenAt = -1;
            op->setProgressHandler([&](const FileOpProgress& pr) {
                if (!pr.scanning && pr.doneBytes > 0 && pr.doneBytes < pr.totalBytes && seenAt < 0) {
                    seenAt = pr.doneBytes;
                    op->cancel();
                }
            });
            op->run();
            EXPECT_EQ(op->result().status, FileOpResult::Cancelled);
            EXPECT_GT(seenAt, 0);
            EXPECT_TRUE(namesIn(other.path()).empty());
            EXPECT_EQ(readBytes(p("src/big")), before);
            EXPECT_EQ(namesIn(p("src")), (std::vector<QByteArray>{"after", "big"}));
        }
    }
}

namespace {

// A tree that shows what a move must keep: modes, times, a link, a name that is not UTF-8.
void makeTree(TempDir& tmp)
{
    tmp.addFile("src/tree/sub/data.bin", QByteArray(300000, 'd'));
    tmp.addFile("src/tree/caf\xe9\xff.txt", "latin-1 name");
    tmp.addSymlink("src/tree/link", "sub/data.bin");
    const QByteArray root = tmp.pathBytes() + "/src/tree";
    ::chmod((root + "/sub/data.bin").constData(), 0640);
    ::chmod((root + "/sub").constData(), 0750);
    setTime(root + "/sub/data.bin", 1'000'000'000);
    setTime(root + "/link", 1'000'000'100);
    setTime(root + "/sub", 1'000'000'200);
    setTime(root, 1'000'000'300);
}

void expectTree(const QByteArray& tree)
{
    EXPECT_EQ(readBytes(tree + "/sub/data.bin"), QByteArray(300000, 'd'));
    EXPECT_EQ(readBytes(tree + "/caf\xe9\xff.txt"), "latin-1 name");
    struct stat file = statOf(tree + "/sub/data.bin");
    struct stat sub = statOf(tree + "/sub");
    struct stat link = statOf(tree + "/link");
    EXPECT_EQ(file.st_mode & 07777, 0640u);
    EXPECT_EQ(file.st_mtime, 1'000'000'000);
    EXPECT_EQ(sub.st_mode & 07777, 0750u);
    EXPECT_EQ(sub.st_mtime, 1'000'000'200);
    EXPECT_EQ(statOf(tree).st_mtime, 1'000'000'300);
    ASSERT_TRUE(S_ISLNK(link.st_mode));
    EXPECT_EQ(link.st_mtime, 1'000'000'100);
    char target[64] = {};
    EXPECT_EQ(::readlink((tree + "/link").constData(), target, sizeof target - 1), 12);
    EXPECT_STREQ(target, "sub/data.bin");
}

} // namespace

TEST_F(FileOps, CopyAndMoveKeepContentTimesModesLinksAndNames)
{
    Tmpfs other("16m");
    struct Case {
        const char* what;
        bool move;
        bool acrossVolumes;
    };
    for (const Case c : {Case{"copy", false, false}, Case{"copy across", false, true}, Case{"move", true, false},
                         Case{"move across", true, true}}) {
        SCOPED_TRACE(c.what);
        makeTree(tmp);
        const QByteArray target = c.acrossVolumes ? other.path() + "/dst" : p("dst");
        ::mkdir(target.constData(), 0755);
        const ino_t inode = statOf(p("src/tree/sub/data.bin")).st_ino;

        auto op = c.move ? MoveFiles({p("src/tree")}, target) : CopyFiles({p("src/tree")}, target);
        op->run();
        ASSERT_EQ(op->result().status, FileOpResult::Completed);
        EXPECT_TRUE(op->result().skipped.empty());
        ASSERT_EQ(op->result().created, std::vector<QByteArray>{target + "/tree"});
        expectTree(target + "/tree");
        EXPECT_TRUE(leftovers(target + "/tree/sub").empty());
        if (c.move) {
            EXPECT_FALSE(exists(p("src/tree")));
            // Within a volume a move is a rename: the very same file.
            if (!c.acrossVolumes) {
                EXPECT_EQ(statOf(target + "/tree/sub/data.bin").st_ino, inode);
            }
        } else {
            expectTree(p("src/tree"));
        }
        ASSERT_EQ(runShell(QStringLiteral("rm -rf '%1' '%2'").arg(QString::fromLocal8Bit(p("src")), QString::fromLocal8Bit(target))), 0);
    }
}

TEST_F(FileOps, FullDiskRemovesThePartialTargetAndAsksRetrySkipCancel)
{
    Tmpfs small("256k");
    tmp.addFolder("src");
    writePattern(p("src/big.bin"), 1 << 20);
    tmp.addFile("src/small.txt", "fits");

    // Copy: asked twice (retry, then skip); nothing half-written stays.
    auto copy = CopyFiles({p("src/big.bin")}, small.path());
    Asker asker;
    asker.errorAnswers = {{ErrorAction::Retry, false}, {ErrorAction::Skip, false}};
    asker.attach(*copy);
    copy->run();
    ASSERT_EQ(asker.errors.size(), 2u);
    EXPECT_EQ(asker.errors[0].errorCode, ENOSPC);
    EXPECT_EQ(asker.errors[0].message, QStringLiteral("No space left on device"));
    EXPECT_EQ(asker.errors[0].path, small.path() + "/big.bin");
    EXPECT_TRUE(namesIn(small.path()).empty());
    ASSERT_EQ(copy->result().skipped.size(), 1u);
    EXPECT_TRUE(copy->result().skipped[0].message.contains(QStringLiteral("No space left on device")));

    // A move across volumes deletes exactly what was copied: the file that did not fit stays.
    auto move = MoveFiles({p("src")}, small.path());
    Asker skip;
    skip.errorAnswers = {{ErrorAction::Skip, false}};
    skip.attach(*move);
    move->run();
    EXPECT_EQ(skip.errors.size(), 1u);
    EXPECT_EQ(namesIn(small.path() + "/src"), std::vector<QByteArray>{"small.txt"});
    EXPECT_EQ(readBytes(small.path() + "/src/small.txt"), "fits");
    EXPECT_EQ(namesIn(p("src")), std::vector<QByteArray>{"big.bin"});
    EXPECT_EQ(statOf(p("src/big.bin")).st_size, 1 << 20);
}

TEST_F(FileOps, PermissionFailuresAreReportedAndLeaveNothingBehind)
{
    // Root ignores permissions: the copies run in a helper as "nobody".
    tmp.addFile("src.txt", "data");
    tmp.addFile("tree/ok.txt", "ok");
    tmp.addFile("tree/secret/hidden.txt", "no");
    tmp.addFolder("readonly");
    tmp.addFolder("writable");
    ::chmod(tmp.pathBytes().constData(), 0755);
    ::chmod(p("tree/secret").constData(), 0700);
    ::chown(p("readonly").constData(), 65534, 65534);
    ::chmod(p("readonly").constData(), 0555);
    ::chown(p("writable").constData(), 65534, 65534);

    auto copyAsNobody = [&](const QByteArray& source, const QByteArray& target) {
        QProcess helper;
        helper.start(QStringLiteral("setpriv"), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", FILEOPS_HELPER,
                                                 "copy", QString::fromLocal8Bit(source), QString::fromLocal8Bit(target)});
        EXPECT_TRUE(helper.waitForFinished(30000));
        EXPECT_EQ(helper.exitCode(), 0) << helper.readAllStandardError().toStdString();
        return helper.readAllStandardOutput();
    };

    // A read-only target folder.
    QByteArray out = copyAsNobody(p("src.txt"), p("readonly"));
    EXPECT_TRUE(out.contains("error\t13\tPermission denied\t" + p("readonly/src.txt"))) << out.toStdString();
    EXPECT_TRUE(namesIn(p("readonly")).empty());

    // An unreadable folder inside the source is skipped, not copied as an empty one.
    out = copyAsNobody(p("tree"), p("writable"));
    EXPECT_TRUE(out.contains("error\t13\tPermission denied\t" + p("tree/secret"))) << out.toStdString();
    EXPECT_EQ(namesIn(p("writable")), std::vector<QByteArray>{"tree"});
    EXPECT_EQ(namesIn(p("writable/tree")), std::vector<QByteArray>{"ok.txt"});
}

TEST_F(FileOps, ConflictAnswersWithApplyToAll)
{
    struct Case {
        ConflictAction action;
        std::vector<QByteArray> names;
        QByteArray aContent;
    };
    const Case cases[] = {
        {ConflictAction::Replace, {"a", "b", "c"}, "new a"},
        {ConflictAction::Skip, {"a", "b", "c"}, "old a"},
        {ConflictAction::KeepBoth, {"a", "a (2)", "b", "b (2)", "c", "c (2)"}, "old a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.action));
        ASSERT_EQ(runShell(QStringLiteral("rm -rf '%1'/*").arg(tmp.path())), 0);
        for (const char* n : {"a", "b", "c"}) {
            tmp.addFile(QByteArray("src/") + n, QByteArray("new ") + n);
            tmp.addFile(QByteArray("dst/") + n, QByteArray("old ") + n);
        }
        auto op = CopyFiles({p("src/a"), p("src/b"), p("src/c")}, p("dst"));
        Asker asker;
        asker.conflictAnswers = {{c.action, true}};
        asker.attach(*op);
        op->run();
        ASSERT_EQ(asker.conflicts.size(), 1u);  // asked once, applied to all
        EXPECT_EQ(asker.conflicts[0].source, p("src/a"));
        EXPECT_EQ(asker.conflicts[0].target, p("dst/a"));
        EXPECT_EQ(namesIn(p("dst")), c.names);
        EXPECT_EQ(readBytes(p("dst/a")), c.aContent);
        if (c.action == ConflictAction::KeepBoth) {
            EXPECT_EQ(readBytes(p("dst/c (2)")), "new c");
        }
    }

    // Folder onto folder: "Replace" merges and asks again for each clashing file inside; a folder
    // never replaces a file (nor the reverse): that keeps both.
    ASSERT_EQ(runShell(QStringLiteral("rm -rf '%1'/*").arg(tmp.path())), 0);
    tmp.addFile("src/f/same", "new");
    tmp.addFile("src/f/only-new", "n");
    tmp.addFile("src/g/x", "g");
    tmp.addFile("dst/f/same", "old");
    tmp.addFile("dst/f/only-old", "o");
    tmp.addFile("dst/g", "a file named g");
    auto merge = MoveFiles({p("src/f"), p("src/g")}, p("dst"));
    Asker asker;
    asker.conflictAnswers = {{ConflictAction::Replace, false}};
    asker.attach(*merge);
    merge->run();
    ASSERT_EQ(asker.conflicts.size(), 3u);
    EXPECT_TRUE(asker.conflicts[0].sourceIsFolder && asker.conflicts[0].targetIsFolder);
    EXPECT_FALSE(asker.conflicts[2].canReplace);
    EXPECT_EQ(namesIn(p("dst/f")), (std::vector<QByteArray>{"only-new", "only-old", "same"}));
    EXPECT_EQ(readBytes(p("dst/f/same")), "new");
    EXPECT_EQ(readBytes(p("dst/g")), "a file named g");
    EXPECT_EQ(readBytes(p("dst/g (2)/x")), "g");
    EXPECT_TRUE(namesIn(p("src")).empty());
    // A merge meets more items than the rename it was counted as: the count never passes the total.
    EXPECT_LE(merge->progress().doneItems, merge->progress().totalItems);
}

TEST_F(FileOps, SpecialAndVanishingFilesAreSkippedWithAMessage)
{
    tmp.addFolder("dst");
    tmp.addFolder("src");
    writePattern(p("src/a-big"), 32 << 20);
    tmp.addFile("src/b-vanishes", "gone soon");
    tmp.addFile("src/c-stays", "c");
    ASSERT_EQ(::mkfifo(p("src/fifo").constData(), 0644), 0);

    auto op = CopyFiles({p("src/a-big"), p("src/fifo"), p("src/b-vanishes"), p("src/c-stays")}, p("dst"));
    op->setProgressInterval(0);
    op->setProgressHandler([&](const FileOpProgress& pr) {
        if (pr.currentFile == p("src/a-big") && pr.doneBytes > 0)
            ::unlink(p("src/b-vanishes").constData());
    });
    Asker asker;
    asker.attach(*op);  // no scripted answer: skip
    op->run();
    ASSERT_EQ(asker.errors.size(), 1u);
    EXPECT_EQ(asker.errors[0].path, p("src/b-vanishes"));
    EXPECT_EQ(asker.errors[0].errorCode, ENOENT);
    EXPECT_EQ(namesIn(p("dst")), (std::vector<QByteArray>{"a-big", "c-stays"}));
    ASSERT_EQ(op->result().skipped.size(), 2u);
    EXPECT_TRUE(op->result().skipped[0].message.contains(QStringLiteral("special file")));
    EXPECT_EQ(op->result().status, FileOpResult::Completed);
}

TEST_F(FileOps, DeleteForGood)
{
    tmp.addFile("doomed/sub/f", "x");
    tmp.addSymlink("doomed/link", "/");
    tmp.addFile("keep", "k");
    auto op = DeleteFiles({p("doomed")});
    op->run();
    EXPECT_EQ(op->result().status, FileOpResult::Completed);
    EXPECT_EQ(namesIn(p("")), std::vector<QByteArray>{"keep"});
    EXPECT_EQ(op->progress().doneItems, 4);

    auto root = DeleteFiles({p("keep"), "/"});
    root->run();
    EXPECT_EQ(root->result().status, FileOpResult::Refused);
    EXPECT_TRUE(exists(p("keep")));
}

TEST_F(FileOps, RunsOnAWorkerThreadWithPolledProgress)
{
    for (int i = 0; i < 200; ++i)
        tmp.addFile("src/f" + QByteArray::number(i), QByteArray(1000, 'x'));
    tmp.addFolder("dst");
    auto op = CopyFiles({p("src")}, p("dst"));
    QSignalSpy finished(op.get(), &FileOperation::finished);
    op->start();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_TRUE(op->wait(10000));
    EXPECT_TRUE(op->isFinished());
    const FileOpProgress pr = op->progress();
    EXPECT_EQ(pr.totalItems, 201);
    EXPECT_EQ(pr.doneItems, 201);
    EXPECT_EQ(pr.totalBytes, 200000);
    EXPECT_EQ(pr.doneBytes, 200000);
    EXPECT_EQ(namesIn(p("dst/src")).size(), 200u);
}

TEST_F(FileOps, QuestionsAreAskedOnTheUserInterfaceThreadAndNotAfterACancel)
{
    tmp.addFile("src/a", "new");
    tmp.addFile("dst/a", "old");
    // The worker waits while the question is answered here.
    auto op = CopyFiles({p("src/a")}, p("dst"));
    bool onUiThread = false;
    op->setConflictHandler([&](const ConflictQuestion&) {
        onUiThread = QThread::currentThread() == qApp->thread();
        return ConflictAnswer{ConflictAction::Replace, false};
    });
    QSignalSpy finished(op.get(), &FileOperation::finished);
    op->start();
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_TRUE(onUiThread);
    EXPECT_EQ(readBytes(p("dst/a")), "new");
    EXPECT_EQ(op->result().status, FileOpResult::Completed);

    // Cancelled just before the question: it is never shown and nothing is replaced or skipped.
    tmp.addFile("src/a", "newer");
    auto cancelled = CopyFiles({p("src/a")}, p("dst"));
    bool asked = false;
    cancelled->setConflictHandler([&](const ConflictQuestion&) {
        asked = true;
        return ConflictAnswer{ConflictAction::Replace, false};
    });
    cancelled->setProgressInterval(0);
    cancelled->setProgressHandler([&](const FileOpProgress& pr) {
        if (!pr.scanning && pr.currentFile == p("src/a"))
            cancelled->cancel();
    });
    QSignalSpy cancelledFinished(cancelled.get(), &FileOperation::finished);
    cancelled->start();
    ASSERT_TRUE(cancelledFinished.wait(30000));
    EXPECT_FALSE(asked);
    EXPECT_EQ(readBytes(p("dst/a")), "new");
    EXPECT_EQ(cancelled->result().status, FileOpResult::Cancelled);
    EXPECT_TRUE(cancelled->result().skipped.empty());
}

namespace {

// An extended attribute's value; "<none>" when the item has none by that name.
QByteArray xattrOf(const QByteArray& path, const char* name)
{
    char value[4096];
    const ssize_t n = ::lgetxattr(path.constData(), name, value, sizeof value);
    return n < 0 ? QByteArray("<none>") : QByteArray(value, n);
}

void setXattr(const QByteArray& path, const char* name, const QByteArray& value)
{
    ASSERT_EQ(::lsetxattr(path.constData(), name, value.constData(), size_t(value.size()), 0), 0)
        << path.toStdString() << ": " << std::strerror(errno);
}

// Whether setfacl (from the acl package) can give ACLs to folders on the volume of `dir`.
bool aclsWork(const QByteArray& dir)
{
    const QString probe = QString::fromLocal8Bit(dir) + QStringLiteral("/acl-probe");
    const bool ok = runShell(QStringLiteral("mkdir '%1' && setfacl -m u:nobody:rx '%1' 2>/dev/null").arg(probe)) == 0;
    runShell(QStringLiteral("rmdir '%1'").arg(probe));
    return ok;
}

} // namespace

TEST_F(FileOps, FoldersKeepTheirExtendedAttributesAndAcls)
{
    Tmpfs other("16m");  // tmpfs keeps user.* attributes and ACLs
    const bool acls = aclsWork(tmp.pathBytes()) && aclsWork(other.path());
    if (!acls)
        ADD_FAILURE() << "setfacl is missing (package acl) or a volume has no ACLs";
    struct Case {
        const char* what;
        bool move;
        bool acrossVolumes;
    };
    for (const Case c : {Case{"copy", false, false}, Case{"copy across", false, true}, Case{"move across", true, true}}) {
        SCOPED_TRACE(c.what);
        tmp.addFile("src/tree/sub/f", "data");
        const QByteArray tree = p("src/tree");
        setXattr(tree, "user.comment", "the tree");
        setXattr(tree + "/sub", "user.tag", QByteArray("\0\1binary", 8));
        setXattr(tree + "/sub/f", "user.file", "a file");
        ::chmod((tree + "/sub").constData(), 0750);
        if (acls) {
            ASSERT_EQ(runShell(QStringLiteral("setfacl -m u:nobody:rx -d -m u:nobody:rwx '%1/sub'").arg(QString::fromLocal8Bit(tree))), 0);
        }
        const QByteArray subAcl = xattrOf(tree + "/sub", "system.posix_acl_access");
        const QByteArray subDefault = xattrOf(tree + "/sub", "system.posix_acl_default");
        const mode_t subMode = statOf(tree + "/sub").st_mode & 07777;
        const QByteArray target = c.acrossVolumes ? other.path() + "/dst" : p("dst");
        ::mkdir(target.constData(), 0755);

        auto op = c.move ? MoveFiles({tree}, target) : CopyFiles({tree}, target);
        op->run();
        ASSERT_EQ(op->result().status, FileOpResult::Completed);
        EXPECT_TRUE(op->result().skipped.empty());
        const QByteArray copy = target + "/tree";
        EXPECT_EQ(xattrOf(copy, "user.comment"), "the tree");
        EXPECT_EQ(xattrOf(copy + "/sub", "user.tag"), QByteArray("\0\1binary", 8));
        EXPECT_EQ(xattrOf(copy + "/sub/f", "user.file"), "a file");
        EXPECT_EQ(statOf(copy + "/sub").st_mode & 07777, subMode);
        if (acls) {
            EXPECT_NE(subAcl, "<none>");
            EXPECT_EQ(xattrOf(copy + "/sub", "system.posix_acl_access"), subAcl);
            EXPECT_EQ(xattrOf(copy + "/sub", "system.posix_acl_default"), subDefault);
        }
        EXPECT_EQ(exists(tree), !c.move);
        ASSERT_EQ(runShell(QStringLiteral("rm -rf '%1' '%2'").arg(QString::fromLocal8Bit(p("src")), QString::fromLocal8Bit(target))), 0);
    }
}

TEST_F(FileOps, ReadOnlyItemsKeepTheirAttributesWhenTheirOwnerCopiesThem)
{
    // A user (not root) may set attributes only on what it can write: they go on before the mode.
    tmp.addFile("tree/inner.txt", "in");
    tmp.addFile("top.txt", "top");
    tmp.addFolder("writable");
    ::chmod(tmp.pathBytes().constData(), 0755);
    setXattr(p("tree"), "user.folder", "f");
    setXattr(p("tree/inner.txt"), "user.inner", "i");
    setXattr(p("top.txt"), "user.top", "t");
    ASSERT_EQ(runShell(QStringLiteral("chown -R nobody:nogroup '%1' '%2' '%3'")
                           .arg(QString::fromLocal8Bit(p("tree")), QString::fromLocal8Bit(p("top.txt")),
                                QString::fromLocal8Bit(p("writable")))),
              0);
    ::chmod(p("tree/inner.txt").constData(), 0444);
    ::chmod(p("top.txt").constData(), 0444);
    ::chmod(p("tree").constData(), 0555);

    for (const QByteArray& source : {p("tree"), p("top.txt")}) {
        QProcess helper;
        helper.start(QStringLiteral("setpriv"), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", FILEOPS_HELPER,
                                                 "copy", QString::fromLocal8Bit(source), QString::fromLocal8Bit(p("writable"))});
        ASSERT_TRUE(helper.waitForFinished(30000));
        EXPECT_EQ(helper.readAllStandardOutput(), "status\t0\n");
    }
    EXPECT_EQ(xattrOf(p("writable/tree"), "user.folder"), "f");
    EXPECT_EQ(xattrOf(p("writable/tree/inner.txt"), "user.inner"), "i");
    EXPECT_EQ(xattrOf(p("writable/top.txt"), "user.top"), "t");
    EXPECT_EQ(statOf(p("writable/tree")).st_mode & 07777, 0555u);
    EXPECT_EQ(statOf(p("writable/tree/inner.txt")).st_mode & 07777, 0444u);
    EXPECT_EQ(statOf(p("writable/top.txt")).st_mode & 07777, 0444u);
}

TEST_F(FileOps, AFileThatShrinksWhileCopiedIsLeftOutNotCopiedShort)
{
    // The file is cut short between two blocks of its copy, from the engine's own progress report.
    struct Case {
        const char* what;
        bool move;
        bool inFolder;  // inside a new folder the copy is written under its final name at once
        bool sparse;    // copied run by run, the holes kept
    };
    const Case cases[] = {
        {"copy", false, false, false},
        {"copy in a folder", false, true, false},
        {"sparse copy", false, false, true},
        {"move across volumes", true, false, false},
        {"move of a folder across volumes", true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tmpfs other("128m");
        tmp.addFile("src/keep.txt", "kept");
        const QByteArray file = p("src/big");
        if (c.sparse) {
            writePattern(file, 1 << 20);
            ASSERT_EQ(::truncate(file.constData(), 31 << 20), 0);
            int fd = ::open(file.constData(), O_WRONLY | O_APPEND);
            ASSERT_EQ(::write(fd, "tail", 4), 4);
            ::close(fd);
            ASSERT_LT(statOf(file).st_blocks * 512, statOf(file).st_size);
        } else {
            writePattern(file, qint64(32) << 20);
        }
        const QByteArray target = c.move ? other.path() : p("dst");
        ::mkdir(target.constData(), 0755);
        const std::vector<QByteArray> sources = c.inFolder ? std::vector<QByteArray>{p("src")}
                                                           : std::vector<QByteArray>{file, p("src/keep.txt")};
        auto op = c.move ? MoveFiles(sources, target) : CopyFiles(sources, target);
        op->setProgressInterval(0);
        bool cut = false;
        op->setProgressHandler([&](const FileOpProgress& pr) {
            if (!cut && pr.currentFile == file && pr.doneBytes >= (1 << 20)) {
                cut = true;
                ASSERT_EQ(::truncate(file.constData(), 300000), 0);
            }
        });
        op->run();
        EXPECT_TRUE(cut);
        EXPECT_EQ(op->result().status, FileOpResult::Completed);
        EXPECT_EQ(op->result().skipped.size(), 1u);
        if (!op->result().skipped.empty()) {
            EXPECT_EQ(op->result().skipped[0].path, file);
            EXPECT_EQ(op->result().skipped[0].message,
                      c.move ? QStringLiteral("\"big\" changed while it was moved; the original was kept.")
                             : QStringLiteral("\"big\" changed while it was copied; the incomplete copy was removed."));
        }
        // Nothing short under the name, nothing half-done beside it; the rest is there.
        const QByteArray placed = c.inFolder ? target + "/src" : target;
        EXPECT_EQ(namesIn(placed), std::vector<QByteArray>{"keep.txt"});
        EXPECT_EQ(readBytes(placed + "/keep.txt"), "kept");
        // A move keeps the original, short as it now is.
        EXPECT_EQ(statOf(file).st_size, 300000);
        EXPECT_EQ(namesIn(p("src")), c.move ? std::vector<QByteArray>{"big"} : (std::vector<QByteArray>{"big", "keep.txt"}));
        ASSERT_EQ(runShell(QStringLiteral("rm -rf '%1' '%2'").arg(QString::fromLocal8Bit(p("src")), QString::fromLocal8Bit(p("dst")))), 0);
    }
}
