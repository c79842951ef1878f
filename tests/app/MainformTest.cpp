#include "app/Globals.h"
#include "app/HelpWindow.h"
#include "app/Mainform.h"
#include "explorer/Child.h"
#include "shellctl/ShellControls.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace corvane::app;

namespace {

struct Frame : ::testing::Test {
    TfrmMain main;
    void SetUp() override
    {
        main.resize(1000, 700);
        main.show();
        QTest::qWait(20);
    }
};

} // namespace

TEST_F(Frame, FirstStartOpensOneMaximisedWindowOnRoot)
{
    ASSERT_EQ(main.ExplorerCount(), 1);
    QMdiSubWindow* sub = main.MdiArea()->subWindowList().first();
    EXPECT_TRUE(sub->isMaximized());
    auto* child = qobject_cast<corvane::explorer::TfrmChild*>(sub->widget());
    EXPECT_EQ(child->Tree1->SelectedPath(), "/");
    EXPECT_TRUE(main.actNewWindow->isEnabled());
    EXPECT_EQ(main.LastArrangement, ' ');
    EXPECT_EQ(CurShellTree, child->Tree1);
    EXPECT_FALSE(main.DriveButtons.empty());
    EXPECT_EQ(main.DriveButtons.front()->text(), "/");
}

TEST_F(Frame, AtMostFourWindowsAndClosingOneEnablesNewAgain)
{
    for (int i = 0; i < 5; ++i)
        main.actNewWindow->trigger();
    EXPECT_EQ(main.ExplorerCount(), 4);
    EXPECT_FALSE(main.actNewWindow->isEnabled());
    main.MdiArea()->subWindowList().first()->close();
    QTest::qWait(20);
    EXPECT_EQ(main.ExplorerCount(), 3);
    EXPECT_TRUE(main.actNewWindow->isEnabled());
}

TEST_F(Frame, NewWindowsFollowTheLastArrangement)
{
    main.actNewWindow->trigger();  // before any command: rows
    QList<QMdiSubWindow*> w = main.MdiArea()->subWindowList(QMdiArea::CreationOrder);
    ASSERT_EQ(w.size(), 2);
    EXPECT_EQ(w[0]->width(), w[1]->width());
    EXPECT_LT(w[0]->y(), w[1]->y());

    main.actTileVert->trigger();
    EXPECT_EQ(main.LastArrangement, 'V');
    main.actNewWindow->trigger();
    w = main.MdiArea()->subWindowList(QMdiArea::CreationOrder);
    ASSERT_EQ(w.size(), 3);
    EXPECT_EQ(w[0]->y(), w[2]->y());
    EXPECT_LT(w[0]->x(), w[1]->x());
    EXPECT_LT(w[1]->x(), w[2]->x());
    EXPECT_EQ(w[0]->height(), main.MdiArea()->viewport()->height());

    main.actCascade->trigger();
    EXPECT_EQ(main.LastArrangement, 'C');
    main.actNewWindow->trigger();
    w = main.MdiArea()->subWindowList(QMdiArea::CreationOrder);
    EXPECT_LT(w[0]->x(), w[3]->x());
    EXPECT_LT(w[0]->y(), w[3]->y());
}

TEST_F(Frame, ActivationPublishesTheWindowAndItsViewStyle)
{
    main.actNewWindow->trigger();
    QList<QMdiSubWindow*> w = main.MdiArea()->subWindowList(QMdiArea::CreationOrder);
    auto* first = qobject_cast<corvane::explorer::TfrmChild*>(w[0]->widget());
    first->List1->SetViewStyle(corvane::shellctl::vsSmallIcon);
    main.MdiArea()->setActiveSubWindow(w[0]);
    EXPECT_EQ(CurShellList, first->List1);
    EXPECT_TRUE(main.actSmallIcons->isChecked());
    main.actList->trigger();
    EXPECT_EQ(first->List1->ViewStyle(), corvane::shellctl::vsList);
    EXPECT_TRUE(first->chkUserTreeChange);
}

TEST_F(Frame, DriveButtonOpensItsVolumeAndF1OpensTheManual)
{
    CurShellTree->SelectPath("/usr");
    ASSERT_EQ(CurShellTree->SelectedPath(), "/usr");
    main.DriveButtons.front()->click();
    EXPECT_EQ(CurShellTree->SelectedPath(), "/");

    main.HelpContents1->trigger();
    THelpWindow* help = main.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->Browser()->toPlainText().contains("Explorer windows"));
    help->close();
}
