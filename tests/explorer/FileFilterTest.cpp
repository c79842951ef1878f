#include "tests/support/DialogsFixture.h"

#include "app/Globals.h"
#include "explorer/Child.h"
#include "explorer/FileFilter.h"
#include "shellctl/ShellControls.h"
#include "tests/support/TempDir.h"

#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSet>

using namespace corvane;
using explorer::frmFileFilters;

namespace {

struct FileFilter : test::MainWindowTest {
    test::TempDir dir{"a.exe", "b.dll", "~c.exe", "d.txt", "E.EXE", "sub/"};
    explorer::TfrmChild* child = nullptr;

    void SetUp() override
    {
        MainWindowTest::SetUp();
        ShowFolder(dir.path());
        child = main->ActiveExplorer();
        ASSERT_TRUE(child);
    }
    static QSet<QString> files(explorer::TfrmChild* c)
    {
        QSet<QString> names;
        for (int i = 0; i < c->List1->Count(); ++i) {
            shellctl::TShListData* d = c->List1->DataOfIndex(i);
            if (!d->IsFolder())
                names << d->FileName();
        }
        return names;
    }
    void setTexts(const QString& filter, const QString& exclude)
    {
        frmFileFilters->cboFilter->setEditText(filter);
        frmFileFilters->cboExclude->setEditText(exclude);
    }
};

} // namespace

TEST_F(FileFilter, IncludeAndExcludeListAndCaption)
{
    setTexts("*.exe;*.dll", "~*");
    frmFileFilters->cmdOKClick();
    EXPECT_EQ(files(child), (QSet<QString>{"a.exe", "b.dll", "E.EXE"}));
    EXPECT_EQ(child->windowTitle(), dir.path() + " (*.exe;*.dll) (Excluded: ~*)");
    EXPECT_EQ(frmFileFilters->cboFilter->itemText(0), "*.exe;*.dll");
    EXPECT_EQ(frmFileFilters->cboExclude->itemText(0), "~*");

    // Several patterns, blanks trimmed, a trailing ";" adding nothing.
    setTexts("", " a.* ; d.* ;");
    frmFileFilters->cmdOKClick();
    EXPECT_EQ(files(child), (QSet<QString>{"b.dll", "~c.exe", "E.EXE"}));
    EXPECT_EQ(child->windowTitle(), dir.path() + " (Excluded: a.*; d.*)");
}

TEST_F(FileFilter, OkWithBothEmptyIsNoFilterAndAddsNoHistory)
{
    setTexts("*.txt", "");
    frmFileFilters->cmdOKClick();
    ASSERT_EQ(files(child), QSet<QString>{"d.txt"});
    // The same text twice is listed twice.
    frmFileFilters->cmdOKClick();
    EXPECT_EQ(frmFileFilters->cboFilter->count(), 2);

    setTexts("", "");
    frmFileFilters->cmdOKClick();
    EXPECT_EQ(files(child).size(), 5);
    EXPECT_EQ(child->windowTitle(), dir.path());
    EXPECT_EQ(frmFileFilters->cboFilter->count(), 2);
    EXPECT_EQ(frmFileFilters->cboExclude->count(), 0);

    setTexts("*.dll", "b*");
    frmFileFilters->cmdOKClick();
    EXPECT_TRUE(files(child).isEmpty());
    main->actNoFilter->trigger();
    EXPECT_EQ(files(child).size(), 5);
    EXPECT_EQ(child->windowTitle(), dir.path());
    EXPECT_TRUE(frmFileFilters->cboFilter->currentText().isEmpty());
    EXPECT_TRUE(frmFileFilters->cboExclude->currentText().isEmpty());
    EXPECT_EQ(frmFileFilters->cboFilter->count(), 3);
    EXPECT_EQ(frmFileFilters->cboExclude->count(), 1);
}

TEST_F(FileFilter, TextsAreSharedButEachWindowKeepsWhatItGot)
{
    setTexts("*.exe", "");
    frmFileFilters->cmdOKClick();
    explorer::TfrmChild* first = child;

    main->actNewWindow->trigger();
    explorer::TfrmChild* second = main->ActiveExplorer();
    ASSERT_NE(second, first);
    ShowFolder(dir.path());
    EXPECT_EQ(files(second).size(), 5);

    // Cancel keeps what was typed for the next OK, and applies nothing.
    setTexts("*.dll", "");
    frmFileFilters->cmdCancelClick();
    EXPECT_EQ(files(second).size(), 5);
    frmFileFilters->cmdOKClick();
    EXPECT_EQ(files(second), QSet<QString>{"b.dll"});
    EXPECT_EQ(files(first), (QSet<QString>{"a.exe", "~c.exe", "E.EXE"}));
    EXPECT_EQ(first->IncludeFilter, "*.exe");
}
