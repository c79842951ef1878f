// Context menus run an event loop of their own: whatever happens to the controls meanwhile, the
// chosen command acts on the item the menu was opened for, or is dropped.
#include "platform/ShellVerbs.h"
#include "shellctl/ShellControls.h"
#include "shellctl/ShellMenu.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

using namespace corvane::shellctl;
using corvane::platform::FirstCommandId;
using corvane::platform::voRename;
using corvane::test::TempDir;

namespace {

constexpr int RenameId = FirstCommandId + voRename;

// The text of the open in-place editor; empty when none is open.
QString editorText(QAbstractItemView* view)
{
    for (QLineEdit* e : view->viewport()->findChildren<QLineEdit*>()) {
        if (e->isVisible())
            return e->text();
    }
    return {};
}

struct ChooserReset {
    ~ChooserReset() { SetShellMenuChooser(nullptr); }
};

} // namespace

TEST(ShellMenu, TreeRenameFollowsTheFolderThroughRefreshes)
{
    const struct {
        const char* what;
        bool folderGone;
        QString editing;
    } cases[] = {
        {"folder removed, tree refreshed", true, {}},
        {"tree reset, folder still there", false, "doomed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir{"keep/", "doomed/inner/"};
        TShellTree tree;
        tree.resize(300, 400);
        tree.show();
        tree.SelectPath(dir.filePath("doomed"));
        TShTreeNode* node = tree.SelectedNode();
        ASSERT_EQ(tree.SelectedPath(), dir.filePath("doomed"));
        ChooserReset reset;
        SetShellMenuChooser([&](QMenu*) {
            if (c.folderGone) {
                QDir(dir.filePath("doomed")).removeRecursively();
                tree.RefreshTree();
            } else {
                tree.ResetTree();
            }
            return RenameId;
        });
        tree.ShowContextMenu(node, tree.visualItemRect(node).center());
        EXPECT_EQ(tree.Editing(), !c.editing.isEmpty());
        EXPECT_EQ(editorText(&tree), c.editing);
        if (tree.Editing()) {
            EXPECT_EQ(TCustomShellTree::NodeData(tree.itemFromIndex(tree.currentIndex()))->Path(), dir.filePath("doomed"));
        }
    }
}

TEST(ShellMenu, ListRenameFollowsTheFocusedItemThroughRefreshes)
{
    const struct {
        const char* what;
        std::function<void(TShellList&, TempDir&)> meanwhile;
        QString editing;
    } cases[] = {
        {"item removed, list refreshed",
         [](TShellList& list, TempDir& dir) {
             QFile::remove(dir.filePath("b.txt"));
             list.RefreshList();
         },
         {}},
        {"list filled again", [](TShellList& list, TempDir&) { list.FillList(); }, "b.txt"},
        {"another folder shown", [](TShellList& list, TempDir& dir) { list.Folder().SetPath(dir.filePath("sub")); }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir{"a.txt", "b.txt", "c.txt", "sub/b.txt"};
        TShellList list;
        list.SetViewStyle(vsReport);
        list.resize(400, 300);
        list.show();
        list.Folder().SetPath(dir.path());
        int b = -1;
        for (int i = 0; i < list.Count(); ++i)
            b = list.DataOfIndex(i)->FileName() == "b.txt" ? i : b;
        ASSERT_GE(b, 0);
        const QModelIndex index = list.Model()->index(b, 0);
        list.SelectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ChooserReset reset;
        SetShellMenuChooser([&](QMenu*) {
            c.meanwhile(list, dir);
            return RenameId;
        });
        list.ShowContextMenu(list.CurrentView()->visualRect(index).center());
        EXPECT_EQ(list.Editing(), !c.editing.isEmpty());
        EXPECT_EQ(editorText(list.CurrentView()), c.editing);
    }
}

// A window closed while its menu is open takes the controls along.
TEST(ShellMenu, ControlsMayGoWhileTheirMenuIsOpen)
{
    TempDir dir{"a.txt", "folder/"};
    ChooserReset reset;
    {
        auto* tree = new TShellTree;
        tree->resize(300, 400);
        tree->show();
        tree->SelectPath(dir.filePath("folder"));
        const QPoint at = tree->visualItemRect(tree->SelectedNode()).center();
        bool asked = false;
        SetShellMenuChooser([&](QMenu*) {
            asked = true;
            delete tree;
            return RenameId;
        });
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QApplication::sendEvent(tree->viewport(), &click);
        EXPECT_TRUE(asked);
    }
    {
        auto* list = new TShellList;
        list->SetViewStyle(vsReport);
        list->resize(400, 300);
        list->show();
        list->Folder().SetPath(dir.path());
        const QModelIndex first = list->Model()->index(0, 0);
        list->SelectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        const QPoint at = list->CurrentView()->visualRect(first).center();
        bool asked = false;
        SetShellMenuChooser([&](QMenu*) {
            asked = true;
            delete list;
            return RenameId;
        });
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, list->CurrentView()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->CurrentView()->viewport(), &click);
        EXPECT_TRUE(asked);
    }
    // What the menus left for later (deferred deletes) runs before the controls go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}
