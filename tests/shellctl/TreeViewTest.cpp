// The tree base: context menus by mouse and keyboard, the node deletion notice, drawing.
#define QTEST_QPA_MOUSE_HANDLING
#include "shellctl/UTreeList.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

using namespace corvane::shellctl;

namespace {

QIcon solidIcon(const QColor& colour)
{
    QPixmap pm(16, 16);
    pm.fill(colour);
    return QIcon(pm);
}

class TRecordingTree : public TCustomTreeView
{
public:
    struct Popup {
        QMenu* Menu;
        QPoint Global;
        bool MenuShownDuring;
    };
    std::vector<Popup> Popups;
    std::vector<QString> Deleted;

protected:
    void PopupAt(QMenu* menu, const QPoint& globalPos) override
    {
        Popups.push_back({menu, globalPos, MenuShown()});
    }
    void Delete(QTreeWidgetItem* node) override { Deleted.push_back(node->text(0)); }
    void DoCustomDraw(TTvCustomDraw& aCD) override
    {
        if (aCD.Stage() == TCustomDraw::cdItemPrePaint && aCD.Node() && aCD.Node()->text(0) == "Bravo")
            aCD.SetFontColor(Qt::red);
    }
};

class TreeContextMenu : public ::testing::Test
{
protected:
    void SetUp() override
    {
        alpha = new QTreeWidgetItem(&tree, {"Alpha"});
        new QTreeWidgetItem(alpha, {"Alpha 1"});
        new QTreeWidgetItem(alpha, {"Alpha 2"});
        bravo = new QTreeWidgetItem(&tree, {"Bravo"});
        charlie = new QTreeWidgetItem(&tree, {"Charlie"});
        for (QTreeWidgetItem* node : {alpha, bravo, charlie})
            node->setIcon(0, solidIcon(Qt::darkGray));
        tree.SetPopupMenu(&appMenu);
        tree.OnNodeContextMenu = [this](QObject* sender, QTreeWidgetItem* node, QPoint& pos, QMenu*& menu) {
            EXPECT_EQ(sender, &tree);
            Hooks.push_back({node, pos});
            if (moveTo)
                pos = *moveTo;
            if (replace)
                menu = replacement;
        };
        tree.resize(300, 300);
        tree.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
        tree.setFocus();
        QCoreApplication::processEvents();
    }

    QWidget* viewport() const { return tree.viewport(); }
    void select(QTreeWidgetItem* node)
    {
        tree.clearSelection();
        tree.setCurrentItem(node, 0, node ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Clear);
    }

    struct Hook {
        QTreeWidgetItem* Node;
        QPoint Pos;
    };
    std::vector<Hook> Hooks;
    QMenu appMenu;
    QMenu otherMenu;
    std::optional<QPoint> moveTo;
    bool replace = false;
    QMenu* replacement = nullptr;
    TRecordingTree tree;
    QTreeWidgetItem* alpha = nullptr;
    QTreeWidgetItem* bravo = nullptr;
    QTreeWidgetItem* charlie = nullptr;
};

TEST_F(TreeContextMenu, KeyboardMenuOpensAtTheSelectedNodesText)
{
    for (auto [key, mods] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                             std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        SCOPED_TRACE(key);
        Hooks.clear();
        tree.Popups.clear();
        select(bravo);
        QTest::keyClick(&tree, key, mods);
        ASSERT_EQ(Hooks.size(), 1u);
        EXPECT_EQ(Hooks[0].Node, bravo);
        // Centre of the text, which sits right of the icon.
        const QRect item = tree.visualItemRect(bravo);
        const QPoint p = Hooks[0].Pos;
        EXPECT_NEAR(p.y(), item.center().y(), 1);
        EXPECT_GT(p.x(), item.left() + 16);
        EXPECT_LT(p.x(), item.right());
        ASSERT_EQ(tree.Popups.size(), 1u);
        EXPECT_EQ(tree.Popups[0].Menu, &appMenu);
        EXPECT_EQ(tree.Popups[0].Global, viewport()->mapToGlobal(p));
        EXPECT_EQ(PopupComponent(&appMenu), &tree);
    }

    // Without a selected node: the popup menu at the client origin, no hook.
    Hooks.clear();
    tree.Popups.clear();
    select(nullptr);
    QTest::keyClick(&tree, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(Hooks.empty());
    ASSERT_EQ(tree.Popups.size(), 1u);
    EXPECT_EQ(tree.Popups[0].Menu, &appMenu);
    EXPECT_EQ(tree.Popups[0].Global, viewport()->mapToGlobal(QPoint(0, 0)));
}

TEST_F(TreeContextMenu, TheEventMayMoveAndReplaceTheMenu)
{
    select(charlie);
    moveTo = QPoint(5, 7);
    replace = true;
    replacement = &otherMenu;
    QTest::keyClick(&tree, Qt::Key_Menu);
    ASSERT_EQ(tree.Popups.size(), 1u);
    EXPECT_EQ(tree.Popups[0].Menu, &otherMenu);
    EXPECT_EQ(tree.Popups[0].Global, viewport()->mapToGlobal(QPoint(5, 7)));

    // Cleared: nothing shows.
    replacement = nullptr;
    tree.Popups.clear();
    QTest::keyClick(&tree, Qt::Key_Menu);
    EXPECT_TRUE(tree.Popups.empty());
}

TEST_F(TreeContextMenu, RightClickOnANode)
{
    select(alpha);
    const QPoint at = tree.visualItemRect(charlie).center();
    QTest::mousePress(viewport(), Qt::RightButton, {}, at);
    ASSERT_EQ(Hooks.size(), 1u);
    EXPECT_EQ(Hooks[0].Node, charlie);
    EXPECT_EQ(Hooks[0].Pos, at);
    ASSERT_EQ(tree.Popups.size(), 1u);
    EXPECT_EQ(tree.Popups[0].Global, viewport()->mapToGlobal(at));
    EXPECT_TRUE(tree.MenuShown());
    QTest::mouseRelease(viewport(), Qt::RightButton, {}, at);
    EXPECT_FALSE(tree.MenuShown());
    // The right click does not move the selection to the node.
    EXPECT_EQ(tree.Selected(), alpha);
}

TEST_F(TreeContextMenu, RightClickOnEmptyArea)
{
    const QPoint at(100, viewport()->height() - 10);
    ASSERT_EQ(tree.itemAt(at), nullptr);
    // A selected node: no menu at all.
    select(bravo);
    QTest::mouseClick(viewport(), Qt::RightButton, {}, at);
    EXPECT_TRUE(Hooks.empty());
    EXPECT_TRUE(tree.Popups.empty());

    // No selected node: the node context menu without a node, at the click.
    select(nullptr);
    QTest::mouseClick(viewport(), Qt::RightButton, {}, at);
    ASSERT_EQ(Hooks.size(), 1u);
    EXPECT_EQ(Hooks[0].Node, nullptr);
    EXPECT_EQ(Hooks[0].Pos, at);
    ASSERT_EQ(tree.Popups.size(), 1u);
    EXPECT_EQ(tree.Popups[0].Global, viewport()->mapToGlobal(at));
}

TEST_F(TreeContextMenu, DeletionNoticeForEveryNodeThatLeaves)
{
    delete alpha;
    EXPECT_EQ(tree.Deleted, (std::vector<QString>{"Alpha 1", "Alpha 2", "Alpha"}));
    tree.Deleted.clear();
    tree.clear();
    EXPECT_EQ(tree.Deleted, (std::vector<QString>{"Bravo", "Charlie"}));
}

TEST_F(TreeContextMenu, DrawingAndColours)
{
    tree.SetColor(Qt::cyan);
    select(nullptr);
    QImage image(viewport()->size(), QImage::Format_RGB32);
    viewport()->render(&image);
    const auto red = [&](QTreeWidgetItem* node) {
        const QRect r = tree.visualItemRect(node);
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) {
                const QColor c(image.pixel(x, y));
                n += c.red() > 200 && c.green() < 110 && c.blue() < 110;
            }
        return n;
    };
    EXPECT_GT(red(bravo), 10);
    EXPECT_EQ(red(charlie), 0);
    EXPECT_EQ(QColor(image.pixel(viewport()->width() - 2, viewport()->height() - 2)), QColor(Qt::cyan));

    // An invalid colour goes back to the system palette.
    tree.SetColor(QColor());
    viewport()->render(&image);
    EXPECT_EQ(QColor(image.pixel(viewport()->width() - 2, viewport()->height() - 2)),
              QApplication::palette().color(QPalette::Base));
}

} // namespace
