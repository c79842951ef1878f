#include "app/Utility.h"
#include "dialogs/FileOpDialogs.h"
#include "dialogs/ShellVerbUi.h"
#include "platform/Clipboard.h"
#include "platform/DragDrop.h"
#include "platform/Namespace.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellMenu.h"
#include "shellctl/ShellTree.h"
#include "tests/support/FileOpsTestSupport.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace corvane;
using namespace corvane::shellctl;
using corvane::test::TempDir;
using corvane::test::exists;

namespace {

// The send-to folder of this test run, emptied first.
QByteArray freshSendTo()
{
    const QByteArray dir = platform::SendToFolderPath();
    test::runShell("rm -rf '" + QString::fromLocal8Bit(dir) + "' && mkdir -p '" + QString::fromLocal8Bit(dir) + "'");
    return dir;
}

QMenu* sendToSubmenu(QMenu* menu)
{
    for (QAction* a : menu->actions()) {
        if (a->menu())
            return a->menu();
    }
    return nullptr;
}

QStringList texts(const QMenu* menu)
{
    QStringList out;
    for (QAction* a : menu->actions())
        out << a->text();
    return out;
}

} // namespace

TEST(SendTo, SubmenuListsTheEntriesAndAnEntryReceivesACopy)
{
    app::InstallShellVerbs();
    app::MsgBoxRecord box;
    app::SetMsgBoxRecorder(&box, app::IDYES);
    TempDir dir{"a.txt", "b.txt", "Backup/"};
    const QByteArray sendTo = freshSendTo();
    ASSERT_EQ(::symlink(dir.filePath("Backup").toLocal8Bit().constData(), (sendTo + "/Backup").constData()), 0);
    test::writeBytes(sendTo + "/Archive Tool.desktop", "[Desktop Entry]\nType=Application\nName=Archive\nExec=true %F\n");
    test::writeBytes(sendTo + "/Burn.sh", "#!/bin/sh\n", 0755);
    test::writeBytes(sendTo + "/.hidden", "");
    ::mkdir((sendTo + "/A folder").constData(), 0755);

    TShellList list;
    list.show();
    list.Folder().SetPath(dir.path());
    list.RefreshList();
    for (int i = 0; i < list.Count(); ++i) {
        if (list.DataOfIndex(i)->FileName().endsWith(".txt"))
            list.SelectionModel()->select(list.Model()->index(i, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QStringList before, after;
    QStringList hints;
    list.OnPopupHint = [&](QObject*, const QString& h) { hints << h; };
    SetShellMenuChooser([&](QMenu* menu) {
        QMenu* sub = sendToSubmenu(menu);
        if (!sub)
            return 0;
        before = texts(sub);
        emit sub->aboutToShow();
        after = texts(sub);
        for (QAction* a : sub->actions()) {
            emit menu->hovered(a);
            if (a->text() == "&Backup")
                return a->data().toInt();
        }
        return 0;
    });
    list.ShowContextMenu(QPoint(1, 1));
    SetShellMenuChooser(nullptr);
    EXPECT_EQ(before, QStringList{"(empty)"});
    // Sorted, without extensions; folders and hidden files left out.
    EXPECT_EQ(after, (QStringList{"&Archive Tool", "&Backup", "&Burn"}));
    EXPECT_EQ(hints.last(), QString());
    EXPECT_TRUE(exists(dir.pathBytes() + "/Backup/a.txt"));
    EXPECT_TRUE(exists(dir.pathBytes() + "/Backup/b.txt"));
    EXPECT_TRUE(exists(dir.pathBytes() + "/a.txt"));

    // The first letter: shared by two entries it moves between them, alone it runs the entry.
    QMenu menu;
    menu.addAction("(empty)")->setEnabled(false);
    ASSERT_TRUE(ServeSendToMenu(&menu));
    QSignalSpy triggered(&menu, &QMenu::triggered);
    menu.popup(QPoint(0, 0));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    QTest::keyClick(&menu, Qt::Key_B);
    ASSERT_TRUE(menu.activeAction());
    EXPECT_EQ(menu.activeAction()->text(), QString("&Backup"));
    EXPECT_EQ(triggered.count(), 0);
    QTest::keyClick(&menu, Qt::Key_B);
    EXPECT_EQ(menu.activeAction()->text(), QString("&Burn"));
    QTest::keyClick(&menu, Qt::Key_A);
    ASSERT_EQ(triggered.count(), 1);
    EXPECT_EQ(triggered.first().first().value<QAction*>()->text(), QString("&Archive Tool"));

    // A submenu that does not open with one grayed item is not ours.
    QMenu other;
    other.addAction("x");
    EXPECT_FALSE(ServeSendToMenu(&other));
    app::SetMsgBoxRecorder(nullptr);
}

TEST(SendTo, AnEntryThatWentAwayIsReported)
{
    TempDir dir{"a.txt"};
    const QByteArray sendTo = freshSendTo();
    test::writeBytes(sendTo + "/Gone.sh", "#!/bin/sh\n", 0755);
    QMenu menu;
    menu.addAction("(empty)")->setEnabled(false);
    ServeSendToMenu(&menu);
    const int index = int(SendToNames().indexOf("Gone.sh"));
    ASSERT_GE(index, 0);
    ::unlink((sendTo + "/Gone.sh").constData());
    QMimeData data;
    data.setData("text/uri-list", "file://" + dir.pathBytes() + "/a.txt\r\n");
    EXPECT_THROW(InvokeSendTo(nullptr, index, &data), EShellError);
}

namespace {

// The id of the send-to entry with this caption, after the submenu has opened; 0 when none.
int sendToEntry(QMenu* menu, const QString& caption)
{
    QMenu* sub = sendToSubmenu(menu);
    if (!sub)
        return 0;
    emit sub->aboutToShow();
    for (QAction* a : sub->actions()) {
        if (a->text() == caption)
            return a->data().toInt();
    }
    return 0;
}

struct MenuFixture : ::testing::Test {
    void SetUp() override
    {
        app::InstallShellVerbs();
        app::SetMsgBoxRecorder(&box, app::IDYES);
        app::SetFileOpAnswerers({});
    }
    void TearDown() override
    {
        SetShellMenuChooser(nullptr);
        app::SetMsgBoxRecorder(nullptr);
    }
    app::MsgBoxRecord box;
};

} // namespace

// The menu runs its own event loop; what happens to the controls meanwhile decides nothing:
// the entry gets the items the menu was opened for, or nothing when they are gone.
TEST_F(MenuFixture, SendToGoesToTheItemsTheMenuWasOpenedFor)
{
    TempDir dir{"a.txt", "b.txt", "Backup/"};
    const QByteArray sendTo = freshSendTo();
    ASSERT_EQ(::symlink(dir.filePath("Backup").toLocal8Bit().constData(), (sendTo + "/Backup").constData()), 0);
    const QByteArray root = dir.pathBytes();

    TShellList list;
    list.show();
    list.Folder().SetPath(dir.path());
    auto selectB = [&] {
        for (int i = 0; i < list.Count(); ++i) {
            if (list.DataOfIndex(i)->FileName() == "b.txt")
                list.SelectionModel()->setCurrentIndex(list.Model()->index(i, 0),
                                                       QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
    };
    // Filled again: the selection is gone, the item is still there.
    selectB();
    SetShellMenuChooser([&](QMenu* menu) {
        list.FillList();
        return sendToEntry(menu, "&Backup");
    });
    list.ShowContextMenu(QPoint(1, 1));
    EXPECT_TRUE(exists(root + "/Backup/b.txt"));
    EXPECT_FALSE(exists(root + "/Backup/a.txt"));
    // Removed meanwhile: nothing is sent, in particular not what is selected now.
    ::unlink((root + "/Backup/b.txt").constData());
    selectB();
    SetShellMenuChooser([&](QMenu* menu) {
        ::unlink((root + "/b.txt").constData());
        list.RefreshList();
        list.SelectAll();
        return sendToEntry(menu, "&Backup");
    });
    list.ShowContextMenu(QPoint(1, 1));
    EXPECT_TRUE(QDir(dir.filePath("Backup")).isEmpty());

    // The tree: a node deleted by a refresh sends nothing; one made anew by a reset is sent.
    dir.addFile("f/x.txt", "x");
    TShellTree tree;
    tree.show();
    for (bool gone : {false, true}) {
        SCOPED_TRACE(gone);
        tree.SelectPath(dir.filePath("f"));
        ASSERT_EQ(tree.SelectedPath(), dir.filePath("f"));
        SetShellMenuChooser([&](QMenu* menu) {
            if (gone) {
                QDir(dir.filePath("f")).removeRecursively();
                tree.RefreshTree();
            } else {
                tree.ResetTree();
            }
            return sendToEntry(menu, "&Backup");
        });
        tree.ShowContextMenu(tree.SelectedNode(), QPoint(1, 1));
        EXPECT_EQ(exists(root + "/Backup/f/x.txt"), !gone);
        QDir(dir.filePath("Backup/f")).removeRecursively();
    }
}

// A right-button drop asks in a menu; the tree may go while it is open (its window closed),
// and the menu with it.
TEST_F(MenuFixture, ATreeThatGoesWhileItsDropMenuIsOpen)
{
    TempDir dir{"dest/", "one.txt"};
    const QByteArray root = dir.pathBytes();
    auto* tree = new TShellTree;
    tree->resize(300, 400);
    tree->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tree));
    tree->BaseFolder().SetPath(dir.path());
    tree->SelectPath(dir.filePath("dest"));
    const QPoint at = tree->visualItemRect(tree->currentItem()).center();
    QPointer<QWidget> alive(tree);
    SetShellMenuChooser([&](QMenu*) {
        delete tree;
        return int(platform::DROPEFFECT_COPY);
    });
    QMimeData data;
    data.setData("text/uri-list", platform::PathToFileUri(root + "/one.txt") + "\r\n");
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, offered, &data, Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, offered, &data, Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &move);
    QDropEvent drop(at, offered, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(tree->viewport(), &drop);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !alive; }));
    // The menu went with the window, so nothing was chosen.
    QTest::qWait(50);
    EXPECT_FALSE(exists(root + "/dest/one.txt"));
    EXPECT_TRUE(exists(root + "/one.txt"));
}
