#include "tests/support/DialogsFixture.h"

#include "app/Globals.h"
#include "app/Launchers.h"
#include "app/Utility.h"
#include "platform/Launch.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace corvane;

TEST(RunText, SplitsAtTheFirstBlank)
{
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"notepad c:\\readme.txt", "notepad", "c:\\readme.txt"},
        {"dir /w", "dir", "/w"},
        {"gimp", "gimp", ""},
        {"a  b c", "a", " b c"},
        {" leading", "", "leading"},
        {"tab\tnot a blank", "tab\tnot", "a blank"},
        {"", "", ""},
    };
    for (const auto& [text, program, parameters] : cases) {
        const platform::RunText run = platform::SplitRunText(QString::fromUtf8(text));
        EXPECT_EQ(run.program, program) << text;
        EXPECT_EQ(run.parameters, parameters) << text;
    }
}

TEST(RunText, ParametersSplitAsTheShellDoes)
{
    const std::pair<const char*, QStringList> cases[] = {
        {"one two", {"one", "two"}},
        {"  spaced\tout \n", {"spaced", "out"}},
        {"'two words' \"and more\"", {"two words", "and more"}},
        {"it\\'s \"say \\\"hi\\\" \\n $x\"", {"it's", "say \"hi\" \\n $x"}},
        {"'' \"\"", {"", ""}},
        {"joined'to'\"gether\"", {"joinedtogether"}},
        {"'unclosed quote", {"unclosed quote"}},
        {"c:\\readme.txt", {"c:readme.txt"}},
        {"", {}},
    };
    for (const auto& [text, words] : cases)
        EXPECT_EQ(platform::SplitArguments(QString::fromUtf8(text)), words) << text;
    // An unquoted "~" at a word's start is the home folder, as in the shell.
    const QString home = QDir::homePath();
    EXPECT_EQ(platform::SplitArguments("~/notes.txt ~ '~/x' a~ \\~ ~user"),
              (QStringList{home + "/notes.txt", home, "~/x", "a~", "~", "~user"}));
}

TEST(RunText, AddressesAreToldFromPaths)
{
    for (const char* uri : {"https://example.org", "smb://server/share", "file:///tmp", "mailto:someone@example.org", "CorvaneTest://x"})
        EXPECT_TRUE(platform::LooksLikeUri(uri)) << uri;
    for (const char* path : {"/usr/bin", "readme.txt", "a:b", "~/x", "3d://x", ""})
        EXPECT_FALSE(platform::LooksLikeUri(path)) << path;
}

TEST(RunText, HistoryTakesANewTextOnTopButNotTheFirstAgain)
{
    QComboBox box;
    box.setEditable(true);
    app::AddRunHistory(&box, "ls");
    app::AddRunHistory(&box, "ls");
    EXPECT_EQ(box.count(), 1);
    app::AddRunHistory(&box, "top");
    app::AddRunHistory(&box, "ls");
    ASSERT_EQ(box.count(), 3);
    EXPECT_EQ(box.itemText(0), "ls");
    EXPECT_EQ(box.itemText(1), "top");
    EXPECT_EQ(box.itemText(2), "ls");
    EXPECT_EQ(box.currentText(), "ls");
}

namespace {

// Runs text in the run box of a main window whose current folder is a temporary folder; the
// programs are scripts in a folder on PATH (a terminal emulator among them when asked).
struct RunBox : test::MainWindowTest {
    test::TempDir dir{"notes.txt", "plain/"};
    test::TempDir bin;
    app::MsgBoxRecord box;
    std::unique_ptr<test::PathGuard> path;

    void SetUp() override
    {
        // Only the test's programs: no terminal emulator unless the test writes one.
        path = std::make_unique<test::PathGuard>(bin.path(), true);
        MainWindowTest::SetUp();
        ShowFolder(dir.path());
        app::SetMsgBoxRecorder(&box);
        QFile::remove(test::OpenedLog());
        // Writes its folder and its arguments, one a line, into the file named by its first argument.
        // One write, so that a reader never sees half of it.
        test::WriteScript(bin.filePath("corvane-probe"), "out=\"$1\"; shift; t=$(pwd)\nfor a in \"$@\"; do t=\"$t\n$a\"; done\n"
                                                         "printf '%s\\n' \"$t\" > \"$out\"\n");
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        path.reset();
    }
    void addTerminal()
    {
        // A terminal emulator that runs its command at once, with no keyboard to wait for.
        test::WriteScript(bin.filePath("x-terminal-emulator"), "[ \"$1\" = -e ] && shift\nexec \"$@\" < /dev/null > /dev/null\n");
    }
    void run(const QString& text)
    {
        main->cboRun->setEditText(text);
        main->cmdRun->click();
    }
};

} // namespace

TEST_F(RunBox, ProgramOnPathOrByPathRunsInTheCurrentFolderWithItsParameters)
{
    const QString out = dir.filePath("out1");
    run("corvane-probe " + out + " one 'two words'");
    EXPECT_EQ(test::WaitForText(out), dir.path() + "\none\ntwo words\n");
    EXPECT_EQ(main->cboRun->itemText(0), "corvane-probe " + out + " one 'two words'");

    // A path, relative to the current folder.
    QFile::copy(bin.filePath("corvane-probe"), dir.filePath("plain/probe"));
    QFile::setPermissions(dir.filePath("plain/probe"), QFile::ReadOwner | QFile::ExeOwner);
    const QString out2 = dir.filePath("out2");
    run("./plain/probe " + out2);
    EXPECT_EQ(test::WaitForText(out2), dir.path() + "\n");
    EXPECT_EQ(main->cboRun->count(), 2);
    EXPECT_TRUE(box.text.isEmpty());
}

TEST_F(RunBox, DocumentsAndAddressesOpenWithTheirDefaultApplication)
{
    run("notes.txt");
    EXPECT_EQ(test::WaitForText(test::OpenedLog()), dir.filePath("notes.txt") + "\n");
    QFile::remove(test::OpenedLog());
    run("corvanetest://server/item");
    EXPECT_EQ(test::WaitForText(test::OpenedLog()), "corvanetest://server/item\n");
    EXPECT_EQ(main->cboRun->count(), 2);
}

TEST_F(RunBox, OtherTextRunsThroughTheShellInATerminal)
{
    addTerminal();
    // The folder's name needs quoting: the wrapper must enter it all the same.
    dir.addFolder("it's a \"folder\"");
    const QString folder = dir.filePath("it's a \"folder\"");
    ShowFolder(folder);
    const QString text = "no-such-program-here 2>/dev/null; echo \"ran in $(pwd)\" > result.txt";
    run(text);
    EXPECT_EQ(test::WaitForText(folder + "/result.txt"), "ran in " + folder + "\n");
    EXPECT_EQ(main->cboRun->itemText(0), text);
    EXPECT_TRUE(box.text.isEmpty());
}

TEST_F(RunBox, NothingToStartIsReportedAndLeavesTheHistory)
{
    // No terminal emulator: the shell has nowhere to run.
    run("no-such-program-here");
    EXPECT_EQ(box.text, "Unable to run command");
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.style, unsigned(app::MB_ICONEXCLAMATION));
    EXPECT_EQ(main->cboRun->count(), 0);

    // A current folder that is gone cannot be entered.
    addTerminal();
    EXPECT_FALSE(app::RunCommandText("no-such-program-here", dir.filePath("gone")));
    EXPECT_TRUE(app::RunCommandText("true", dir.path()));

    // An empty run box starts nothing and says nothing.
    box = {};
    run("   ");
    EXPECT_TRUE(box.text.isEmpty());
}

TEST_F(RunBox, EnterInTheRunBoxRuns)
{
    const QString out = dir.filePath("enter");
    main->cboRun->setEditText("corvane-probe " + out);
    QTest::keyClick(main->cboRun->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(test::WaitForText(out), dir.path() + "\n");
}

TEST_F(RunBox, DosPromptOpensATerminalInTheCurrentFolder)
{
    main->DOSPrompt1->trigger();
    EXPECT_EQ(box.text, "Unable to run DOS prompt");
    box = {};
    const QString out = dir.filePath("prompt");
    test::WriteScript(bin.filePath("x-terminal-emulator"), "pwd > '" + out.toUtf8() + "'\n");
    main->DOSPrompt1->trigger();
    EXPECT_EQ(test::WaitForText(out), dir.path() + "\n");
    EXPECT_TRUE(box.text.isEmpty());
}

TEST_F(RunBox, ApplicationsStandInForTheAppletsWhenInstalled)
{
    EXPECT_FALSE(main->Calculator1->isEnabled());
    EXPECT_FALSE(main->ControlPanel1->isEnabled());
    EXPECT_FALSE(main->FormatDiskette1->isEnabled());
    EXPECT_FALSE(main->CopyDiskette1->isEnabled());
    EXPECT_TRUE(main->ClipboardViewer1->isEnabled());
    main->Launchers->Calculator1Click();
    EXPECT_EQ(box.text, "Unable to run Calculator");

    const QString out = dir.filePath("calc");
    test::WriteScript(bin.filePath("gnome-calculator"), "pwd > '" + out.toUtf8() + "'\n");
    test::WriteScript(bin.filePath("gnome-disks"), "true\n");
    app::TfrmMain second;
    EXPECT_TRUE(second.Calculator1->isEnabled());
    EXPECT_TRUE(second.FormatDiskette1->isEnabled());
    EXPECT_FALSE(second.ControlPanel1->isEnabled());
    EXPECT_FALSE(second.CopyDiskette1->isEnabled());
    box = {};
    second.Calculator1->trigger();
    EXPECT_EQ(test::WaitForText(out), QDir::homePath() + "\n");
    EXPECT_TRUE(box.text.isEmpty());
}
