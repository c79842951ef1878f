#include "tests/support/AsNobody.h"

#include "app/Globals.h"
#include "app/Utility.h"
#include "dialogs/NewShortcut.h"
#include "platform/NameCodec.h"
#include "shellctl/ShellControls.h"
#include "tests/support/DialogsFixture.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane;
using namespace corvane::app;
using corvane::test::TempDir;

namespace {

QByteArray readLink(const QByteArray& path)
{
    char buf[4096];
    const ssize_t n = ::readlink(path.constData(), buf, sizeof buf);
    return n < 0 ? QByteArray() : QByteArray(buf, n);
}

QByteArray readAll(const QByteArray& path)
{
    QFile f(QFile::decodeName(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(NewShortcut, TargetsAndDefaultNames)
{
    struct Case {
        const char* typed;
        bool url;
        const char* result;  // URL, or the path below "/base"
        const char* name;
    } cases[] = {
        {"/usr/share/", false, "/usr/share", "share"},
        {"docs/report.pdf", false, "/base/docs/report.pdf", "report.pdf"},
        {"https://example.org/a b?q=1", true, "https://example.org/a%20b?q=1", "example.org"},
        {"mailto:someone@example.org", true, "mailto:someone@example.org", "someone@example.org"},
        {"www.example.org", true, "https://www.example.org", "www.example.org"},
        {"file:///etc/host%20s", false, "/etc/host s", "host s"},
    };
    for (const Case& c : cases) {
        const ShortcutTarget t = ParseShortcutTarget(QString::fromUtf8(c.typed), "/base");
        EXPECT_EQ(t.isUrl, c.url) << c.typed;
        EXPECT_EQ(t.isUrl ? t.url.toUtf8() : t.path, QByteArray(c.result)) << c.typed;
        EXPECT_EQ(DefaultShortcutName(QString::fromUtf8(c.typed)), QString::fromUtf8(c.name)) << c.typed;
    }
}

TEST(NewShortcut, LinksToPathsAndDesktopFilesForAddresses)
{
    TempDir dir{"target.txt", "folder/"};
    const QByteArray d = dir.pathBytes();
    QByteArray created;
    EXPECT_EQ(CreateShortcutFile(d, "to target", "target.txt", &created), QString());
    EXPECT_EQ(created, "to target");
    EXPECT_EQ(readLink(d + "/to target"), d + "/target.txt");
    EXPECT_EQ(CreateShortcutFile(d, "caf\xc3\xa9", dir.path() + "/folder/"), QString());
    EXPECT_EQ(readLink(d + "/caf\xc3\xa9"), d + "/folder");

    EXPECT_EQ(CreateShortcutFile(d, "Example\nsite", "https://example.org/x", &created), QString());
    EXPECT_EQ(created, "Example\nsite.desktop");
    EXPECT_EQ(readAll(d + "/" + created),
              "[Desktop Entry]\nVersion=1.0\nType=Link\nName=Example\\nsite\nURL=https://example.org/x\nIcon=text-html\n");
    // A name that already ends in .desktop keeps it, once.
    EXPECT_EQ(CreateShortcutFile(d, "mail.desktop", "mailto:a@b.org", &created), QString());
    EXPECT_EQ(created, "mail.desktop");
    EXPECT_TRUE(readAll(d + "/mail.desktop").contains("\nName=mail\nURL=mailto:a@b.org\n"));
}

TEST(NewShortcut, ClashesAndBadInputAreRefusedAndNothingIsReplaced)
{
    TempDir dir, elsewhere{"usr/"};
    const QByteArray d = dir.pathBytes();
    dir.addFile("taken", "keep me");
    dir.addFile("site.desktop", "keep me too");
    const QString in = " in \"" + dir.path() + "\". Choose another name.";
    const QString usr = elsewhere.filePath("usr"), missing = elsewhere.filePath("no/such/place");
    struct Case {
        QString name, target, message;
    } cases[] = {
        {"taken", usr, "\"taken\" already exists" + in},
        {"site", "https://example.org", "\"site.desktop\" already exists" + in},
        {"x", missing, "The target \"" + missing + "\" cannot be found."},
        {"a/b", usr, "A name cannot be \".\" or \"..\" or contain \"/\"."},
        {"..", usr, "A name cannot be \".\" or \"..\" or contain \"/\"."},
        {"  ", usr, "Type a name for the shortcut."},
        {"x", " ", "Type the location of the item or the Internet address the shortcut leads to."},
        {"x", "http://exa mple.org", "\"http://exa mple.org\" is not a valid Internet address."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CreateShortcutFile(d, c.name, c.target), c.message) << c.name.toStdString();
    EXPECT_EQ(readAll(d + "/taken"), "keep me");
    EXPECT_EQ(readAll(d + "/site.desktop"), "keep me too");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(), 2);
}

TEST(NewShortcut, AnUnwritableFolderGivesTheSystemsReason)
{
    if (test::ChildMode() == "unwritable") {
        const QString folder = qEnvironmentVariable("CORVANE_DIR");
        const QString expected = "Cannot create the shortcut \"%1\" in \"" + folder + "\":\nPermission denied";
        const bool ok = CreateShortcutFile(QFile::encodeName(folder), "l", folder) == expected.arg("l")
                        && CreateShortcutFile(QFile::encodeName(folder), "u", "https://example.org") == expected.arg("u.desktop");
        // The child reports through its exit code, after its temporary folders are gone.
        EXPECT_TRUE(ok);
        return;
    }
    TempDir dir;
    ASSERT_EQ(::chmod(dir.pathBytes().constData(), 0755), 0);
    QProcessEnvironment env;
    env.insert("CORVANE_DIR", dir.path());
    QString output;
    EXPECT_EQ(test::RunTestAsNobody("NewShortcut.AnUnwritableFolderGivesTheSystemsReason", "unwritable", env, &output), 0)
        << output.toStdString();
}

// A full disk: the half-written link file does not stay behind.
TEST(NewShortcut, AFullDiskLeavesNoPartialFile)
{
    TempDir dir;
    const QByteArray d = dir.pathBytes();
    ASSERT_EQ(::mount("tmpfs", d.constData(), "tmpfs", 0, "size=64k"), 0) << std::strerror(errno);
    struct Unmount {
        QByteArray d;
        ~Unmount() { ::umount2(d.constData(), MNT_DETACH); }
    } unmount{d};
    {
        QFile filler(QFile::decodeName(d + "/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    const QString message = CreateShortcutFile(d, "site", "https://example.org");
    EXPECT_TRUE(message.endsWith("No space left on device")) << message.toStdString();
    EXPECT_FALSE(QFile::exists(QFile::decodeName(d + "/site.desktop")));
}

namespace {

struct NewShortcutCommand : test::MainWindowTest {};

// Fills the modal dialog once it shows and presses OK.
void answerDialog(const QString& target, const QString& name, MsgBoxRecord* box)
{
    QTimer::singleShot(0, [=] {
        auto* dlg = qobject_cast<TfrmNewShortcut*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        dlg->txtTarget->setText(target);
        if (!name.isEmpty())
            dlg->txtName->setText(name);
        dlg->cmdOK->click();
        // A refused name leaves the dialog open: the test closes it.
        if (dlg->isVisible()) {
            EXPECT_FALSE(box->text.isEmpty());
            dlg->reject();
        }
    });
}

} // namespace

TEST_F(NewShortcutCommand, CreatesInTheSelectedFolderAndSelectsTheNewItem)
{
    TempDir dir{"sub/a.txt"};
    ShowFolder(dir.path());
    ASSERT_TRUE(main->Shortcut1->isEnabled());
    MsgBoxRecord box;
    SetMsgBoxRecorder(&box);

    answerDialog(dir.path() + "/sub/a.txt", {}, &box);
    main->Shortcut1->trigger();
    EXPECT_TRUE(box.text.isEmpty()) << box.text.toStdString();
    EXPECT_EQ(readLink(dir.pathBytes() + "/a.txt"), dir.pathBytes() + "/sub/a.txt");
    ASSERT_NE(CurShellList->SelectedData(), nullptr);
    EXPECT_EQ(CurShellList->SelectedData()->FileName(), "a.txt");

    // Again: the name is taken now, and the dialog stays open with the reason.
    answerDialog(dir.path() + "/sub/a.txt", {}, &box);
    main->Shortcut1->trigger();
    EXPECT_TRUE(box.text.contains("already exists")) << box.text.toStdString();
    EXPECT_EQ(readLink(dir.pathBytes() + "/a.txt"), dir.pathBytes() + "/sub/a.txt");

    box = {};
    answerDialog("https://example.org", "Example", &box);
    main->Shortcut1->trigger();
    EXPECT_TRUE(box.text.isEmpty()) << box.text.toStdString();
    ASSERT_NE(CurShellList->SelectedData(), nullptr);
    EXPECT_EQ(CurShellList->SelectedData()->FileName(), "Example.desktop");

    // The Desktop has no path of its own: nowhere to put a shortcut.
    CurShellTree->setCurrentItem(CurShellTree->topLevelItem(0));
    CurShellTree->FlushPendingChange(true);
    ASSERT_TRUE(CurShellTree->SelectedPath().isEmpty());
    EXPECT_FALSE(main->Shortcut1->isEnabled());
}
