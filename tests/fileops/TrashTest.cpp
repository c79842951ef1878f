#include "tests/support/FileOpsTestSupport.h"
#include "platform/Trash.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using namespace corvane::platform;
using namespace corvane::test;

namespace {

class TrashTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", tmp.pathBytes() + "/xdg");
        home = tmp.pathBytes() + "/xdg/Trash";
    }
    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", m_oldDataHome);
        clearFolder(tmp.pathBytes());
    }

    QByteArray p(const QByteArray& rel) const { return tmp.pathBytes() + '/' + rel; }
    static QByteArray uid() { return QByteArray::number(qulonglong(::geteuid())); }

    static FileOpResult runJob(std::unique_ptr<FileOperation> op, Asker* asker = nullptr)
    {
        if (asker)
            asker->attach(*op);
        op->run();
        return op->result();
    }

    // What the home trash of this test holds: the trashes of other volumes may hold anything.
    std::vector<TrashEntry> homeEntries() const
    {
        std::vector<TrashEntry> entries = ListTrash();
        std::erase_if(entries, [&](const TrashEntry& e) { return e.trashFolder != home; });
        return entries;
    }

    static const TrashEntry* find(const std::vector<TrashEntry>& entries, const QByteArray& original)
    {
        auto it = std::find_if(entries.begin(), entries.end(), [&](const TrashEntry& e) { return e.originalPath == original; });
        return it == entries.end() ? nullptr : &*it;
    }

    TempDir tmp;
    QByteArray home;

private:
    QByteArray m_oldDataHome;
};

} // namespace

TEST(TrashInfo, FormatAndParse)
{
    const QDateTime when(QDate(2024, 2, 29), QTime(23, 5, 9));
    const QByteArray path = "/home/u/caf\xe9 100%/a&b=c.txt";
    const QByteArray text = FormatTrashInfo(path, when);
    EXPECT_EQ(text, "[Trash Info]\nPath=/home/u/caf%E9%20100%25/a%26b%3Dc.txt\nDeletionDate=2024-02-29T23:05:09\n");
    QByteArray back;
    QDateTime date;
    ASSERT_TRUE(ParseTrashInfo(text, &back, &date));
    EXPECT_EQ(back, path);
    EXPECT_EQ(date, when);

    struct Case {
        QByteArray text;
        bool ok;
        QByteArray path;
    };
    const Case cases[] = {
        {"# written elsewhere\r\n[Trash Info]\r\nDeletionDate = 2020-01-01T00:00:00\r\nPath = rel/x%41\r\n", true, "rel/xA"},
        {"[Trash Info]\nPath=/a\n[Other]\nPath=/b\n", true, "/a"},
        {"[Other]\nPath=/a\n[Trash Info]\nPath=/b\n", false, {}},
        {"Path=/a\n", false, {}},
        {"[Trash Info]\nPath=\n", false, {}},
        {"[Trash Info]\nPath=/a%00b\n", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        QByteArray value;
        EXPECT_EQ(ParseTrashInfo(c.text, &value, &date), c.ok) << c.text.toStdString();
        if (c.ok) {
            EXPECT_EQ(value, c.path);
        }
    }
}

TEST_F(TrashTest, TrashWritesInfoAndRestoreBringsItBack)
{
    const QByteArray name = "caf\xe9 \xff.txt";
    tmp.addFile("docs/" + name, "precious");
    tmp.addFile("docs/folder/inner", "in");
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);

    FileOpResult r = runJob(TrashFiles({p("docs/" + name), p("docs/folder")}));
    ASSERT_EQ(r.status, FileOpResult::Completed);
    EXPECT_TRUE(r.skipped.empty());
    EXPECT_TRUE(namesIn(p("docs")).empty());
    EXPECT_EQ(readBytes(home + "/files/" + name), "precious");
    EXPECT_EQ(readBytes(home + "/files/folder/inner"), "in");
    const QByteArray info = readBytes(home + "/info/" + name + ".trashinfo");
    EXPECT_TRUE(info.startsWith("[Trash Info]\nPath=" + p("docs/").toPercentEncoding("/") + "caf%E9%20%FF.txt\nDeletionDate="))
        << info.toStdString();
    EXPECT_EQ(statOf(home + "/info/" + name + ".trashinfo").st_mode & 0777, 0600u);

    std::vector<TrashEntry> entries = homeEntries();
    ASSERT_EQ(entries.size(), 2u);
    const TrashEntry* file = find(entries, p("docs/" + name));
    const TrashEntry* folder = find(entries, p("docs/folder"));
    ASSERT_TRUE(file && folder);
    EXPECT_EQ(file->name, name);
    EXPECT_EQ(file->size, 8);
    EXPECT_FALSE(file->isFolder);
    EXPECT_TRUE(folder->isFolder);
    EXPECT_EQ(folder->size, 2);
    EXPECT_GE(file->deletionDate, before);
    EXPECT_LE(file->deletionDate, QDateTime::currentDateTime());

    // The original folder is gone too: restoring makes it again.
    ASSERT_EQ(::rmdir(p("docs").constData()), 0);
    r = runJob(RestoreFromTrash(entries));
    EXPECT_EQ(r.status, FileOpResult::Completed);
    EXPECT_EQ(readBytes(p("docs/" + name)), "precious");
    EXPECT_EQ(readBytes(p("docs/folder/inner")), "in");
    EXPECT_TRUE(homeEntries().empty());
    EXPECT_TRUE(namesIn(home + "/info").empty());
    EXPECT_TRUE(namesIn(home + "/files").empty());
}

TEST_F(TrashTest, ClashesGetUniqueNamesInTheTrashAndAreAskedOnRestore)
{
    tmp.addFile("one/a.txt", "first");
    tmp.addFile("two/a.txt", "second");
    const QByteArray longName = QByteArray(246, 'n') + ".txt";
    tmp.addFile("one/" + longName, "long");
    ASSERT_EQ(runJob(TrashFiles({p("one/a.txt"), p("two/a.txt"), p("one/" + longName)})).status, FileOpResult::Completed);
    EXPECT_EQ(namesIn(home + "/files").size(), 3u);
    EXPECT_TRUE(exists(home + "/files/a.txt"));
    EXPECT_TRUE(exists(home + "/files/a (2).txt"));

    std::vector<TrashEntry> entries = homeEntries();
    ASSERT_EQ(entries.size(), 3u);
    // The long name was shortened in the trash but comes back whole.
    const TrashEntry* lng = find(entries, p("one/" + longName));
    ASSERT_TRUE(lng);
    EXPECT_LT(lng->name.size(), longName.size());

    tmp.addFile("one/a.txt", "newer");
    tmp.addFile("two/a.txt", "newer");
    Asker asker;
    asker.conflictAnswers = {{ConflictAction::KeepBoth, false}, {ConflictAction::Skip, false}};
    FileOpResult r = runJob(RestoreFromTrash(entries), &asker);
    ASSERT_EQ(asker.conflicts.size(), 2u);
    EXPECT_EQ(r.status, FileOpResult::Completed);
    EXPECT_EQ(readBytes(p("one/" + longName)), "long");
    // One clash kept both, the other was skipped and stays in the trash with its info.
    const bool oneKept = exists(p("one/a (2).txt"));
    EXPECT_NE(oneKept, exists(p("two/a (2).txt")));
    std::vector<TrashEntry> left = homeEntries();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].originalPath, oneKept ? p("two/a.txt") : p("one/a.txt"));
}

TEST_F(TrashTest, OtherVolumesUseTheirOwnTrashOrReportThatThereIsNone)
{
    Tmpfs vol("1m");
    const QByteArray top = vol.path();
    auto trashOne = [&](const QByteArray& rel) {
        writeBytes(top + '/' + rel, "on the volume");
        return runJob(TrashFiles({top + '/' + rel}));
    };

    // No .Trash: $topdir/.Trash-$uid, with a relative Path.
    ASSERT_EQ(::mkdir((top + "/dir").constData(), 0755), 0);
    ASSERT_EQ(trashOne("dir/x").status, FileOpResult::Completed);
    const QByteArray own = top + "/.Trash-" + uid();
    EXPECT_EQ(readBytes(own + "/files/x"), "on the volume");
    EXPECT_TRUE(readBytes(own + "/info/x.trashinfo").contains("\nPath=dir/x\n"));
    EXPECT_FALSE(exists(home + "/files/x"));

    // A sticky .Trash: $topdir/.Trash/$uid.
    ASSERT_EQ(::mkdir((top + "/.Trash").constData(), 01777), 0);
    ::chmod((top + "/.Trash").constData(), 01777);
    ASSERT_EQ(trashOne("y").status, FileOpResult::Completed);
    EXPECT_EQ(readBytes(top + "/.Trash/" + uid() + "/files/y"), "on the volume");

    std::vector<TrashEntry> entries = ListTrash();
    ASSERT_TRUE(find(entries, top + "/dir/x"));
    ASSERT_TRUE(find(entries, top + "/y"));
    ASSERT_EQ(runJob(RestoreFromTrash({*find(entries, top + "/dir/x")})).status, FileOpResult::Completed);
    EXPECT_EQ(readBytes(top + "/dir/x"), "on the volume");

    // A .Trash that is not sticky, or is a link, is not used; with .Trash-$uid taken by a file
    // there is no trash at all and the item stays where it is.
    ASSERT_EQ(runShell(QStringLiteral("rm -rf '%1'/.Trash*").arg(QString::fromLocal8Bit(top))), 0);
    ASSERT_EQ(::mkdir((top + "/sticky").constData(), 01777), 0);
    ::chmod((top + "/sticky").constData(), 01777);
    ASSERT_EQ(::symlink("sticky", (top + "/.Trash").constData()), 0);
    writeBytes(own, "not a folder");
    FileOpResult r = trashOne("z");
    EXPECT_EQ(r.noTrash, std::vector<QByteArray>{top + "/z"});
    ASSERT_EQ(r.skipped.size(), 1u);
    EXPECT_TRUE(r.skipped[0].message.contains(QStringLiteral("has no trash")));
    EXPECT_EQ(readBytes(top + "/z"), "on the volume");
    EXPECT_TRUE(namesIn(top + "/sticky").empty());
    EXPECT_TRUE(TrashFolderFor(top + "/z").isEmpty());
}

TEST_F(TrashTest, InfoFilesThatPointOutsideAreNotRestored)
{
    Tmpfs vol("1m");
    const QByteArray trash = vol.path() + "/.Trash-" + uid();
    for (const char* d : {"", "/files", "/info"})
        ASSERT_EQ(::mkdir((trash + d).constData(), 0700), 0);
    const QDateTime now = QDateTime::currentDateTime();
    struct Case {
        const char* name;
        QByteArray path;
        QByteArray original;
    };
    const Case cases[] = {
        {"good", "sub/good", vol.path() + "/sub/good"},
        {"dots", "../../etc/evil", {}},
        {"abs", "/etc/evil", {}},
        {"inside", vol.path() + "/abs-inside", vol.path() + "/abs-inside"},
    };
    for (const Case& c : cases) {
        writeBytes(trash + "/files/" + c.name, c.name);
        writeBytes(trash + "/info/" + c.name + ".trashinfo", FormatTrashInfo(c.path, now));
    }
    writeBytes(trash + "/info/orphan.trashinfo", FormatTrashInfo("orphan", now));

    std::vector<TrashEntry> entries = ListTrash();
    std::erase_if(entries, [&](const TrashEntry& e) { return e.trashFolder != trash; });
    ASSERT_EQ(entries.size(), 4u);
    for (const Case& c : cases) {
        auto e = std::find_if(entries.begin(), entries.end(), [&](const TrashEntry& x) { return x.name == c.name; });
        ASSERT_NE(e, entries.end());
        EXPECT_EQ(e->originalPath, c.original) << c.name;
    }
    FileOpResult r = runJob(RestoreFromTrash(entries));
    EXPECT_EQ(r.skipped.size(), 2u);
    EXPECT_EQ(readBytes(vol.path() + "/sub/good"), "good");
    EXPECT_TRUE(exists(trash + "/files/dots"));
    EXPECT_FALSE(exists("/etc/evil"));
}

TEST_F(TrashTest, DeleteFromTrashAndEmptyIt)
{
    tmp.addFile("a", "a");
    tmp.addFile("b", "b");
    tmp.addFile("ro/inner/f", "f");
    ASSERT_EQ(runJob(TrashFiles({p("a"), p("b"), p("ro")})).status, FileOpResult::Completed);
    ::chmod((home + "/files/ro/inner").constData(), 0500);
    ::chmod((home + "/files/ro").constData(), 0500);

    std::vector<TrashEntry> entries = ListTrash();
    std::erase_if(entries, [&](const TrashEntry& e) { return e.originalPath != p("a"); });
    ASSERT_EQ(entries.size(), 1u);
    ASSERT_EQ(runJob(DeleteFromTrash(entries)).status, FileOpResult::Completed);
    EXPECT_EQ(namesIn(home + "/files"), (std::vector<QByteArray>{"b", "ro"}));
    EXPECT_EQ(namesIn(home + "/info"), (std::vector<QByteArray>{"b.trashinfo", "ro.trashinfo"}));

    writeBytes(home + "/info/orphan.trashinfo", FormatTrashInfo("/x", QDateTime::currentDateTime()));
    writeBytes(home + "/directorysizes", "2 0 ro\n");
    FileOpResult r = runJob(EmptyTrash());
    EXPECT_EQ(r.status, FileOpResult::Completed);
    EXPECT_TRUE(r.skipped.empty());
    EXPECT_TRUE(namesIn(home + "/files").empty());
    EXPECT_TRUE(namesIn(home + "/info").empty());
    EXPECT_FALSE(exists(home + "/directorysizes"));
    EXPECT_TRUE(ListTrash().empty());
}

TEST_F(TrashTest, WhatHoldsTheTrashOrIsInItIsNotTrashed)
{
    tmp.addFile("x", "x");
    ASSERT_EQ(runJob(TrashFiles({p("x")})).status, FileOpResult::Completed);
    FileOpResult r = runJob(TrashFiles({home + "/files/x", p("xdg")}));
    ASSERT_EQ(r.skipped.size(), 2u);
    EXPECT_TRUE(r.skipped[0].message.contains(QStringLiteral("already in the Trash")));
    EXPECT_TRUE(r.skipped[1].message.contains(QStringLiteral("holds the Trash")));
    EXPECT_TRUE(exists(home + "/files/x"));
}

// A relative Path starts from the folder that holds the trash folder ($XDG_DATA_HOME for the
// home trash, the volume's top folder for the others); an absolute one is taken as it is, as far
// as the trash may speak for it.
TEST_F(TrashTest, InfoPathsResolveAgainstTheFolderThatHoldsTheirTrash)
{
    Tmpfs vol("1m");
    const QByteArray top = vol.path();
    const QByteArray xdg = tmp.pathBytes() + "/xdg";
    ASSERT_EQ(::mkdir((top + "/.Trash").constData(), 01777), 0);
    ::chmod((top + "/.Trash").constData(), 01777);
    const QByteArray shared = top + "/.Trash/" + uid();
    const QByteArray own = top + "/.Trash-" + uid();
    for (const QByteArray& root : {home, shared, own}) {
        for (const char* d : {"/files", "/info"})
            ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(root + d))) << root.toStdString();
    }
    struct Case {
        QByteArray root;
        QByteArray name;
        QByteArray pathValue;
        QByteArray original;  // empty: no usable origin
    };
    const Case cases[] = {
        {home, "home-rel", "from-home/rel", xdg + "/from-home/rel"},
        {home, "home-abs", p("elsewhere/abs"), p("elsewhere/abs")},
        {own, "own-rel", "sub/rel", top + "/sub/rel"},
        {own, "own-abs", top + "/sub/abs", top + "/sub/abs"},
        {own, "own-out", p("outside"), {}},
        {shared, "shared-rel", "deep/er/rel", top + "/deep/er/rel"},
        {shared, "shared-abs", top + "/abs", top + "/abs"},
        {shared, "shared-out", p("outside"), {}},
    };
    const QDateTime now = QDateTime::currentDateTime();
    for (const Case& c : cases) {
        writeBytes(c.root + "/files/" + c.name, c.name);
        writeBytes(c.root + "/info/" + c.name + ".trashinfo", FormatTrashInfo(c.pathValue, now));
    }

    std::vector<TrashEntry> entries = ListTrash();
    std::vector<TrashEntry> mine;
    for (const Case& c : cases) {
        auto e = std::find_if(entries.begin(), entries.end(), [&](const TrashEntry& x) { return x.trashFolder == c.root && x.name == c.name; });
        ASSERT_NE(e, entries.end()) << c.name.toStdString();
        EXPECT_EQ(e->originalPath, c.original) << c.name.toStdString();
        mine.push_back(*e);
    }
    FileOpResult r = runJob(RestoreFromTrash(mine));
    EXPECT_EQ(r.skipped.size(), 2u);
    for (const Case& c : cases) {
        if (c.original.isEmpty())
            EXPECT_EQ(readBytes(c.root + "/files/" + c.name), c.name);
        else
            EXPECT_EQ(readBytes(c.original), c.name) << c.name.toStdString();
    }
}

// A system volume's trash would never be shown or emptied by the Trash: nothing goes there.
TEST_F(TrashTest, SystemVolumesGetNoTrash)
{
    char templ[] = "/run/corvane-trash-XXXXXX";
    ASSERT_TRUE(::mkdtemp(templ));
    const QByteArray top = templ;
    {
        TmpfsMount vol(top, "1m");
        ASSERT_TRUE(vol.ok());
        writeBytes(top + "/x", "system");
        FileOpResult r = runJob(TrashFiles({top + "/x"}));
        EXPECT_EQ(r.noTrash, std::vector<QByteArray>{top + "/x"});
        EXPECT_EQ(readBytes(top + "/x"), "system");
        EXPECT_EQ(namesIn(top), std::vector<QByteArray>{"x"});
    }
    ::rmdir(templ);
}
