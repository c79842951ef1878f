#include "platform/Clipboard.h"
#include "platform/FileOperation.h"
#include "platform/IdListFormat.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace corvane::platform;

TEST(Clipboard, CidaRoundTripsAndRejectsDamage)
{
    const PItemIDList folder = MakeIdItem("Dhome");
    const std::vector<PItemIDList> rels{MakeIdItem("Fa.txt"), MakeIdItem("Db")};
    const QByteArray cida = MakeCida(folder, rels);
    PItemIDList f;
    std::vector<PItemIDList> r;
    ASSERT_TRUE(ParseCida(cida, &f, &r));
    EXPECT_EQ(f, folder);
    EXPECT_EQ(r, rels);
    // Every truncation and a count far past the data are refused, never read past the end.
    for (qsizetype n = 0; n < cida.size(); ++n)
        EXPECT_FALSE(ParseCida(cida.left(n), &f, &r)) << n;
    QByteArray huge = cida;
    huge[3] = char(0x7f);
    EXPECT_FALSE(ParseCida(huge, &f, &r));
}

TEST(Clipboard, FileUrisKeepEveryByte)
{
    const QByteArray odd("/tmp/a b/\xff%#?\xc3\xa9.txt");
    EXPECT_EQ(FileUriToPath(PathToFileUri(odd)), odd);
    EXPECT_EQ(FileUriToPath("file://localhost/x/y"), QByteArray("/x/y"));
    EXPECT_TRUE(FileUriToPath("http://host/x").isEmpty());
    EXPECT_TRUE(FileUriToPath("file://otherhost/x").isEmpty());
    EXPECT_TRUE(FileUriToPath("file:///a%00b").isEmpty());
}

TEST(Clipboard, FileUrisNameEntriesByTheirOwnNames)
{
    // "." and ".." are resolved as the URI standard does, so no path ends in one: such a name
    // would become the name of the pasted item. Only this machine's files are taken.
    const struct {
        QByteArrayView uri;
        QByteArray path;
    } cases[] = {
        {"file:///tmp/a/..", "/tmp"},
        {"file:///tmp/a/../", "/tmp"},
        {"file:///tmp/a/.", "/tmp/a"},
        {"file:///tmp/./a/../b", "/tmp/b"},
        {"file:///tmp/a/%2E%2E", "/tmp"},
        {"file:///tmp/a/%2e", "/tmp/a"},
        {"file:///tmp//a/", "/tmp/a"},
        {"file:///tmp/a/..b", "/tmp/a/..b"},
        {"file:///tmp/.hidden", "/tmp/.hidden"},
        {"file:///../../etc", "/etc"},
        {"file:///..", "/"},
        {"file://localhost/tmp/a/..", "/tmp"},
        {"file://LocalHost/tmp/a", "/tmp/a"},
        {"file:///tmp/a%2F..%2Fb", ""},
        {"file://localhost.example/tmp/a", ""},
        {"file://user@localhost/tmp/a", ""},
        {"file://localhost:80/tmp/a", ""},
        {"file://otherhost/tmp/a", ""},
        {"file://otherhost//tmp/a", ""},
        {"file://localhost", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileUriToPath(c.uri), c.path) << c.uri.toByteArray().toStdString();
}

TEST(Clipboard, AFolderPastedFromAParentUriGoesInUnderItsOwnName)
{
    // Another program offers ".../src/inner/..": that is "src", pasted as "src". A target named
    // ".." would be the target's parent, and "Replace" would pour "src" into it.
    corvane::test::TempDir dir{"src/inner/f", "dst/"};
    const QByteArray root = dir.pathBytes();
    for (const bool gnome : {false, true}) {
        SCOPED_TRACE(gnome);
        QMimeData data;
        const QByteArray uri = PathToFileUri(root + "/src/inner") + "/..";
        if (gnome)
            data.setData(QString::fromLatin1(MimeGnomeCopiedFiles), "copy\n" + uri);
        else
            data.setData(QString::fromLatin1(MimeUriList), uri + "\r\n");
        ClipboardFiles files;
        ASSERT_TRUE(ReadClipboardFiles(&data, &files));
        ASSERT_EQ(files.paths, std::vector<QByteArray>{root + "/src"});
        auto op = CopyFiles(files.paths, root + "/dst");
        op->setConflictHandler([](const ConflictQuestion&) { return ConflictAnswer{ConflictAction::Replace, true}; });
        op->run();
        EXPECT_EQ(op->result().status, FileOpResult::Completed);
        EXPECT_EQ(op->result().created, std::vector<QByteArray>{root + "/dst/src"});
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"dst", "src"}));
        EXPECT_TRUE(QFileInfo::exists(dir.filePath("dst/src/inner/f")));
        ASSERT_TRUE(QDir(dir.filePath("dst/src")).removeRecursively());
    }
}

TEST(Clipboard, ReadsWhatOtherFileManagersWrite)
{
    struct Case {
        const char* name;
        const char* mime;
        QByteArray data;
        const char* kdeMark;
        bool cut;
        std::vector<QByteArray> paths;
    };
    const Case cases[] = {
        {"gnome copy", MimeGnomeCopiedFiles, "copy\nfile:///tmp/a\nfile:///tmp/b%20c", nullptr, false, {"/tmp/a", "/tmp/b c"}},
        {"gnome cut", MimeGnomeCopiedFiles, "cut\nfile:///tmp/a\n", nullptr, true, {"/tmp/a"}},
        {"kde cut", MimeUriList, "file:///tmp/a\r\nfile:///tmp/b\r\n", "1", true, {"/tmp/a", "/tmp/b"}},
        {"uri-list comment", MimeUriList, "# comment\r\nfile:///tmp/a\r\nhttp://x/y\r\n", nullptr, false, {"/tmp/a"}},
        {"gnome garbage", MimeGnomeCopiedFiles, "move\nfile:///tmp/a", nullptr, false, {}},
        {"gnome dot segments", MimeGnomeCopiedFiles, "copy\nfile:///tmp/a/..\nfile:///tmp/b/.", nullptr, false, {"/tmp", "/tmp/b"}},
        {"kde dot segments", MimeUriList, "file:///tmp/a/b/../..\r\nfile://otherhost/tmp/c\r\n", "1", true, {"/tmp"}},
        {"only other hosts", MimeUriList, "file://otherhost/tmp/c\r\nfile://h/d\r\n", nullptr, false, {}},
    };
    for (const Case& c : cases) {
        QMimeData data;
        data.setData(QString::fromLatin1(c.mime), c.data);
        if (c.kdeMark)
            data.setData(QString::fromLatin1(MimeKdeCutSelection), c.kdeMark);
        ClipboardFiles files;
        const bool ok = ReadClipboardFiles(&data, &files);
        EXPECT_EQ(ok, !c.paths.empty()) << c.name;
        if (ok) {
            EXPECT_EQ(files.paths, c.paths) << c.name;
            EXPECT_EQ(files.cut, c.cut) << c.name;
        }
    }
}

TEST(Clipboard, WritesEveryFormat)
{
    ClipboardFiles files{{"/tmp/x y"}, true};
    auto data = MakeClipboardData(files, MakeIdItem("Dtmp"), {MakeIdItem("Fx y")});
    EXPECT_TRUE(data->hasFormat(QString::fromLatin1(MimeIdListArray)));
    EXPECT_EQ(data->data(QString::fromLatin1(MimeGnomeCopiedFiles)), QByteArray("cut\nfile:///tmp/x%20y"));
    EXPECT_EQ(data->data(QString::fromLatin1(MimeKdeCutSelection)), QByteArray("1"));
    EXPECT_EQ(data->data(QString::fromLatin1(MimeUriList)), QByteArray("file:///tmp/x%20y\r\n"));
    EXPECT_EQ(data->text(), QStringLiteral("/tmp/x y"));
}
