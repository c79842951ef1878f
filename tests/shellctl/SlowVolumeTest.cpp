// The controls on a volume that stops answering (a network share gone away, a stuck FUSE
// daemon): what they show is never asked of the volume again on the user-interface thread.
#include "shellctl/ShellControls.h"
#include "tests/support/StallFs.h"

#include <QTest>
#include <QTreeView>
#include "tests/support/TreeNodes.h"

#include <gtest/gtest.h>

using namespace corvane::shellctl;
using corvane::test::childNamed;
using corvane::test::StallFs;

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
