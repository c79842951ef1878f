#include "tests/support/DialogsFixture.h"

#include "app/AppTexts.h"
#include "app/UserTools.h"
#include "app/Utility.h"
#include "settings/PFormSettings.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTableWidget>
#include <QTimer>

using namespace corvane;
using app::frmUserTools;

TEST(UserToolValues, SeparatorDescriptionAndCommand)
{
    EXPECT_EQ(app::JoinUserTool("Editor", "notepad.exe"), QString("Editor\x08notepad.exe"));
    EXPECT_EQ(app::JoinUserTool("", ""), QString("\x08"));
    struct Case {
        const char* value;
        const char* description;
        const char* command;
        bool configured;
    };
    const Case cases[] = {
        {"Editor\x08notepad.exe", "Editor", "notepad.exe", true},
        {"Two\x08parts\x08more", "Two", "parts\x08more", true},
        {"gimp", "", "gimp", true},
        {"\x08", "", "", false},
        {"x", "", "x", false},
        {"", "", "", false},
    };
    for (const Case& c : cases) {
        const app::TUserTool tool = app::SplitUserTool(QString::fromLatin1(c.value));
        EXPECT_EQ(tool.Description, c.description) << c.value;
        EXPECT_EQ(tool.Command, c.command) << c.value;
        EXPECT_EQ(app::UserToolConfigured(QString::fromLatin1(c.value)), c.configured) << c.value;
    }
    EXPECT_EQ(app::UserToolCaption(1, "Editor"), "&1 Editor");
}

namespace {

struct UserTools : test::MainWindowTest {
    app::MsgBoxRecord box;
    void SetUp() override
    {
        MainWindowTest::SetUp();
        app::SetMsgBoxRecorder(&box);
    }
    QString stored(int n) { return main->PFormSettings1->SettingByName(app::UserToolSetting(n)).AsString(); }
    void store(int n, const QString& value) { main->PFormSettings1->SettingByName(app::UserToolSetting(n)).SetAsString(value); }
    void fill(int row, const QString& description, const QString& command)
    {
        frmUserTools->SetCell(row, 0, description);
        frmUserTools->SetCell(row, 1, command);
    }
};

} // namespace

TEST_F(UserTools, SavedRowsBecomeMenuItems)
{
    for (QAction* item : main->mnuUserTool)
        EXPECT_FALSE(item->isVisible());
    frmUserTools->show();
    fill(0, "Editor", "notepad.exe");
    fill(3, "  Viewer ", "eog");
    frmUserTools->cmdOKClick();
    EXPECT_FALSE(frmUserTools->isVisible());
    EXPECT_EQ(stored(1), QString("Editor\x08notepad.exe"));
    EXPECT_EQ(stored(2), QString("\x08"));
    EXPECT_EQ(stored(4), QString("Viewer\x08" "eog"));
    EXPECT_EQ(main->mnuUserTool[0]->text(), "&1 Editor");
    EXPECT_TRUE(main->mnuUserTool[0]->isVisible());
    EXPECT_FALSE(main->mnuUserTool[1]->isVisible());
    EXPECT_EQ(main->mnuUserTool[3]->text(), "&4 Viewer");
    EXPECT_TRUE(main->mnuUserTool[3]->isVisible());
    EXPECT_TRUE(box.text.isEmpty());

    // Emptied again: hidden again.
    frmUserTools->show();
    fill(0, "", "");
    frmUserTools->cmdOKClick();
    EXPECT_FALSE(main->mnuUserTool[0]->isVisible());
}

TEST_F(UserTools, ARowWithOneBlankCellBlocksTheSave)
{
    frmUserTools->show();
    fill(0, "Editor", "gedit");
    fill(5, "Only a description", "");
    frmUserTools->cmdOKClick();
    EXPECT_EQ(box.text, "You have entered one or more tools with\neither the description or command blank");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, unsigned(app::MB_ICONEXCLAMATION));
    EXPECT_TRUE(frmUserTools->isVisible());
    EXPECT_TRUE(stored(1).isEmpty());

    box = {};
    fill(5, " ", "command only");
    frmUserTools->cmdOKClick();
    EXPECT_FALSE(box.text.isEmpty());
    EXPECT_TRUE(frmUserTools->isVisible());
    frmUserTools->cmdCancelClick();
    EXPECT_TRUE(stored(1).isEmpty());
}

TEST_F(UserTools, DeletingARowMovesTheRowsBelowUp)
{
    frmUserTools->show();
    for (int r = 0; r < 9; ++r)
        fill(r, QStringLiteral("Tool %1").arg(r + 1), QStringLiteral("cmd%1").arg(r + 1));
    frmUserTools->Grid1->setCurrentCell(2, 1);
    frmUserTools->cmdDeleteClick();
    EXPECT_EQ(frmUserTools->Grid1->rowCount(), 9);
    EXPECT_EQ(frmUserTools->Cell(2, 0), "Tool 4");
    EXPECT_EQ(frmUserTools->Cell(7, 1), "cmd9");
    EXPECT_TRUE(frmUserTools->Cell(8, 0).isEmpty());
    EXPECT_TRUE(frmUserTools->Cell(8, 1).isEmpty());
    frmUserTools->cmdOKClick();
    EXPECT_EQ(stored(3), QString("Tool 4\x08" "cmd4"));
    EXPECT_EQ(stored(8), QString("Tool 9\x08" "cmd9"));
    EXPECT_EQ(stored(9), QString("\x08"));
    EXPECT_EQ(main->mnuUserTool[2]->text(), "&3 Tool 4");
    EXPECT_FALSE(main->mnuUserTool[8]->isVisible());
}

TEST_F(UserTools, OpeningReadsStoredToolsAndKeepsUnsavedRows)
{
    store(2, QString("Stored\x08" "ls"));
    frmUserTools->show();
    EXPECT_EQ(frmUserTools->Cell(1, 0), "Stored");
    EXPECT_EQ(frmUserTools->Cell(1, 1), "ls");
    EXPECT_EQ(frmUserTools->Grid1->columnWidth(0), qRound((frmUserTools->Grid1->width() - app::Scaled(5)) * 0.4));
    fill(4, "Typed", "not saved");
    frmUserTools->cmdCancelClick();
    frmUserTools->show();
    EXPECT_EQ(frmUserTools->Cell(4, 0), "Typed");
    frmUserTools->cmdCancelClick();
}

TEST_F(UserTools, BrowsePutsTheFileIntoTheCommandCell)
{
    test::TempDir dir{"tool.sh"};
    frmUserTools->show();
    frmUserTools->Grid1->setCurrentCell(6, 0);
    QTimer::singleShot(0, frmUserTools->OpenDialog1, [&] {
        frmUserTools->OpenDialog1->setDirectory(dir.path());
        frmUserTools->OpenDialog1->selectFile(dir.filePath("tool.sh"));
        QMetaObject::invokeMethod(frmUserTools->OpenDialog1, "accept");
    });
    frmUserTools->cmdBrowseClick();
    EXPECT_EQ(frmUserTools->Cell(6, 1), dir.filePath("tool.sh"));
    EXPECT_TRUE(frmUserTools->Cell(6, 0).isEmpty());
    frmUserTools->cmdCancelClick();
}

TEST_F(UserTools, ClickingAToolOpensItsCommand)
{
    test::TempDir dir;
    const QString out = dir.filePath("ran");
    test::WriteScript(dir.filePath("tool.sh"), "printf '%s\\n%s\\n' \"$(pwd)\" \"$1\" > '" + out.toUtf8() + "'\n");
    store(1, app::JoinUserTool("Script", dir.filePath("tool.sh")));
    // A command may carry its own arguments.
    store(2, app::JoinUserTool("With argument", dir.filePath("tool.sh") + " hello"));
    store(3, app::JoinUserTool("Missing", "no-such-tool-anywhere"));
    main->BuildUserToolsMenu();
    main->mnuUserTool[0]->trigger();
    EXPECT_EQ(test::WaitForText(out), QDir::homePath() + "\n\n");
    QFile::remove(out);
    main->mnuUserTool[1]->trigger();
    EXPECT_EQ(test::WaitForText(out), QDir::homePath() + "\nhello\n");
    EXPECT_TRUE(box.text.isEmpty());
    main->mnuUserTool[2]->trigger();
    EXPECT_EQ(box.text, "Unable to execute command no-such-tool-anywhere");
    EXPECT_EQ(box.caption, "Error");
}
