#include "platform/IdListFormat.h"
#include "shellctl/ShellRecords.h"
#include "shellctl/UShellUtils.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace corvane::shellctl;
using corvane::test::TempDir;
using corvane::test::TmpfsMount;

TEST(ShellTexts, FormatSizeKB)
{
    const std::pair<qint64, const char*> cases[] = {
        {0, "0KB"}, {1, "1KB"}, {1024, "1KB"}, {1025, "2KB"}, {1024 * 1234 + 1, "1,235KB"}, {qint64(5) << 40, "5,368,709,120KB"},
    };
    for (auto [bytes, text] : cases)
        EXPECT_EQ(FormatSizeKB(bytes), text) << bytes;
}

TEST(ShellTexts, FormatStrPos)
{
    EXPECT_EQ(FormatStrPos("%2 and %1", {"a", "b"}), "b and a");
    EXPECT_EQ(FormatStrPos("", {"a"}), "");
    EXPECT_EQ(FormatStrPos("%3", {"a"}), "");
    QStringList many;
    for (int i = 0; i < 51; ++i)
        many << "x";
    EXPECT_THROW(FormatStrPos("%1", many), EShellError);
}

TEST(ShellRecords, ListDataTextsAndVolumeRoots)
{
    TempDir dir;
    dir.addFile("notes.txt", QByteArray(1500, 'x'));
    dir.addFolder("sub");
    auto folder = std::make_shared<TShListFolder>();
    ASSERT_EQ(IdListFromPath(dir.path(), folder->AbsIdList), corvane::platform::S_OK);
    ASSERT_EQ(BindToFolder(folder->AbsIdList, folder->IShf), corvane::platform::S_OK);
    PItemIDList rel;
    ASSERT_EQ(folder->IShf->ParseDisplayName("notes.txt", rel), corvane::platform::S_OK);
    TShListData file(folder, rel);
    EXPECT_EQ(file.DisplayName(), "notes.txt");
    EXPECT_EQ(file.SizeText(), "2KB");
    EXPECT_FALSE(file.ModifiedText().isEmpty());
    EXPECT_FALSE(file.IsFolder());
    EXPECT_EQ(file.FileName(), "notes.txt");
    EXPECT_EQ(file.ColumnText(0), "");
    ASSERT_EQ(folder->IShf->ParseDisplayName("sub", rel), corvane::platform::S_OK);
    TShListData sub(folder, rel);
    EXPECT_TRUE(sub.IsFolder());
    EXPECT_EQ(sub.SizeText(), "");

    // A volume root has neither size nor time; Computer is no file-system item.
    auto computer = std::make_shared<TShListFolder>();
    ASSERT_EQ(corvane::platform::SHGetSpecialFolderLocation(corvane::platform::CSIDL_DRIVES, computer->AbsIdList), corvane::platform::S_OK);
    ASSERT_EQ(BindToFolder(computer->AbsIdList, computer->IShf), corvane::platform::S_OK);
    TempDir volumes{TempDir::InMediaPlace{}, {"vol/"}};
    TmpfsMount vol(volumes.pathBytes() + "/vol", "1m");
    ASSERT_TRUE(vol.ok());
    ASSERT_EQ(computer->IShf->ParseDisplayName(volumes.filePath("vol"), rel), corvane::platform::S_OK);
    TShListData root(computer, rel);
    EXPECT_EQ(root.Path(), volumes.filePath("vol"));
    EXPECT_EQ(root.SizeText(), "");
    EXPECT_EQ(root.ModifiedText(), "");
    EXPECT_EQ(ItemTypeName(computer->AbsIdList, 0), "System Folder");
}

TEST(ShellRecords, TreeDataPathsAndRename)
{
    TShTreeData bare(nullptr, nullptr, corvane::platform::EmptyIdList(), false);
    EXPECT_THROW(bare.Path(), EShellError);
    TShTreeData root(nullptr, nullptr, corvane::platform::EmptyIdList());
    EXPECT_FALSE(root.CanRename());
    EXPECT_EQ(root.Path(), "");
    // Computer, a volume of the test's own, a folder on it.
    TempDir volumes{TempDir::InMediaPlace{}, {"vol/"}};
    TmpfsMount vol(volumes.pathBytes() + "/vol", "1m");
    ASSERT_TRUE(vol.ok());
    volumes.addFolder("vol/usr");
    PItemIDList usr;
    ASSERT_EQ(IdListFromPath(volumes.filePath("vol/usr"), usr), corvane::platform::S_OK);
    TIdListArray parts(usr);
    ASSERT_EQ(parts.Count(), 3);
    TShTreeData computer(nullptr, &root, parts.Item(0));
    TShTreeData volume(nullptr, &computer, parts.Item(1));
    TShTreeData node(nullptr, &volume, parts.Item(2));
    EXPECT_EQ(volume.Path(), volumes.filePath("vol"));
    EXPECT_EQ(node.Path(), volumes.filePath("vol/usr"));
    EXPECT_TRUE(node.IShf() != nullptr);
    EXPECT_TRUE(node.CanRename());
    EXPECT_FALSE(computer.CanRename());
}

TEST(ShellLinks, ReadShortcutFollowsSymlinksAndLinkDesktopFiles)
{
    TempDir dir{"target/"};
    dir.addSymlink("to-target", "target");
    dir.addFile("web.desktop", "[Desktop Entry]\nType=Link\nURL=file://" + dir.pathBytes() + "/target\nComment=Here\n");
    dir.addFile("app.desktop", "[Desktop Entry]\nType=Application\nExec=true\n");
    TLinkData data;
    ASSERT_EQ(ReadShortcut(dir.filePath("to-target"), true, data), corvane::platform::S_OK);
    EXPECT_EQ(data.Path, dir.filePath("target"));
    EXPECT_TRUE(data.FindData.Attributes & corvane::platform::SFGAO_FOLDER);
    EXPECT_FALSE(data.IdList.isNull());
    ASSERT_EQ(ReadShortcut(dir.filePath("web.desktop"), false, data), corvane::platform::S_OK);
    EXPECT_EQ(data.Path, dir.filePath("target"));
    EXPECT_EQ(data.Description, "Here");
    EXPECT_TRUE(corvane::platform::Failed(ReadShortcut(dir.filePath("app.desktop"), false, data)));
    EXPECT_TRUE(corvane::platform::Failed(ReadShortcut(dir.filePath("missing"), false, data)));
}

// Desktop entries are key files, not INI files: commas, semicolons, escapes, localized keys and
// comments all have their own meaning there.
TEST(ShellLinks, ReadShortcutReadsDesktopEntryValuesAsKeyFilesDo)
{
    TempDir dir;
    const QByteArray d = dir.pathBytes();
    struct Case {
        const char* file;
        QByteArray entry;
        const char* target;  // relative to dir; what the link leads to
        const char* comment;
    };
    const Case cases[] = {
        {"comma", "[Desktop Entry]\nType=Link\nURL=file://" + d + "/a,b\n", "a,b", ""},
        {"semicolon", "[Desktop Entry]\nType=Link\nURL=file://" + d + "/x;y\n", "x;y", ""},
        {"escaped-semicolon", "[Desktop Entry]\nType=Link\nURL=file://" + d + "/x\\;y\n", "x;y", ""},
        {"space", "[Desktop Entry]\nType=Link\nURL=file://" + d + "/with space\n", "with space", ""},
        {"encoded-space", "[Desktop Entry]\nType=Link\nURL=file://" + d + "/with%20space\n", "with space", ""},
        {"escaped-space", "[Desktop Entry]\nType=Link\nURL=file://" + d + "/lead\\sspace\n", "lead space", ""},
        {"localized",
         "# made by hand\n[Desktop Entry]\nName[de]=Ziel\nComment[de]=Hier, dort\nComment=Here, there\n"
         "Type=Link\nURL=file://" + d + "/a,b\n\n[Desktop Action x]\nURL=file:///etc\n",
         "a,b", "Here, there"},
    };
    for (const Case& c : cases) {
        dir.addFolder(c.target);
        dir.addFile(QByteArray(c.file) + ".desktop", c.entry);
        TLinkData data;
        ASSERT_EQ(ReadShortcut(dir.filePath(QString::fromLatin1(c.file) + ".desktop"), false, data), corvane::platform::S_OK) << c.file;
        EXPECT_EQ(data.Path, dir.filePath(QString::fromUtf8(c.target))) << c.file;
        EXPECT_TRUE(data.FindData.Attributes & corvane::platform::SFGAO_FOLDER) << c.file;
        EXPECT_EQ(data.Description, QString::fromUtf8(c.comment)) << c.file;
    }
    // What is no valid key file leads nowhere.
    for (const QByteArray& bad : {QByteArray("Type=Link\nURL=file:///\n"), QByteArray("[Desktop Entry]\nType=Link\n"),
                                  QByteArray("[Desktop Entry]\nType=Link\nURL=file:///tmp\\\n"), QByteArray("\xff\xfe[\n")}) {
        dir.addFile("bad.desktop", bad);
        TLinkData data;
        EXPECT_TRUE(corvane::platform::Failed(ReadShortcut(dir.filePath("bad.desktop"), false, data))) << bad.toStdString();
    }
}
