#include "app/FileOpDialogs.h"
#include "app/ShellVerbUi.h"
#include "app/Utility.h"
#include "platform/Namespace.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellMenu.h"
#include "tests/fileops/FileOpsTestSupport.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
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
