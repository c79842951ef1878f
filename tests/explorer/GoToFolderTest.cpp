#include "tests/support/DialogsFixture.h"

#include "app/Globals.h"
#include "app/Utility.h"
#include "explorer/GoToFolder.h"
#include "platform/Launch.h"
#include "shellctl/ShellControls.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

using namespace corvane;
using explorer::frmGoToFolder;

TEST(GoToFolderPaths, TypedPathsAsLinuxUsersWriteThem)
{
    const QString home = QDir::homePath();
    const std::pair<const char*, QString> cases[] = {
        {"/usr/share", "/usr/share"},
        {"/usr/share/", "/usr/share"},
        {"/usr//share///", "/usr/share"},
        {"  /usr  ", "/usr"},
        {"/", "/"},
        {"~", home},
        {"~/", home},
        {"~/music/", home + "/music"},
        {"docs", "/srv/base/docs"},
        {"./docs/../more/", "/srv/base/more"},
        {"..", "/srv"},
        {"", ""},
    };
    for (const auto& [typed, expected] : cases)
        EXPECT_EQ(platform::ResolveTypedPath(QString::fromUtf8(typed), "/srv/base"), expected) << typed;
    // Relative to the home folder when the window shows no file-system folder.
    EXPECT_EQ(platform::ResolveTypedPath("docs", ""), home + "/docs");
    EXPECT_EQ(platform::ResolveTypedPath("~root/x", "/srv"), "/root/x");
}

namespace {

struct GoToFolder : test::MainWindowTest {
    test::TempDir dir{"docs/inner/", "file.txt"};
    app::MsgBoxRecord box;
    void SetUp() override
    {
        MainWindowTest::SetUp();
        ShowFolder(dir.path());
        app::SetMsgBoxRecorder(&box);
    }
    QString go(const QString& typed)
    {
        frmGoToFolder->show();
        EXPECT_TRUE(frmGoToFolder->txtFolder->text().isEmpty());
        frmGoToFolder->txtFolder->setText(typed);
        frmGoToFolder->cmdOKClick();
        EXPECT_FALSE(frmGoToFolder->isVisible());
        return app::CurShellTree->SelectedPath();
    }
};

} // namespace

TEST_F(GoToFolder, SelectsTheTypedFolder)
{
    EXPECT_EQ(go(dir.path() + "/docs/inner/"), dir.path() + "/docs/inner");
    EXPECT_EQ(go(".."), dir.path() + "/docs");
    EXPECT_EQ(go("inner"), dir.path() + "/docs/inner");
    QTemporaryDir inHome(QDir::homePath() + "/corvane-goto-XXXXXX");
    ASSERT_TRUE(inHome.isValid());
    EXPECT_EQ(go("~/" + QDir(inHome.path()).dirName()), inHome.path());
    EXPECT_TRUE(box.text.isEmpty());
}

TEST_F(GoToFolder, MissingFolderIsReportedAndTheFolderBeforeComesBack)
{
    for (const QString& typed : {dir.path() + "/no such folder", QStringLiteral("nowhere/else"), QString()}) {
        box = {};
        EXPECT_EQ(go(typed), dir.path()) << typed.toStdString();
        EXPECT_EQ(box.text, "This folder does not exist");
        EXPECT_EQ(box.caption, "Error");
        EXPECT_EQ(box.style, unsigned(app::MB_ICONEXCLAMATION));
    }
}
