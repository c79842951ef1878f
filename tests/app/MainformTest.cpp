#include "app/Globals.h"
#include "app/HelpWindow.h"
#include "app/Mainform.h"
#include "app/Utility.h"
#include "platform/Namespace.h"
#include "reports/FolderSize.h"
#include "platform/Registry.h"
#include "explorer/Child.h"
#include "shellctl/ShellControls.h"
#include "explorer/StatusBar.h"
#include "platform/Volumes.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include "shellctl/HeaderSortView.h"
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTextBrowser>
#include <QTemporaryDir>
#include "explorer/History.h"
#include "settings/PFormSettings.h"
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace corvane::app;

namespace {

struct Frame : ::testing::Test {
    // Every test starts as on a fresh installation.
    Frame() { corvane::platform::setCurrentUserHive(corvane::platform::Hive::inMemory()); }
    TfrmMain main;
    void SetUp() override
    {
        main.resize(1000, 700);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    }
};

} // namespace

TEST_F(Frame, FirstStartOpensOneMaximisedWindowOnRoot)
{
    ASSERT_EQ(main.ExplorerCount(), 1);
    QMdiSubWindow* sub = main.MdiArea()->subWindowList().first();
    EXPECT_TRUE(sub->isMaximized());
    auto* child = qobject_cast<corvane::explorer::TfrmChild*>(sub->widget());
    EXPECT_EQ(child->Tree1->SelectedPath(), QDir::homePath());
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
    // The window goes, and New is enabled again, from the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.ExplorerCount() == 3 && main.actNewWindow->isEnabled(); }, 30000));
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

// Arrange Icons checks the active list's order, also one chosen with a click on the header.
TEST_F(Frame, ArrangeIconsChecksTheOrderOfTheActiveList)
{
    corvane::test::TempDir dir{"a.txt", "b.doc"};
    CurShellTree->SelectPath(dir.path());
    CurShellList->SetViewStyle(corvane::shellctl::vsReport);
    QHeaderView* header = CurShellList->Header();
    ASSERT_TRUE(QTest::qWaitFor([&] { return header->isVisible(); }));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + header->sectionSize(1) / 2, header->height() / 2));
    QMenu* arrange = qobject_cast<QMenu*>(main.ByName1->parent());
    ASSERT_NE(arrange, nullptr);
    arrange->popup(QPoint(0, 0));
    EXPECT_TRUE(main.BySize1->isChecked());
    EXPECT_FALSE(main.ByName1->isChecked());
    arrange->close();
    main.ByExtension1->trigger();
    arrange->popup(QPoint(0, 0));
    EXPECT_TRUE(main.ByExtension1->isChecked());
    EXPECT_FALSE(main.BySize1->isChecked());
    arrange->close();
}

TEST_F(Frame, DriveButtonOpensItsVolumeAndF1OpensTheManual)
{
    QTemporaryDir dir;
    CurShellTree->SelectPath(dir.path());
    ASSERT_EQ(CurShellTree->SelectedPath(), dir.path());
    main.DriveButtons.front()->click();
    EXPECT_EQ(CurShellTree->SelectedPath(), "/");

    main.HelpContents1->trigger();
    THelpWindow* help = main.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->Browser()->toPlainText().contains("Explorer windows"));
    help->close();
}

TEST_F(Frame, HistoryBackForwardAndMenus)
{
    auto* child = main.ActiveExplorer();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->lstHistory->Count(), 1);
    EXPECT_FALSE(main.actBack->isEnabled());
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("usr/bin") && QDir(dir.path()).mkpath("tmp"));
    const QString usr = dir.filePath("usr"), bin = dir.filePath("usr/bin"), tmp = dir.filePath("tmp");
    CurShellTree->SelectPath(usr);
    CurShellTree->SelectPath(bin);
    EXPECT_EQ(child->lstHistory->Count(), 3);
    EXPECT_EQ(child->lstHistory->ItemIndex(), 2);
    EXPECT_TRUE(main.actBack->isEnabled());
    EXPECT_FALSE(main.actForward->isEnabled());

    main.actBack->trigger();
    main.actBack->trigger();
    EXPECT_EQ(CurShellTree->SelectedPath(), QDir::homePath());
    EXPECT_EQ(child->lstHistory->ItemIndex(), 0);
    EXPECT_FALSE(main.actBack->isEnabled());
    EXPECT_TRUE(main.actForward->isEnabled());
    EXPECT_EQ(child->lstHistory->Count(), 3);  // moving does not record

    CurShellTree->SelectPath(tmp);
    EXPECT_EQ(child->lstHistory->Items(), (QStringList{QDir::homePath(), usr, bin, tmp}));
    EXPECT_EQ(child->lstHistory->ItemIndex(), 3);
    EXPECT_FALSE(main.actForward->isEnabled());

    main.mnuBackPopup();
    QList<QAction*> items = main.mnuBack->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "&1 " + bin);
    EXPECT_EQ(items[1]->text(), "&2 " + usr);
    EXPECT_EQ(items[2]->text(), "&3 " + QDir::homePath());
    main.JumpToHistoryEntry(items[1]);
    EXPECT_EQ(CurShellTree->SelectedPath(), usr);
    EXPECT_EQ(child->lstHistory->ItemIndex(), 1);
    EXPECT_TRUE(main.actBack->isEnabled());
    EXPECT_TRUE(main.actForward->isEnabled());
    main.mnuForwardPopup();
    EXPECT_EQ(main.mnuForward->actions().size(), 2);  // usr/bin and tmp; usr is shown

    // The user's next change is recorded again; Up selects the parent.
    main.actUpExecute();
    EXPECT_EQ(CurShellTree->SelectedPath(), dir.path());
    EXPECT_EQ(child->lstHistory->Count(), 5);
}

TEST(FrameSettings, ExplorerWindowsComeBackAtTheirBoundsStatesAndViews)
{
    QTemporaryDir dir;
    corvane::platform::setCurrentUserHive(corvane::platform::Hive::open(dir.filePath("registry.sqlite3")));
    std::vector<QRect> saved;
    {
        TfrmMain first;
        first.resize(1000, 700);
        first.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&first));
        first.actNewWindow->trigger();
        first.actNewWindow->trigger();
        first.actTileVert->trigger();
        auto windows = first.MdiArea()->subWindowList(QMdiArea::CreationOrder);
        ASSERT_EQ(windows.size(), 3);
        // The last window, active after a restart, in a style other than the first one's.
        const corvane::shellctl::TViewStyle styles[] = {corvane::shellctl::vsIcon, corvane::shellctl::vsReport,
                                                         corvane::shellctl::vsList};
        for (int i = 0; i < 3; ++i) {
            qobject_cast<corvane::explorer::TfrmChild*>(windows[i]->widget())->List1->SetViewStyle(styles[i]);
            saved.push_back(windows[i]->geometry());
        }
        first.close();
    }
    {
        TfrmMain second;
        second.resize(1000, 700);
        second.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
        auto windows = second.MdiArea()->subWindowList(QMdiArea::CreationOrder);
        ASSERT_EQ(windows.size(), 3);
        for (int i = 0; i < 3; ++i) {
            auto* child = qobject_cast<corvane::explorer::TfrmChild*>(windows[i]->widget());
            EXPECT_EQ(windows[i]->geometry(), saved[size_t(i)]) << i;
            EXPECT_EQ(child->List1->ViewStyle(), i == 0 ? corvane::shellctl::vsIcon : i == 1 ? corvane::shellctl::vsReport : corvane::shellctl::vsList);
            EXPECT_EQ(child->Tree1->SelectedPath(), QDir::homePath());
        }
        // The toolbar and the View menu show the active window's style.
        EXPECT_TRUE(second.actList->isChecked());
        EXPECT_FALSE(second.actDetails->isChecked());
        EXPECT_EQ(second.PFormSettings1->SettingByName("MaxPreviewSize").AsInteger(), 1000);
    }
    corvane::platform::setCurrentUserHive(corvane::platform::Hive::inMemory());
}

TEST_F(Frame, HistoryMenuEntriesBelongToTheirWindow)
{
    auto* first = main.ActiveExplorer();
    ASSERT_NE(first, nullptr);
    CurShellTree->SelectPath("/usr");
    CurShellTree->SelectPath("/tmp");
    main.mnuBackPopup();
    QList<QAction*> entries = main.mnuBack->actions();
    ASSERT_EQ(entries.size(), 2);
    // While the menu is open its window is closed; another one is active then.
    main.actNewWindow->trigger();
    auto* second = main.ActiveExplorer();
    ASSERT_NE(second, first);
    second->Tree1->SelectPath("/usr/share");
    const QStringList history = second->lstHistory->Items();
    const int index = second->lstHistory->ItemIndex();
    main.MdiArea()->subWindowList(QMdiArea::CreationOrder).first()->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.ActiveExplorer() == second; }));
    emit main.mnuBack->triggered(entries[0]);
    EXPECT_EQ(second->Tree1->SelectedPath(), "/usr/share");
    EXPECT_EQ(second->lstHistory->Items(), history);
    EXPECT_EQ(second->lstHistory->ItemIndex(), index);
}

TEST_F(Frame, ExpandDriveExpandsTheVolumeThatHoldsTheFolder)
{
    corvane::test::TempDir dir{corvane::test::TempDir::InMediaPlace{}, {"outside/deeper/", "mnt/"}};
    corvane::test::TmpfsMount volume(dir.pathBytes() + "/mnt", "1m");
    ASSERT_TRUE(volume.ok());
    const QString mnt = dir.filePath("mnt");
    QDir().mkpath(mnt + "/a/b/c");
    for (int i = 0; i < 20; ++i)
        QDir().mkpath(mnt + "/d/e" + QString::number(i) + "/f");
    // The volume list is read again when the mount table has changed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return corvane::platform::VolumeRootOf(mnt.toUtf8() + "/a") == mnt.toUtf8(); }));
    CurShellTree->SelectPath(dir.filePath("outside"));
    QTreeWidgetItem* outside = CurShellTree->currentItem();
    CurShellTree->SelectPath(mnt + "/a/b");

    CurShellTree->ExpandPassBudget = 0;
    main.actExpandDrive->trigger();
    EXPECT_EQ(CurShellTree->SelectedPath(), mnt);
    // The text stays while the window's own updates of the panel come and go.
    QTest::qWait(0);
    ASSERT_TRUE(CurShellTree->Expanding());
    EXPECT_EQ(CurStatusBar->PanelText(2), " Expanding drive");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !CurShellTree->Expanding(); }));
    EXPECT_EQ(CurStatusBar->PanelText(2), QString());
    ASSERT_TRUE(QTest::qWaitFor([&] { return CurStatusBar->findChild<QToolButton*>("cmdCancelExpand") == nullptr; }));
    QTreeWidgetItem* root = CurShellTree->currentItem();
    EXPECT_TRUE(root->isExpanded());
    ASSERT_EQ(root->childCount(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(root->child(i)->isExpanded()) << root->child(i)->text(0).toStdString();
    // Nothing outside the volume was expanded.
    EXPECT_FALSE(outside->isExpanded());

    main.actCollapseDrive->trigger();
    EXPECT_FALSE(root->isExpanded());
    EXPECT_FALSE(root->child(0)->isExpanded());
}

TEST_F(Frame, ExpandFolderCanBeCancelledFromTheStatusBar)
{
    corvane::test::TempDir dir;
    for (int i = 0; i < 10; ++i)
        dir.addFolder("f" + QByteArray::number(i) + "/g");
    CurShellTree->SelectPath(dir.path());
    CurShellTree->ExpandPassBudget = 0;
    main.actExpandFolder->trigger();
    EXPECT_EQ(CurStatusBar->PanelText(2), " Expanding folder");
    auto* cancel = CurStatusBar->findChild<QToolButton*>("cmdCancelExpand");
    ASSERT_NE(cancel, nullptr);
    QTest::qWait(0);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(CurShellTree->Expanding());
    EXPECT_TRUE(CurStatusBar->PanelText(2).startsWith(" Disk free space")) << CurStatusBar->PanelText(2).toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return CurStatusBar->findChild<QToolButton*>("cmdCancelExpand") == nullptr; }));
    int expanded = 0;
    QTreeWidgetItem* top = CurShellTree->currentItem();
    for (int i = 0; i < top->childCount(); ++i)
        expanded += top->child(i)->isExpanded() ? 1 : 0;
    EXPECT_LT(expanded, 10);
}

TEST_F(Frame, BackAndForwardFollowTheWindowThatBecomesActive)
{
    auto* first = main.ActiveExplorer();
    QTemporaryDir dir;
    CurShellTree->SelectPath(dir.path());
    ASSERT_TRUE(main.actBack->isEnabled());
    main.actNewWindow->trigger();
    EXPECT_FALSE(main.actBack->isEnabled());
    main.MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
    EXPECT_TRUE(main.actBack->isEnabled());
    EXPECT_FALSE(main.actForward->isEnabled());
}

TEST_F(Frame, OpenWithOnASelectionAsksForTheFirstItem)
{
    corvane::test::TempDir dir{"a.txt", "b.txt"};
    CurShellTree->SelectPath(dir.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return CurShellList->Count() == 2; }));
    CurShellList->setFocus();
    CurShellList->SelectAll();
    ASSERT_EQ(CurShellList->SelCount(), 2);
    QString shown;
    QTimer::singleShot(0, &main, [&] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        for (QLabel* l : dlg->findChildren<QLabel*>())
            shown += l->text();
        dlg->close();
    });
    main.OpenWithAssociate1->setEnabled(true);
    main.OpenWithAssociate1->trigger();
    EXPECT_TRUE(shown.contains("a.txt")) << shown.toStdString();
}

TEST_F(Frame, AmpersandsInPathsShowInTheHistoryAndWindowMenus)
{
    corvane::test::TempDir dir{"R&D/", "x/"};
    const QString amp = dir.filePath("R&D");
    CurShellTree->SelectPath(amp);
    CurShellTree->SelectPath(dir.filePath("x"));
    main.mnuBackPopup();
    QAction* entry = main.mnuBack->actions().value(0);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), "&1 " + QString(amp).replace("&", "&&"));
    main.JumpToHistoryEntry(entry);
    EXPECT_EQ(CurShellTree->SelectedPath(), amp);

    emit main.Window1->aboutToShow();
    const QList<QAction*> items = main.Window1->actions();
    EXPECT_EQ(items.last()->text(), "&1 " + QString(amp).replace("&", "&&"));
}

TEST_F(Frame, CtrlKeypadPlusAndMinusExpandAndCollapseTheFolder)
{
    corvane::test::TempDir dir{"a/b/c/", "d/e/"};
    CurShellTree->SelectPath(dir.path());
    QTreeWidgetItem* top = CurShellTree->currentItem();
    CurShellTree->setFocus();
    // Under X (QT_QPA_PLATFORM=xcb) the keypad modifier kept these keys from their shortcuts.
    const Qt::KeyboardModifiers mods = Qt::ControlModifier | Qt::KeypadModifier;
    QTest::keyClick(CurShellTree, Qt::Key_Plus, mods);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !CurShellTree->Expanding() && top->childCount() == 2 && top->child(0)->isExpanded(); }));
    EXPECT_TRUE(top->child(1)->isExpanded());
    QTest::keyClick(CurShellTree, Qt::Key_Minus, mods);
    EXPECT_FALSE(top->isExpanded());
    EXPECT_FALSE(top->child(0)->isExpanded());
}

TEST_F(Frame, CtrlF4ClosesTheActiveExplorerWindow)
{
    main.actNewWindow->trigger();
    ASSERT_EQ(main.ExplorerCount(), 2);
    QMdiSubWindow* active = main.MdiArea()->activeSubWindow();
    QTest::keyClick(CurShellTree, Qt::Key_F4, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.ExplorerCount() == 1; }));
    EXPECT_FALSE(main.MdiArea()->subWindowList().contains(active));
}

TEST_F(Frame, HelpWindowGoesBackAndHome)
{
    main.HelpContents1->trigger();
    THelpWindow* help = main.findChild<THelpWindow*>();
    ASSERT_NE(help, nullptr);
    const QUrl home = help->Browser()->source();
    EXPECT_FALSE(help->cmdBack->isEnabled());
    help->Browser()->setSource(QUrl(home.toString() + "#drives"));
    help->Browser()->setSource(QUrl(home.toString() + "#tree"));
    ASSERT_TRUE(help->cmdBack->isEnabled());
    QTest::mouseClick(help->cmdBack, Qt::LeftButton);
    EXPECT_EQ(help->Browser()->source().fragment(), "drives");
    QTest::mouseClick(help->cmdHome, Qt::LeftButton);
    EXPECT_EQ(help->Browser()->source(), home);
    help->close();
}

TEST(FrameLooks, FirstStartFitsTheToolbarAndButtonsShowTheirState)
{
    corvane::platform::setCurrentUserHive(corvane::platform::Hive::inMemory());
    TfrmMain main;
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    const QRect avail = main.screen()->availableGeometry();
    EXPECT_GE(main.width(), qMin(main.ToolBar1->sizeHint().width(), avail.width() * 9 / 10));
    EXPECT_GE(main.height(), avail.height() * 3 / 4 - 1);
    EXPECT_LE(main.width(), avail.width());
    EXPECT_LE(main.height(), avail.height());
    // Every button has a picture, and a disabled one looks different from an enabled one.
    for (QAction* a : main.ToolBar1->actions()) {
        if (a->isSeparator())
            continue;
        const QImage on = a->icon().pixmap(16, QIcon::Normal).toImage();
        const QImage off = a->icon().pixmap(16, QIcon::Disabled).toImage();
        int inked = 0;
        for (int y = 0; y < on.height(); ++y)
            for (int x = 0; x < on.width(); ++x)
                inked += qAlpha(on.pixel(x, y)) > 0;
        EXPECT_GT(inked, 0) << a->toolTip().toStdString();
        EXPECT_NE(on, off) << a->toolTip().toStdString();
    }
}

TEST_F(Frame, CommandsOnAWindowAreOffWhileNoneIsOpen)
{
    main.Encrypt1->setEnabled(true);
    main.MdiArea()->closeAllSubWindows();
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.ExplorerCount() == 0 && !main.actDelete->isEnabled(); }));
    for (QAction* a : {main.Encrypt1, main.Decrypt1, main.actDelete, main.Open1, main.actCut, main.actCopy, main.actPaste,
                       main.actNoFilter, main.actFileFilter, main.GoToFolder1, main.SelectAll1, main.actUp})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(main.actNewWindow->isEnabled());
    main.actNewWindow->trigger();
    EXPECT_TRUE(main.actDelete->isEnabled());
    EXPECT_TRUE(main.Open1->isEnabled());
}

// Folder Sizes reports the tree's folder; the Trash has no folders on disk and says so. System
// Information is offered.
TEST_F(Frame, FolderSizesAndSystemInformationCommands)
{
    corvane::test::TempDir dir{"sub/a.txt"};
    CurShellTree->SelectPath(dir.path());
    QString title;
    int rows = -1;
    QTimer::singleShot(0, [&] {
        auto* form = corvane::reports::frmFolderSize;
        EXPECT_TRUE(QTest::qWaitFor([&] { return form->cmdClose->isEnabled(); }, 20000));
        title = form->windowTitle();
        rows = form->Grid1->model()->rowCount();
        QTest::mouseClick(form->cmdClose, Qt::LeftButton);
    });
    main.FolderSizes1->trigger();
    EXPECT_EQ(title, "Folder Sizes - " + dir.path());
    EXPECT_EQ(rows, 2);

    corvane::platform::PItemIDList trash;
    corvane::platform::SHGetSpecialFolderLocation(corvane::platform::CSIDL_BITBUCKET, trash);
    CurShellTree->SelectIdList(trash);
    MsgBoxRecord said;
    SetMsgBoxRecorder(&said);
    main.FolderSizes1->trigger();
    SetMsgBoxRecorder(nullptr);
    EXPECT_EQ(said.text, "\"Trash\" is not a folder on disk, so it has no folder sizes to report.");

    EXPECT_TRUE(main.SystemInformation1->isVisible());
    EXPECT_TRUE(main.SystemInformation1->isEnabled());
}
