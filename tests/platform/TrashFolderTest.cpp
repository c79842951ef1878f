// The Trash folder of the namespace: every trash of this user on the mounted volumes, each item
// restorable, with the columns a trash view needs.
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"
#include "platform/Namespace.h"
#include "platform/ShellVerbs.h"
#include "platform/Trash.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::platform;
using corvane::test::TempDir;
using corvane::test::TmpfsMount;

namespace {

QByteArray uid()
{
    return QByteArray::number(qulonglong(::geteuid()));
}

void write(const QByteArray& path, const QByteArray& content)
{
    QFile f(QFile::decodeName(path));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

QByteArray read(const QByteArray& path)
{
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool exists(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

FileOpResult run(std::unique_ptr<FileOperation> op)
{
    op->run();
    return op->result();
}

PItemIDList trashAbs()
{
    PItemIDList abs;
    EXPECT_EQ(SHGetSpecialFolderLocation(CSIDL_BITBUCKET, abs), S_OK);
    return abs;
}

ShellFolderPtr bindTrash()
{
    ShellFolderPtr trash;
    EXPECT_EQ(SHGetDesktopFolder()->BindToObject(trashAbs(), trash), S_OK);
    return trash;
}

struct Shown {
    PItemIDList rel;
    QByteArray path;  // where the item lies in its trash
    std::uint32_t attributes = 0;
};

// The Trash's items below `where` (the trashes of other volumes may hold anything), by the name
// it shows for them.
std::multimap<QString, Shown> listTrash(const ShellFolderPtr& trash, const QByteArray& where)
{
    std::multimap<QString, Shown> out;
    std::unique_ptr<IEnumIDList> e;
    EXPECT_EQ(trash->EnumObjects(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, e), S_OK);
    if (!e)
        return out;
    PItemIDList rel;
    while (e->Next(rel) == S_OK) {
        Shown s;
        s.rel = rel;
        s.path = PathBytesFromIdList(ConcatIdLists(trashAbs(), rel));
        if (!s.path.startsWith(where + '/'))
            continue;
        s.attributes = 0xFFFFFFFF;
        std::array<PItemIDList, 1> one{rel};
        EXPECT_EQ(trash->GetAttributesOf(one, s.attributes), S_OK);
        QString name;
        EXPECT_EQ(trash->GetDisplayNameOf(rel, SHGDN_INFOLDER, name), S_OK);
        out.emplace(name, s);
    }
    return out;
}

class TrashFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", tmp.pathBytes() + "/xdg");
        for (const char* v : {"/one", "/two"})
            ASSERT_TRUE(QDir().mkpath(tmp.path() + QLatin1String(v)));
        one = std::make_unique<TmpfsMount>(tmp.pathBytes() + "/one", "1m");
        two = std::make_unique<TmpfsMount>(tmp.pathBytes() + "/two", "1m");
        ASSERT_TRUE(one->ok() && two->ok());
    }
    void TearDown() override
    {
        one.reset();
        two.reset();
        qputenv("XDG_DATA_HOME", m_oldDataHome);
    }
    QByteArray p(const QByteArray& rel) const { return tmp.pathBytes() + '/' + rel; }

    TempDir tmp;
    std::unique_ptr<TmpfsMount> one, two;

private:
    QByteArray m_oldDataHome;
};

} // namespace

TEST_F(TrashFolder, ShowsTheTrashesOfEveryVolumeAndRestoresOrEmptiesThemAll)
{
    // One volume keeps its trash in .Trash-$uid, the other in a shared sticky .Trash.
    ASSERT_EQ(::mkdir(p("two/.Trash").constData(), 01777), 0);
    ::chmod(p("two/.Trash").constData(), 01777);
    ASSERT_TRUE(QDir().mkpath(tmp.filePath("one/docs")));
    write(p("one/docs/report.txt"), "on one");
    write(p("two/notes.txt"), "on two");
    ASSERT_EQ(run(TrashFiles({p("one/docs/report.txt"), p("two/notes.txt")})).status, FileOpResult::Completed);
    ASSERT_TRUE(exists(p("one/.Trash-" + uid() + "/files/report.txt")));
    ASSERT_TRUE(exists(p("two/.Trash/" + uid() + "/files/notes.txt")));

    ShellFolderPtr trash = bindTrash();
    ASSERT_TRUE(trash);
    std::multimap<QString, Shown> shown = listTrash(trash, tmp.pathBytes());
    ASSERT_EQ(shown.count("report.txt"), 1u);
    ASSERT_EQ(shown.count("notes.txt"), 1u);
    const Shown report = shown.find("report.txt")->second;
    const Shown notes = shown.find("notes.txt")->second;
    EXPECT_EQ(report.path, p("one/.Trash-" + uid() + "/files/report.txt"));
    EXPECT_EQ(notes.path, p("two/.Trash/" + uid() + "/files/notes.txt"));
    // What is in the trash stays there until restored: no moving out, no renaming.
    for (const Shown& s : {report, notes}) {
        EXPECT_TRUE(s.attributes & SFGAO_CANCOPY);
        EXPECT_TRUE(s.attributes & SFGAO_CANDELETE);
        EXPECT_FALSE(s.attributes & (SFGAO_CANMOVE | SFGAO_CANRENAME | SFGAO_DROPTARGET));
    }

    // The Trash describes its own columns: where each item came from and when it went.
    std::shared_ptr<IShellDetails> details;
    ASSERT_EQ(trash->CreateViewObject(details), S_OK);
    ASSERT_TRUE(details);
    QStringList headers;
    ShellDetails d;
    for (int i = 0; Succeeded(details->GetDetailsOf({}, i, d)); ++i)
        headers << d.text;
    EXPECT_EQ(headers, (QStringList{"Name", "Original Location", "Deletion Date", "Size", "Type"}));
    auto text = [&](const Shown& s, int column) {
        ShellDetails out;
        EXPECT_EQ(details->GetDetailsOf(s.rel, column, out), S_OK);
        return out.text;
    };
    EXPECT_EQ(text(report, 0), "report.txt");
    EXPECT_EQ(text(report, 1), QString::fromLocal8Bit(p("one/docs")));
    EXPECT_EQ(text(notes, 1), QString::fromLocal8Bit(p("two")));
    EXPECT_FALSE(text(notes, 2).isEmpty());
    EXPECT_EQ(text(notes, 3), "1KB");
    EXPECT_EQ(text(notes, 4), "plain text document");

    // Each item shown can be restored to where it came from.
    std::vector<TrashEntry> entries(2);
    ASSERT_TRUE(TrashEntryOf(report.path, &entries[0]));
    ASSERT_TRUE(TrashEntryOf(notes.path, &entries[1]));
    ASSERT_EQ(run(RestoreFromTrash(entries)).status, FileOpResult::Completed);
    EXPECT_EQ(read(p("one/docs/report.txt")), "on one");
    EXPECT_EQ(read(p("two/notes.txt")), "on two");
    EXPECT_TRUE(listTrash(trash, tmp.pathBytes()).empty());

    // Emptying takes from both volumes exactly what the Trash showed, an item whose info is
    // lost too.
    ASSERT_EQ(run(TrashFiles({p("one/docs/report.txt"), p("two/notes.txt")})).status, FileOpResult::Completed);
    write(p("one/.Trash-" + uid() + "/files/stray"), "no info");
    shown = listTrash(trash, tmp.pathBytes());
    EXPECT_EQ(shown.size(), 3u);
    ASSERT_EQ(shown.count("stray"), 1u);
    EXPECT_EQ(text(shown.find("stray")->second, 1), QString());
    ASSERT_EQ(run(EmptyTrash()).status, FileOpResult::Completed);
    EXPECT_TRUE(listTrash(trash, tmp.pathBytes()).empty());
    for (const QByteArray& root : {p("one/.Trash-" + uid()), p("two/.Trash/" + uid())}) {
        EXPECT_TRUE(QDir(QFile::decodeName(root + "/files")).isEmpty()) << root.toStdString();
        EXPECT_TRUE(QDir(QFile::decodeName(root + "/info")).isEmpty()) << root.toStdString();
    }
}
