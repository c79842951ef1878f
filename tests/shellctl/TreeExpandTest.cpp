// Expanding a whole branch of the tree: finite with links that loop, from the event loop, and
// stoppable.
#include "shellctl/ShellControls.h"
#include "tests/support/TempDir.h"

#include <QTest>
#include <QTimer>
#include "tests/support/TreeNodes.h"

#include <gtest/gtest.h>

using namespace corvane::shellctl;
using corvane::test::childNamed;
using corvane::test::TempDir;

namespace {

int expandedBelow(QTreeWidgetItem* node)
{
    int n = 0;
    for (int i = 0; i < node->childCount(); ++i)
        n += (node->child(i)->isExpanded() ? 1 : 0) + expandedBelow(node->child(i));
    return n;
}

struct Expansion {
    bool ended = false;
    bool finished = false;
    std::function<void(bool)> done()
    {
        return [this](bool f) {
            ended = true;
            finished = f;
        };
    }
};

} // namespace

TEST(TreeExpand, LinksAreNotEnteredAndTheWalkEnds)
{
    TempDir dir{"a/b/c/", "d/e/"};
    dir.addSymlink("a/self", ".");
    dir.addSymlink("a/b/up", "..");
    dir.addSymlink("root", "/proc/self/root");
    TShellTree tree;
    tree.resize(300, 400);
    tree.show();
    tree.SelectPath(dir.path());
    QTreeWidgetItem* top = tree.currentItem();
    Expansion e;
    tree.ExpandBelow(tree.SelectedNode(), false, e.done());
    EXPECT_TRUE(tree.Expanding());
    ASSERT_TRUE(QTest::qWaitFor([&] { return e.ended; }));
    EXPECT_TRUE(e.finished);
    EXPECT_FALSE(tree.Expanding());

    QTreeWidgetItem* a = childNamed(top, "a");
    QTreeWidgetItem* b = childNamed(a, "b");
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(top->isExpanded());
    EXPECT_TRUE(a->isExpanded());
    EXPECT_TRUE(b->isExpanded());
    EXPECT_TRUE(childNamed(top, "d")->isExpanded());
    // The links are shown as folders but not entered.
    for (QTreeWidgetItem* link : {childNamed(a, "self"), childNamed(b, "up"), childNamed(top, "root")}) {
        ASSERT_NE(link, nullptr);
        EXPECT_FALSE(link->isExpanded()) << link->text(0).toStdString();
        EXPECT_EQ(link->childCount(), 0) << link->text(0).toStdString();
    }

    tree.CollapseBelow(static_cast<TShTreeNode*>(top));
    EXPECT_FALSE(top->isExpanded());
    EXPECT_EQ(expandedBelow(top), 0);
}

TEST(TreeExpand, RunsFromTheEventLoopAndStops)
{
    TempDir dir;
    for (int i = 0; i < 20; ++i) {
        for (int k = 0; k < 3; ++k)
            dir.addFolder("f" + QByteArray::number(i) + "/g" + QByteArray::number(k));
    }
    enum Stop { None, Escape, Cancel, TreeGone };
    for (Stop stop : {None, Escape, Cancel, TreeGone}) {
        SCOPED_TRACE(int(stop));
        auto* tree = new TShellTree;
        tree->resize(300, 400);
        tree->show();
        tree->SelectPath(dir.path());
        QTreeWidgetItem* top = tree->currentItem();
        // One folder per pass, so the order below does not depend on the machine's speed.
        tree->ExpandPassBudget = 0;
        Expansion e;
        tree->ExpandBelow(tree->SelectedNode(), false, e.done());
        bool timerRan = false;
        QTimer::singleShot(0, [&] {
            timerRan = true;
            EXPECT_TRUE(tree->Expanding());
            if (stop == Escape)
                QTest::keyClick(tree, Qt::Key_Escape);
            else if (stop == Cancel)
                tree->CancelExpand();
            else if (stop == TreeGone)
                delete tree;
        });
        if (stop == TreeGone) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return timerRan; }));
            QTest::qWait(50);
            EXPECT_FALSE(e.ended);  // nobody is told about a tree that is gone
            continue;
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return e.ended; }));
        EXPECT_TRUE(timerRan);
        EXPECT_EQ(e.finished, stop == None);
        const int expanded = expandedBelow(top);
        if (stop == None)
            EXPECT_EQ(expanded, 20);
        else
            EXPECT_LT(expanded, 20);
        // Nothing runs on after the end.
        QTest::qWait(50);
        EXPECT_EQ(expandedBelow(top), expanded);
        delete tree;
    }
}
