// The tree refreshes itself when a folder it has loaded changes: folders deleted by other
// programs vanish, its own renames are not refreshed again, and keyboard movement does not
// swallow a refresh.
#include "WatchWindows.h"
#include "tests/support/StallFs.h"
#include "tests/support/TempDir.h"
#include "tests/support/TmpfsMount.h"
#include "tests/support/TreeNodes.h"

#include <QDir>
#include <cstdio>
#include <sys/stat.h>

using namespace corvane::shellctl;
using namespace corvane::test;

TEST(TreeRefresh, FolderDeletedElsewhereVanishesAndItsParentIsSelected)
{
    TempDir dir{"a/b/c/", "a/d/"};
    WatchWindow w(true);
    w.Tree->BaseFolder().SetPath(dir.path());
    w.Tree->SelectPath(dir.filePath("a/b"));
    ASSERT_EQ(w.Tree->SelectedPath(), dir.filePath("a/b"));
    w.Focus(w.Tree);
    w.Settle();
    ASSERT_EQ(runShell("rm -rf '" + dir.filePath("a/b") + "'"), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Tree->SelectedPath() == dir.filePath("a"); }, 30000));
    QTreeWidgetItem* a = childNamed(w.Tree->topLevelItem(0), "a");
    EXPECT_EQ(ChildNames(a), QStringList{"d"});
    // The list follows the selection to the parent.
    EXPECT_EQ(w.List->Folder().Path(), dir.filePath("a"));
    EXPECT_EQ(ListNames(w.List), QStringList{"d"});
}

// A link to a folder is a folder in the tree: one made elsewhere shows without F5.
TEST(TreeRefresh, NewLinkToAFolderShows)
{
    TempDir dir{"a/b/"};
    WatchWindow w(true);
    w.Tree->BaseFolder().SetPath(dir.path());
    w.Tree->SelectPath(dir.filePath("a"));
    w.Tree->currentItem()->setExpanded(true);
    w.Focus(w.Tree);
    w.Settle();
    QTreeWidgetItem* a = childNamed(w.Tree->topLevelItem(0), "a");
    ASSERT_TRUE(a);
    dir.addSymlink("a/link", "b");
    ASSERT_TRUE(QTest::qWaitFor([&] { return childNamed(a, "link") != nullptr; }, 30000));
}

TEST(TreeRefresh, OwnRenameIsNotRefreshedAgain)
{
    const struct {
        const char* how;
        bool throughTree;
        int refreshes;
    } cases[] = {{"through the tree", true, 0}, {"by another program", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir{"a/b/", "a/keep/"};
        WatchWindow w(true);
        w.Tree->BaseFolder().SetPath(dir.path());
        w.Tree->SelectPath(dir.filePath("a"));
        QTreeWidgetItem* a = w.Tree->currentItem();
        ASSERT_TRUE(a);
        a->setExpanded(true);
        QTreeWidgetItem* b = childNamed(a, "b");
        ASSERT_TRUE(b);
        w.Focus(w.Tree);
        w.Settle();
        if (c.throughTree) {
            ASSERT_TRUE(w.Tree->EditNode(b));
            auto* editor = w.Tree->findChild<QLineEdit*>();
            ASSERT_TRUE(editor);
            w.ResetCounts();
            editor->setText("renamed");
            QTest::keyClick(editor, Qt::Key_Return);
        } else {
            w.ResetCounts();
            ASSERT_EQ(std::rename(dir.filePath("a/b").toLocal8Bit().constData(),
                                  dir.filePath("a/renamed").toLocal8Bit().constData()),
                      0);
        }
        // The report of the rename comes; it leads to a refresh only when another program renamed.
        ASSERT_TRUE(w.WaitForTreeReports(1));
        if (c.refreshes > 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return w.TreeRefreshed > 0; }, 30000));
        }
        EXPECT_FALSE(w.Tree->DelayTimer()->isActive());
        // The rename's two halves may be read apart and come as two reports; either way they
        // lead to the same refreshes.
        EXPECT_GE(w.TreeReports.Count, 1);
        EXPECT_LE(w.TreeReports.Count, 2);
        EXPECT_EQ(w.TreeRefreshes, c.refreshes);
        EXPECT_EQ(ChildNames(a), (QStringList{"keep", "renamed"}));
        EXPECT_TRUE(QDir(dir.filePath("a/renamed")).exists());
    }
}

TEST(TreeRefresh, ChangeDuringKeyboardMovementIsStillRefreshed)
{
    TempDir dir{"a/", "b/"};
    WatchWindow w(true);
    w.Tree->BaseFolder().SetPath(dir.path());
    w.Tree->SelectPath(dir.filePath("a"));
    w.Focus(w.Tree);
    w.Settle();
    w.ResetCounts();
    QTreeWidgetItem* root = w.Tree->topLevelItem(0);
    ASSERT_EQ(::mkdir(dir.filePath("new").toLocal8Bit().constData(), 0755), 0);
    // The report arrives; then the selection moves on as with the arrow keys, whose delayed
    // hand-over takes the tree's timer.
    ASSERT_TRUE(TakeReportsUntil(w.TreeReports, 1));
    w.Tree->setCurrentItem(childNamed(root, "b"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return childNamed(root, "new") != nullptr; }, 30000));
    EXPECT_EQ(w.List->Folder().Path(), dir.filePath("b"));
}

TEST(TreeRefresh, ListRefreshFirstTakesTheFolderTheTreeIsHandingOver)
{
    TempDir dir{"a/x", "b/y1", "b/y2"};
    WatchWindow w(true);
    w.Tree->BaseFolder().SetPath(dir.path());
    w.Tree->SelectPath(dir.filePath("a"));
    ASSERT_EQ(ListNames(w.List), QStringList{"x"});
    w.Focus(w.Tree);
    w.Settle();
    w.ResetCounts();
    dir.addFile("a/z");
    ASSERT_TRUE(TakeReportsUntil(w.ListReports, 1));
    // The tree hands b over only after its delay; the list's refresh comes first.
    w.Tree->setCurrentItem(childNamed(w.Tree->topLevelItem(0), "b"));
    w.List->FlushPendingChange(false);
    EXPECT_EQ(w.List->Folder().Path(), dir.filePath("b"));
    EXPECT_EQ(ListNames(w.List), (QStringList{"y1", "y2"}));
}

TEST(TreeRefresh, ReadsWhatIsShownAndWhatWasReportedOnly)
{
    // a and b are loaded, b collapsed again; c was never opened.
    StallFs fs{"a/a1/", "b/b1/", "c/c1/"};
    ASSERT_TRUE(fs.ok());
    TShellTree tree;
    tree.BaseFolder().SetPath(fs.path());
    QTreeWidgetItem* root = tree.topLevelItem(0);
    ASSERT_TRUE(root);
    QTreeWidgetItem* a = childNamed(root, "a");
    QTreeWidgetItem* b = childNamed(root, "b");
    ASSERT_TRUE(a && b);
    a->setExpanded(true);
    b->setExpanded(true);
    b->setExpanded(false);
    tree.setCurrentItem(childNamed(a, "a1"));
    fs.ClearRequests();
    tree.RefreshTree();
    EXPECT_EQ(fs.CountOf("opendir", "/"), 1);
    EXPECT_EQ(fs.CountOf("opendir", "/a"), 1);
    EXPECT_EQ(fs.CountOf("opendir", "/b"), 0);
    EXPECT_EQ(fs.CountOf("opendir", "/c"), 0);
    EXPECT_EQ(fs.CountOf("opendir", "/a/a1"), 0);
    // Expansion and selection are kept.
    EXPECT_TRUE(a->isExpanded());
    EXPECT_FALSE(b->isExpanded());
    EXPECT_EQ(tree.SelectedPath(), fs.path("a/a1"));
    // The folder left out is read when it shows again.
    b->setExpanded(true);
    EXPECT_EQ(fs.CountOf("opendir", "/b"), 1);
    EXPECT_EQ(ChildNames(b), QStringList{"b1"});
}

TEST(TreeRefresh, CollapsedFolderIsUpToDateWhenReportedOrOpenedAgain)
{
    TempDir dir{"a/x/", "b/y/", "c/z/"};
    WatchWindow w(true);
    w.Tree->BaseFolder().SetPath(dir.path());
    QTreeWidgetItem* root = w.Tree->topLevelItem(0);
    QTreeWidgetItem* b = childNamed(root, "b");
    QTreeWidgetItem* c = childNamed(root, "c");
    ASSERT_TRUE(b && c);
    b->setExpanded(true);
    c->setExpanded(true);
    b->setExpanded(false);
    c->setExpanded(false);
    w.Focus(w.Tree);
    w.Settle();
    // Watched and reported: read again although collapsed.
    ASSERT_EQ(::mkdir(dir.filePath("b/new").toLocal8Bit().constData(), 0755), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ChildNames(b).contains("new"); }, 30000));
    EXPECT_FALSE(b->isExpanded());
    // Not watched any more (dynamic refresh off), then refreshed by hand: read again when opened.
    w.Tree->SetOptions(w.Tree->Options() & ~stoDynamicRefresh);
    ASSERT_EQ(::mkdir(dir.filePath("c/new").toLocal8Bit().constData(), 0755), 0);
    w.Tree->RefreshTree();
    c->setExpanded(true);
    EXPECT_EQ(ChildNames(c), (QStringList{"new", "z"}));
}

// Computer is no folder on disk: a volume mounted or unmounted shows in the tree and the list
// showing Computer without F5, and a private mount elsewhere never shows.
TEST(TreeRefresh, VolumesComeAndGoInComputer)
{
    TempDir media{TempDir::InMediaPlace{}, {"shown-volume/"}};
    TempDir elsewhere{"private-mount/"};
    WatchWindow w(true);
    w.Tree->SelectPath(QStringLiteral("/"));
    QTreeWidgetItem* computer = w.Tree->currentItem() ? w.Tree->currentItem()->parent() : nullptr;
    ASSERT_TRUE(computer);
    w.Tree->setCurrentItem(computer);
    computer->setExpanded(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ListNames(w.List).isEmpty(); }, 30000));
    {
        TmpfsMount shown(media.pathBytes() + "/shown-volume", "1m");
        TmpfsMount hidden(elsewhere.pathBytes() + "/private-mount", "4k");
        ASSERT_TRUE(shown.ok() && hidden.ok());
        ASSERT_TRUE(QTest::qWaitFor([&] { return childNamed(computer, "shown-volume") != nullptr; }, 30000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return ListNames(w.List).contains("shown-volume"); }, 30000));
        EXPECT_EQ(childNamed(computer, "private-mount"), nullptr);
        EXPECT_FALSE(ListNames(w.List).contains("private-mount"));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return childNamed(computer, "shown-volume") == nullptr; }, 30000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ListNames(w.List).contains("shown-volume"); }, 30000));
}
