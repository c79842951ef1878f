// The tree refreshes itself when a folder it has loaded changes: folders deleted by other
// programs vanish, its own renames are not refreshed again, and keyboard movement does not
// swallow a refresh.
#include "WatchWindows.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <cstdio>
#include <sys/stat.h>

using namespace corvane::shellctl;
using namespace corvane::test;

namespace {

QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const QString& name)
{
    for (int i = 0; node && i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == name)
            return node->child(i);
    }
    return nullptr;
}

} // namespace

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
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Tree->SelectedPath() == dir.filePath("a"); }, 5000));
    QTreeWidgetItem* a = childNamed(w.Tree->topLevelItem(0), "a");
    EXPECT_EQ(ChildNames(a), QStringList{"d"});
    // The list follows the selection to the parent.
    EXPECT_EQ(w.List->Folder().Path(), dir.filePath("a"));
    EXPECT_EQ(ListNames(w.List), QStringList{"d"});
}

TEST(TreeRefresh, OwnRenameIsNotRefreshedAgain)
{
    const struct {
        const char* how;
        bool throughTree;
        size_t refreshes;
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
            w.TreeRefreshes.clear();
            editor->setText("renamed");
            QTest::keyClick(editor, Qt::Key_Return);
        } else {
            w.TreeRefreshes.clear();
            ASSERT_EQ(std::rename(dir.filePath("a/b").toLocal8Bit().constData(),
                                  dir.filePath("a/renamed").toLocal8Bit().constData()),
                      0);
        }
        if (c.refreshes > 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !w.TreeRefreshes.empty(); }, 5000));
        }
        QTest::qWait(FocusedRefreshDelay + 600);
        EXPECT_EQ(w.TreeRefreshes.size(), c.refreshes);
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
    QTreeWidgetItem* root = w.Tree->topLevelItem(0);
    ASSERT_EQ(::mkdir(dir.filePath("new").toLocal8Bit().constData(), 0755), 0);
    // The report arrives; then the selection moves on as with the arrow keys, whose delayed
    // hand-over takes the tree's timer.
    QTest::qWait(100);
    w.Tree->setCurrentItem(childNamed(root, "b"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return childNamed(root, "new") != nullptr; }, 5000));
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
    dir.addFile("a/z");
    QTest::qWait(100);
    // The tree hands b over only after its delay; the list's refresh comes first.
    w.Tree->setCurrentItem(childNamed(w.Tree->topLevelItem(0), "b"));
    w.List->FlushPendingChange(false);
    EXPECT_EQ(w.List->Folder().Path(), dir.filePath("b"));
    EXPECT_EQ(ListNames(w.List), (QStringList{"y1", "y2"}));
}
