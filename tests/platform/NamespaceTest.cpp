#include "platform/IconTable.h"
#include "platform/IdListFormat.h"
#include "platform/NameCodec.h"
#include "platform/Namespace.h"
#include "tests/support/StallFs.h"
#include "tests/support/TempDir.h"

#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <gtest/gtest.h>
#include <type_traits>
#include <map>
#include <sys/stat.h>

using namespace corvane::platform;
using corvane::test::StallFs;
using corvane::test::TempDir;

namespace {

struct Listed {
    std::uint32_t attributes = 0;
    QString name;
    PItemIDList id;
};

std::map<QByteArray, Listed> enumerate(const ShellFolderPtr& folder, std::uint32_t flags)
{
    std::map<QByteArray, Listed> out;
    std::unique_ptr<IEnumIDList> e;
    EXPECT_EQ(folder->EnumObjects(flags, e), S_OK);
    PItemIDList item;
    while (e->Next(item) == S_OK) {
        Listed l;
        l.id = item;
        l.attributes = 0xFFFFFFFF;
        std::array<PItemIDList, 1> one{item};
        EXPECT_EQ(folder->GetAttributesOf(one, l.attributes), S_OK);
        QString parsing;
        folder->GetDisplayNameOf(item, SHGDN_INFOLDER | SHGDN_FORPARSING, parsing);
        folder->GetDisplayNameOf(item, SHGDN_INFOLDER, l.name);
        out[EncodeName(parsing)] = l;
    }
    return out;
}

ShellFolderPtr bindPath(const QString& path, PItemIDList* absOut = nullptr)
{
    PItemIDList abs;
    EXPECT_EQ(SHGetDesktopFolder()->ParseDisplayName(path, abs), S_OK) << path.toStdString();
    ShellFolderPtr f;
    EXPECT_EQ(SHGetDesktopFolder()->BindToObject(abs, f), S_OK);
    if (absOut)
        *absOut = abs;
    return f;
}

} // namespace

TEST(Namespace, EnumeratesFoldersFilesHiddenLinksAndOddNames)
{
    TempDir dir{"sub/", "file.txt", ".hidden", "bad\xe9name", "two\nlines"};
    dir.addSymlink("link-to-sub", "sub");
    dir.addSymlink("link-to-file", "file.txt");
    dir.addSymlink("loop", "loop");
    ShellFolderPtr folder = bindPath(dir.path());

    auto all = enumerate(folder, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN);
    ASSERT_EQ(all.size(), 8u);
    EXPECT_TRUE(all["sub"].attributes & SFGAO_FOLDER);
    EXPECT_TRUE(all["sub"].attributes & SFGAO_FILESYSTEM);
    EXPECT_FALSE(all["file.txt"].attributes & SFGAO_FOLDER);
    EXPECT_TRUE(all[".hidden"].attributes & SFGAO_HIDDEN);
    EXPECT_TRUE(all["link-to-sub"].attributes & SFGAO_FOLDER);
    EXPECT_TRUE(all["link-to-sub"].attributes & SFGAO_LINK);
    EXPECT_TRUE(all["link-to-file"].attributes & SFGAO_LINK);
    EXPECT_FALSE(all["loop"].attributes & SFGAO_FOLDER);  // a loop lists as a broken link
    EXPECT_EQ(all["bad\xe9name"].name, QString::fromUtf8("bad\xef\xbf\xbdname"));
    EXPECT_EQ(all["two\nlines"].name, QString::fromUtf8("two\xef\xbf\xbdlines"));

    auto folders = enumerate(folder, SHCONTF_FOLDERS);
    EXPECT_EQ(folders.size(), 2u);  // sub and link-to-sub
    auto visible = enumerate(folder, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS);
    EXPECT_EQ(visible.count(".hidden"), 0u);
    EXPECT_EQ(visible.size(), 7u);
}

// A path's bytes are never taken for an ID list by accident; only the explicit constructor makes one.
static_assert(!std::is_convertible_v<QByteArray, PItemIDList>);
static_assert(!std::is_convertible_v<const char*, PItemIDList>);
static_assert(!std::is_convertible_v<PItemIDList, QByteArray>);

TEST(Namespace, NonUtf8NameRoundTripsThroughIdListPathAndRename)
{
    TempDir dir{"bad\xe9name"};
    PItemIDList folderAbs;
    ShellFolderPtr folder = bindPath(dir.path(), &folderAbs);
    auto all = enumerate(folder, SHCONTF_NONFOLDERS);
    ASSERT_EQ(all.size(), 1u);
    PItemIDList abs = ConcatIdLists(folderAbs, all.begin()->second.id);

    QByteArray path = PathBytesFromIdList(abs);
    EXPECT_EQ(path, dir.pathBytes() + "/bad\xe9name");
    QString text;
    ASSERT_TRUE(SHGetPathFromIDList(abs, text));
    PItemIDList reparsed;
    ASSERT_EQ(SHGetDesktopFolder()->ParseDisplayName(text, reparsed), S_OK);
    EXPECT_EQ(reparsed, abs);
    EXPECT_EQ(CompareResultOrder(SHGetDesktopFolder()->CompareIDs(0, reparsed, abs)), 0);

    PItemIDList renamed;
    ASSERT_EQ(folder->SetNameOf(all.begin()->second.id, DecodeName("new\xfe"), SHGDN_INFOLDER, renamed), S_OK);
    struct stat st;
    EXPECT_EQ(::lstat((dir.pathBytes() + "/new\xfe").constData(), &st), 0);
    QString back;
    folder->GetDisplayNameOf(renamed, SHGDN_INFOLDER | SHGDN_FORPARSING, back);
    EXPECT_EQ(EncodeName(back), "new\xfe");
}

TEST(Namespace, RenameNeverReplacesAnotherFileAndRefusesBadNames)
{
    TempDir dir;
    dir.addFile("a", "first");
    dir.addFile("b", "second");
    ShellFolderPtr folder = bindPath(dir.path());
    PItemIDList a;
    ASSERT_EQ(folder->ParseDisplayName("a", a), S_OK);
    PItemIDList out;
    EXPECT_TRUE(Failed(folder->SetNameOf(a, "b", SHGDN_INFOLDER, out)));
    EXPECT_EQ(SystemMessage(folder->SetNameOf(a, "b", SHGDN_INFOLDER, out)), QString::fromLocal8Bit(strerror(EEXIST)));
    for (const char* bad : {"", ".", "..", "x/y"})
        EXPECT_EQ(folder->SetNameOf(a, bad, SHGDN_INFOLDER, out), E_INVALIDARG) << bad;
    QFile b(dir.filePath("b"));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    EXPECT_EQ(b.readAll(), "second");
    // A change of case alone is a rename, not a clash.
    EXPECT_EQ(folder->SetNameOf(a, "A", SHGDN_INFOLDER, out), S_OK);
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("A")));
}

TEST(Namespace, DesktopHoldsHomeComputerTrashAndPathsParseThroughComputer)
{
    ShellFolderPtr desktop = SHGetDesktopFolder();
    std::unique_ptr<IEnumIDList> e;
    ASSERT_EQ(desktop->EnumObjects(SHCONTF_FOLDERS, e), S_OK);
    QStringList names;
    PItemIDList item;
    for (int i = 0; i < 3 && e->Next(item) == S_OK; ++i) {
        QString n;
        desktop->GetDisplayNameOf(item, SHGDN_INFOLDER, n);
        names << n;
    }
    EXPECT_EQ(names, (QStringList{"Home", "Computer", "Trash"}));

    PItemIDList root;
    ASSERT_EQ(desktop->ParseDisplayName("/", root), S_OK);
    EXPECT_EQ(IdListItems(root).size(), 2u);  // Computer, then the root volume
    EXPECT_EQ(PathBytesFromIdList(root), "/");
    PItemIDList computer;
    ASSERT_EQ(SHGetSpecialFolderLocation(CSIDL_DRIVES, computer), S_OK);
    QString none;
    EXPECT_FALSE(SHGetPathFromIDList(computer, none));
    EXPECT_FALSE(SHGetPathFromIDList(EmptyIdList(), none));
    TempDir dir{"usr/bin/"};
    PItemIDList missing;
    EXPECT_EQ(desktop->ParseDisplayName(dir.path() + "/no/such/folder", missing), HResultFromErrno(ENOENT));
    PItemIDList cleaned;
    ASSERT_EQ(desktop->ParseDisplayName(dir.path() + "/usr/./bin/../bin/", cleaned), S_OK);
    EXPECT_EQ(PathBytesFromIdList(cleaned), dir.pathBytes() + "/usr/bin");
}

TEST(Namespace, CompareOrdersFoldersFirstThenNaturalNames)
{
    TempDir dir{"file10", "file9", "B/", "a"};
    ShellFolderPtr folder = bindPath(dir.path());
    auto id = [&](const char* n) {
        PItemIDList p;
        EXPECT_EQ(folder->ParseDisplayName(n, p), S_OK);
        return p;
    };
    auto order = [&](const char* x, const char* y) { return CompareResultOrder(folder->CompareIDs(0, id(x), id(y))); };
    EXPECT_LT(order("B", "a"), 0);
    EXPECT_LT(order("file9", "file10"), 0);
    EXPECT_LT(order("a", "file9"), 0);
    EXPECT_EQ(order("a", "a"), 0);
}

TEST(Namespace, UnreadableFolderFailsToEnumerateWithoutCrash)
{
    if (qEnvironmentVariable("CORVANE_CHILD") == "unreadable") {
        ShellFolderPtr folder = bindPath(qEnvironmentVariable("CORVANE_DIR"));
        std::unique_ptr<IEnumIDList> e;
        HResult hr = folder->EnumObjects(SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, e);
        // The child reports through its exit code, after its temporary folders are gone.
        EXPECT_EQ(hr, HResultFromErrno(EACCES));
        return;
    }
    TempDir dir{"locked/inside"};
    ::chmod(dir.pathBytes().constData(), 0755);
    ::chmod((dir.pathBytes() + "/locked").constData(), 0700);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CORVANE_CHILD", "unreadable");
    env.insert("CORVANE_DIR", dir.filePath("locked"));
    child.setProcessEnvironment(env);
    child.start("setpriv", {"--reuid=nobody", "--regid=nogroup", "--clear-groups", QFileInfo("/proc/self/exe").symLinkTarget(),
                            "--gtest_filter=Namespace.UnreadableFolderFailsToEnumerateWithoutCrash"});
    ASSERT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().constData();
}

TEST(Namespace, ForeignItemsThatLeaveTheirFolderHaveNoPath)
{
    TempDir dir;
    PItemIDList root;
    ASSERT_EQ(SHGetDesktopFolder()->ParseDisplayName(dir.path(), root), S_OK);
    for (QByteArray name : {QByteArray(".."), QByteArray("../etc"), QByteArray("a/b"), QByteArray("x\0y", 3), QByteArray()}) {
        PItemIDList crafted = ConcatIdLists(root, MakeIdItem("F" + name));
        EXPECT_TRUE(PathBytesFromIdList(crafted).isEmpty()) << name.toHex().constData();
        ShellFolderPtr f;
        EXPECT_TRUE(Failed(SHGetDesktopFolder()->BindToObject(ConcatIdLists(root, MakeIdItem("D" + name)), f)));
    }
    // A volume item must be an absolute mount point without "..".
    PItemIDList computer;
    SHGetSpecialFolderLocation(CSIDL_DRIVES, computer);
    PItemIDList vol = ConcatIdLists(computer, MakeIdItem("V/tmp/../etc"));
    EXPECT_TRUE(PathBytesFromIdList(vol).isEmpty());
}

TEST(Namespace, FolderOnAVolumeThatMayStallHasAnExpanderWithoutBeingRead)
{
    StallFs fs{"full/inner/", "empty/", "file.txt"};
    ASSERT_TRUE(fs.ok());
    ShellFolderPtr folder = bindPath(fs.path());
    PItemIDList full, empty;
    ASSERT_EQ(folder->ParseDisplayName("full", full), S_OK);
    ASSERT_EQ(folder->ParseDisplayName("empty", empty), S_OK);
    fs.Stall();
    for (const PItemIDList& item : {full, empty}) {
        std::uint32_t attrs = SFGAO_HASSUBFOLDER | SFGAO_FOLDER;
        std::array<PItemIDList, 1> one{item};
        EXPECT_EQ(folder->GetAttributesOf(one, attrs), S_OK);
        EXPECT_EQ(attrs, SFGAO_HASSUBFOLDER | SFGAO_FOLDER);
    }
    EXPECT_EQ(fs.GuardedTouches(), 0);
    fs.Release();

    // A local folder is looked into: only one with a folder inside gets the expander.
    TempDir dir{"full/inner/", "empty/", "files/a.txt"};
    ShellFolderPtr local = bindPath(dir.path());
    auto all = enumerate(local, SHCONTF_FOLDERS);
    EXPECT_TRUE(all["full"].attributes & SFGAO_HASSUBFOLDER);
    EXPECT_FALSE(all["empty"].attributes & SFGAO_HASSUBFOLDER);
    EXPECT_FALSE(all["files"].attributes & SFGAO_HASSUBFOLDER);
}

// Types whose own icon the theme lacks show their family's, never a blank page; a picture looks
// like a picture wherever files are listed by name.
TEST(Namespace, FileIconsFallBackToTheTypeFamily)
{
    corvane::platform::IconTable::UseInstalledTheme();
    auto& table = corvane::platform::IconTable::instance();
    const struct {
        const char* name;
        bool folder;
        const char* icon;
    } cases[] = {
        {"report.pdf", false, "x-office-document"},
        {"run.sh", false, "text-x-script"},
        {"backup.tar.gz", false, "package-x-generic"},
        {"photo.png", false, "image-x-generic"},
        {"notes.txt", false, "text-x-generic"},
        {"Some folder", true, "folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QIcon icon = table.icon(corvane::platform::SHGetFileIconIndex(QString::fromUtf8(c.name), c.folder));
        EXPECT_EQ(icon.name(), QString::fromUtf8(c.icon));
    }
}
