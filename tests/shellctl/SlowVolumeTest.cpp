// The controls on a volume that stops answering (a network share gone away, a stuck FUSE
// daemon): what they show is never asked of the volume again on the user-interface thread.
#include "shellctl/ShellControls.h"
#include "tests/support/StallFs.h"

#include "core/Job.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeNodes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

using namespace corvane::shellctl;
using corvane::test::childNamed;
using corvane::test::StallFs;
using corvane::test::TempDir;

TEST(SlowVolume, ListShowsDetailsWithoutAskingTheVolume)
{
    StallFs fs{"sub/", "a.txt", "notes.md"};
    ASSERT_TRUE(fs.ok());
    TShellList list;
    list.SetViewStyle(vsReport);
    list.resize(700, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.Folder().SetPath(fs.path());
    ASSERT_EQ(list.Count(), 3);
    fs.Stall();
    // Everything the view asks for, then a paint.
    QAbstractItemModel* model = list.ShellModel();
    QStringList sizes;
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 0; column < model->columnCount(); ++column) {
            for (int role : {Qt::DisplayRole, Qt::DecorationRole, Qt::ForegroundRole, Qt::TextAlignmentRole, Qt::ToolTipRole})
                model->data(model->index(row, column), role);
        }
        sizes << model->data(model->index(row, 0)).toString() + "=" + model->data(model->index(row, 1)).toString();
        EXPECT_FALSE(model->data(model->index(row, 3)).toString().isEmpty());
    }
    list.ReportView()->viewport()->repaint();
    list.grab();
    EXPECT_EQ(fs.GuardedTouches(), 0);
    EXPECT_EQ(sizes, (QStringList{"sub=", "a.txt=1KB", "notes.md=1KB"}));
    EXPECT_TRUE(list.DataOfIndex(0)->IsFolder());
    EXPECT_EQ(fs.GuardedTouches(), 0);
    fs.Release();
}

TEST(SlowVolume, TreeShowsExpandersWithoutReadingTheFolders)
{
    StallFs fs{"full/inner/", "empty/", "file.txt"};
    ASSERT_TRUE(fs.ok());
    TShellTree tree;
    tree.BaseFolder().SetPath(fs.path());
    QTreeWidgetItem* root = tree.topLevelItem(0);
    ASSERT_TRUE(root);
    QTreeWidgetItem* full = childNamed(root, "full");
    QTreeWidgetItem* empty = childNamed(root, "empty");
    ASSERT_TRUE(full && empty);
    EXPECT_EQ(full->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(empty->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(fs.CountOf("opendir", "/full"), 0);
    EXPECT_EQ(fs.CountOf("opendir", "/empty"), 0);
    // The first expansion reads the folder and tells.
    empty->setExpanded(true);
    EXPECT_EQ(fs.CountOf("opendir", "/empty"), 1);
    EXPECT_EQ(empty->childCount(), 0);
    EXPECT_NE(empty->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    full->setExpanded(true);
    ASSERT_EQ(full->childCount(), 1);
    EXPECT_EQ(full->child(0)->text(0), "inner");
}

// A folder on a volume that stops answering is read off the user-interface thread: the list
// shows itself busy while the rest stays usable, and the window closes without waiting.
TEST(SlowVolume, ListingAFolderThatDoesNotAnswerLeavesTheWindowsResponsive)
{
    TempDir dir{"share/", "local/here.txt"};
    StallFs fs(dir.pathBytes() + "/share", {"inside.txt", "deeper/"}, "sshfs");
    ASSERT_TRUE(fs.ok());
    TShellList::SetListingWait(50);
    struct RestoreWait {
        ~RestoreWait() { TShellList::SetListingWait(20000); }
    } restore;

    auto window = std::make_unique<QWidget>();
    auto* layout = new QHBoxLayout(window.get());
    auto* tree = new TShellTree;
    auto* list = new TShellList;
    layout->addWidget(tree);
    layout->addWidget(list);
    tree->SetShellList(list);
    tree->BaseFolder().SetPath(dir.path());
    window->resize(700, 400);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    QTreeWidgetItem* root = tree->topLevelItem(0);
    ASSERT_TRUE(root);
    root->setExpanded(true);
    QTreeWidgetItem* share = childNamed(root, "share");
    QTreeWidgetItem* local = childNamed(root, "local");
    ASSERT_TRUE(share && local);

    fs.Stall();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(share).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Listing(); }, 10000));
    ASSERT_TRUE(fs.WaitForBlocked(10000));
    EXPECT_EQ(list->Count(), 0);
    auto* busy = list->findChild<QLabel*>();
    ASSERT_TRUE(busy);
    EXPECT_TRUE(busy->isVisible());

    // Another window is used meanwhile: its list takes clicks.
    TempDir other{"one.txt", "two.txt"};
    TShellList second;
    second.SetViewStyle(vsReport);
    second.resize(400, 200);
    second.Folder().SetPath(other.path());
    second.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&second));
    ASSERT_EQ(second.Count(), 2);
    QTreeView* view = second.ReportView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(second.ShellModel()->index(1, 0)).center());
    ASSERT_TRUE(second.SelectedData());
    EXPECT_EQ(second.SelectedData()->DisplayName(), "two.txt");

    // The tree moves elsewhere, and the list follows it there.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(local).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Count() == 1 && !list->Listing(); }, 10000));
    EXPECT_EQ(list->DataOfIndex(0)->DisplayName(), "here.txt");
    EXPECT_FALSE(busy->isVisible());

    // Back to the silent folder, then the window closes while the volume still says nothing.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(share).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->Listing(); }, 10000));
    window.reset();
    EXPECT_EQ(fs.GuardedTouches(), 0);
    fs.Release();
    EXPECT_TRUE(corvane::core::WaitForAbandonedJobs(10000));
}

// Going to a silent volume by its path, as the drive buttons do, asks it nothing on the way.
TEST(SlowVolume, GoingToASilentVolumeByPathDoesNotWait)
{
    StallFs fs{"inside.txt"};
    ASSERT_TRUE(fs.ok());
    TShellList::SetListingWait(0);
    struct RestoreWait {
        ~RestoreWait() { TShellList::SetListingWait(20000); }
    } restore;
    TShellTree tree;
    TShellList list;
    tree.SetShellList(&list);
    fs.Stall();
    tree.SelectPath(fs.path());
    EXPECT_EQ(tree.SelectedPath(), fs.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.Listing(); }, 10000));
    EXPECT_EQ(fs.GuardedTouches(), 0);
    fs.Release();
    QSignalSpy finished(&list, &TShellList::fillFinished);
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(list.Count(), 1);
}

// A refresh of the tree (after a new folder, a rename, F5) asks nothing of a volume mounted in
// a folder it shows.
TEST(SlowVolume, TreeRefreshDoesNotAskASilentVolume)
{
    TempDir dir{"share/", "local/"};
    StallFs fs(dir.pathBytes() + "/share", {"inside/"}, "sshfs");
    ASSERT_TRUE(fs.ok());
    TShellTree tree;
    tree.BaseFolder().SetPath(dir.path());
    QTreeWidgetItem* root = tree.topLevelItem(0);
    ASSERT_TRUE(root);
    root->setExpanded(true);
    ASSERT_TRUE(childNamed(root, "share"));
    fs.Stall();
    dir.addFolder("added");
    tree.RefreshTree();
    EXPECT_EQ(fs.GuardedTouches(), 0);
    EXPECT_TRUE(childNamed(root, "added"));
    EXPECT_TRUE(childNamed(root, "share"));
    fs.Release();
}

// What a folder that answers late shows is what it would have shown at once, and the events
// come in their order: the fill's start, the items, its completion.
TEST(SlowVolume, LateListingShowsTheFolderAndPairsItsEvents)
{
    StallFs fs{"b.txt", "a.txt", "sub/"};
    ASSERT_TRUE(fs.ok());
    TShellList::SetListingWait(0);
    struct RestoreWait {
        ~RestoreWait() { TShellList::SetListingWait(20000); }
    } restore;
    TShellList list;
    QStringList events;
    list.OnFillStart = [&](QObject*) { events << "start"; };
    list.OnAddItem = [&](QObject*, const auto&, const auto&, const auto&, std::uint32_t, bool&) { events << "add"; };
    list.OnFillComplete = [&](QObject*) { events << "complete"; };
    QSignalSpy finished(&list, &TShellList::fillFinished);
    fs.Stall();
    list.Folder().SetPath(fs.path());
    EXPECT_TRUE(list.Listing());
    EXPECT_EQ(events, QStringList{"start"});
    fs.Release();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(events, (QStringList{"start", "add", "add", "add", "complete"}));
    QStringList names;
    for (int row = 0; row < list.Count(); ++row)
        names << list.DataOfIndex(row)->DisplayName();
    EXPECT_EQ(names, (QStringList{"sub", "a.txt", "b.txt"}));
}
