#include "platform/Clipboard.h"
#include "platform/IdListFormat.h"

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
