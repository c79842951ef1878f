// The list base: context menus, custom drawing, view styles over one selection.
// Mouse events go through the window system, as a real click does: the right button's
// press then also raises the context-menu event and sets the application's button state.
#define QTEST_QPA_MOUSE_HANDLING
#include "shellctl/HeaderSortView.h"
#include "shellctl/UTreeList.h"

#include <QContextMenuEvent>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include <vector>

using namespace corvane::shellctl;

namespace {

QIcon solidIcon(const QColor& colour)
{
    QPixmap pm(32, 32);
    pm.fill(colour);
    return QIcon(pm);
}

void fillModel(QStandardItemModel& model, int rows, const QString& text = QStringLiteral("Item %1"))
{
    model.setHorizontalHeaderLabels({"Name", "Size"});
    for (int i = 0; i < rows; ++i)
        model.appendRow({new QStandardItem(solidIcon(Qt::darkGray), text.arg(i)), new QStandardItem("1 KB")});
}

// Records popups instead of running them.
class TRecordingList : public TCustomListView
{
public:
    struct Popup {
        QMenu* Menu;
        QPoint Global;
        bool MenuShownDuring;
        QObject* Component;
    };
    std::vector<Popup> Popups;

protected:
    void PopupAt(QMenu* menu, const QPoint& globalPos) override
    {
        Popups.push_back({menu, globalPos, MenuShown(), PopupComponent(menu)});
    }
};

class ListContextMenu : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fillModel(model, 4);
        list.setModel(&model);
        list.SetPopupMenu(&appMenu);
        list.OnItemContextMenu = [this](QObject* sender, const QModelIndex& item, const QPoint& point,
                                        QMenu*& menu) {
            EXPECT_EQ(sender, &list);
            Hooks.push_back({item, point});
            if (replaceMenu)
                menu = replacement;
        };
        list.resize(500, 400);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
        list.setFocus();
        QCoreApplication::processEvents();
    }

    QWidget* viewport() const { return list.CurrentView()->viewport(); }
    QModelIndex row(int r) const { return model.index(r, 0); }
    void focusOnly(int r)
    {
        list.SelectionModel()->setCurrentIndex(r < 0 ? QModelIndex() : row(r), QItemSelectionModel::NoUpdate);
    }

    struct Hook {
        QModelIndex Item;
        QPoint Point;
    };
    std::vector<Hook> Hooks;
    QStandardItemModel model;
    QMenu appMenu;
    QMenu otherMenu;
    QMenu* replacement = nullptr;
    bool replaceMenu = false;
    TRecordingList list;
};

TEST_F(ListContextMenu, RightClickOnEmptyAreaWithoutFocusShowsThePopupMenuThere)
{
    for (TViewStyle style : {vsReport, vsIcon, vsList}) {
        SCOPED_TRACE(style);
        list.SetViewStyle(style);
        list.Popups.clear();
        list.SelectionModel()->clear();
        const QPoint at(viewport()->width() - 20, viewport()->height() - 20);
        ASSERT_FALSE(list.CurrentView()->indexAt(at).isValid());
        QTest::mousePress(viewport(), Qt::RightButton, {}, at);
        QTest::mouseRelease(viewport(), Qt::RightButton, {}, at);
        ASSERT_EQ(list.Popups.size(), 1u);
        EXPECT_EQ(list.Popups[0].Menu, &appMenu);
        EXPECT_EQ(list.Popups[0].Global, viewport()->mapToGlobal(at));
        EXPECT_EQ(list.Popups[0].Component, &list);
        EXPECT_TRUE(Hooks.empty());
    }
}

TEST_F(ListContextMenu, KeyboardMenuOpensAtTheIconCentre)
{
    struct Case {
        TViewStyle style;
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    };
    const Case cases[] = {
        {vsReport, Qt::Key_Menu, Qt::NoModifier},
        {vsReport, Qt::Key_F10, Qt::ShiftModifier},
        {vsIcon, Qt::Key_Menu, Qt::NoModifier},
        {vsSmallIcon, Qt::Key_F10, Qt::ShiftModifier},
        {vsList, Qt::Key_Menu, Qt::NoModifier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style << " key " << c.key);
        list.SetViewStyle(c.style);
        list.Popups.clear();
        Hooks.clear();
        list.CurrentView()->setCurrentIndex(row(2));
        ASSERT_TRUE(list.IsSelected(row(2)));
        QTest::keyClick(list.CurrentView(), c.key, c.mods);
        ASSERT_EQ(Hooks.size(), 1u);
        EXPECT_EQ(Hooks[0].Item, row(2));
        const QPoint p = Hooks[0].Point;
        const QRect item = list.CurrentView()->visualRect(row(2));
        const int icon = list.CurrentView()->iconSize().width();
        if (c.style == vsIcon) {
            // Icon above the text: centred horizontally, in the upper part of the item.
            EXPECT_NEAR(p.x(), item.center().x(), 1);
            EXPECT_GE(p.y(), item.top());
            EXPECT_LE(p.y(), item.top() + icon);
        } else {
            EXPECT_NEAR(p.y(), item.center().y(), 1);
            EXPECT_GE(p.x(), item.left());
            EXPECT_LE(p.x(), item.left() + icon);
        }
        ASSERT_EQ(list.Popups.size(), 1u);
        EXPECT_EQ(list.Popups[0].Menu, &appMenu);
        EXPECT_EQ(list.Popups[0].Global, viewport()->mapToGlobal(p));
        EXPECT_TRUE(list.Popups[0].MenuShownDuring);
    }
}

TEST_F(ListContextMenu, KeyboardMenuPlacementWithoutASelectedFocus)
{
    list.SetViewStyle(vsReport);
    list.SetMultiSelect(true);
    // Focus on row 3, rows 2 and 1 selected: the first selected item places the menu, the
    // hook still gets the focused item.
    list.SelectionModel()->select(row(2), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.SelectionModel()->select(row(1), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    focusOnly(3);
    QTest::keyClick(list.CurrentView(), Qt::Key_Menu);
    ASSERT_EQ(Hooks.size(), 1u);
    EXPECT_EQ(Hooks[0].Item, row(3));
    EXPECT_TRUE(list.CurrentView()->visualRect(row(1)).contains(Hooks[0].Point));

    // Focused, nothing selected: the popup menu at the point, no hook.
    Hooks.clear();
    list.Popups.clear();
    list.SelectionModel()->clearSelection();
    QTest::keyClick(list.CurrentView(), Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(Hooks.empty());
    ASSERT_EQ(list.Popups.size(), 1u);
    EXPECT_EQ(list.Popups[0].Global, viewport()->mapToGlobal(QPoint(0, 0)));

    // Without a popup menu nothing shows.
    list.Popups.clear();
    list.SetPopupMenu(nullptr);
    QTest::keyClick(list.CurrentView(), Qt::Key_Menu);
    EXPECT_TRUE(list.Popups.empty());

    // Only the bare menu key and Shift+F10 are taken.
    list.SetPopupMenu(&appMenu);
    QTest::keyClick(list.CurrentView(), Qt::Key_Menu, Qt::ControlModifier);
    QTest::keyClick(list.CurrentView(), Qt::Key_F10);
    EXPECT_TRUE(list.Popups.empty());
}

TEST_F(ListContextMenu, RightClickOnAnItemRunsTheHookAndKeepsTheFlagUntilRelease)
{
    list.SetViewStyle(vsReport);
    const QRect item = list.CurrentView()->visualRect(row(1));
    const QPoint at = item.center();
    replaceMenu = true;
    replacement = &otherMenu;
    QTest::mousePress(viewport(), Qt::RightButton, {}, at);
    ASSERT_EQ(Hooks.size(), 1u);
    EXPECT_EQ(Hooks[0].Item, row(1));
    ASSERT_EQ(list.Popups.size(), 1u);
    EXPECT_EQ(list.Popups[0].Menu, &otherMenu);
    EXPECT_TRUE(list.Popups[0].MenuShownDuring);
    EXPECT_TRUE(list.MenuShown());
    QTest::mouseRelease(viewport(), Qt::RightButton, {}, at);
    EXPECT_FALSE(list.MenuShown());

    // A hook that clears the menu: nothing pops up.
    replacement = nullptr;
    list.Popups.clear();
    QTest::mouseClick(viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ(Hooks.size(), 2u);
    EXPECT_TRUE(list.Popups.empty());
}

TEST_F(ListContextMenu, ContextMenuFromTheHeader)
{
    list.SetViewStyle(vsReport);
    QWidget* header = list.Header();
    const QPoint at(10, 5);
    const auto send = [&] {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, header->mapToGlobal(at));
        QCoreApplication::sendEvent(header, &event);
    };
    // Nothing selected: ignored.
    focusOnly(0);
    list.SelectionModel()->clearSelection();
    send();
    EXPECT_TRUE(list.Popups.empty());

    list.CurrentView()->setCurrentIndex(row(0));
    send();
    ASSERT_EQ(Hooks.size(), 1u);
    EXPECT_EQ(Hooks[0].Point, viewport()->mapFromGlobal(header->mapToGlobal(at)));
    ASSERT_EQ(list.Popups.size(), 1u);
    EXPECT_EQ(list.Popups[0].Global, header->mapToGlobal(at));
}

// Changes rows 1 to 3 and records the stages it sees.
class TDrawingList : public TCustomListView
{
public:
    std::vector<std::pair<int, int>> Stages; // stage, row (-1 for the control)
    int Created = 0;
    QColor BrushSeen;

protected:
    std::unique_ptr<TLvCustomDraw> CreateCustomDraw() override
    {
        ++Created;
        return TCustomListView::CreateCustomDraw();
    }
    void DoCustomDraw(TLvCustomDraw& aCD) override
    {
        const int r = aCD.Item().isValid() ? aCD.Item().row() : -1;
        Stages.emplace_back(aCD.Stage(), r);
        if (aCD.Stage() != TCustomDraw::cdItemPrePaint)
            return;
        BrushSeen = aCD.Brush().color();
        QFont bold = aCD.Font();
        bold.setBold(true);
        switch (r) {
        case 1:
            aCD.SetFont(bold);
            aCD.SetFontColor(Qt::red);
            aCD.SetBrushColor(Qt::yellow);
            break;
        case 2:
            aCD.SetFontColor(Qt::red);
            break;
        case 3:
            aCD.SetSkipDefault(true);
            break;
        default:
            break;
        }
    }
};

int countPixels(const QImage& image, QRect r, const std::function<bool(const QColor&)>& match)
{
    r &= image.rect();
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += match(QColor(image.pixel(x, y)));
    return n;
}

bool isRed(const QColor& c) { return c.red() > 200 && c.green() < 110 && c.blue() < 110; }
bool isYellow(const QColor& c) { return c == QColor(Qt::yellow); }

TEST(ListCustomDraw, HookChangesShowInTheRenderedItems)
{
    QStandardItemModel model;
    fillModel(model, 5, QStringLiteral("MMMM WWWW %1"));
    TDrawingList list;
    list.setModel(&model);
    list.SetColor(Qt::cyan);
    list.resize(500, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

    for (TViewStyle style : {vsReport, vsList}) {
        SCOPED_TRACE(style);
        list.SetViewStyle(style);
        list.ReportView()->setColumnWidth(0, 200);
        list.Stages.clear();
        QWidget* vp = list.CurrentView()->viewport();
        QImage image(vp->size(), QImage::Format_RGB32);
        vp->render(&image);

        const auto rowRect = [&](int r) {
            QRect rect = list.CurrentView()->visualRect(model.index(r, 0));
            if (style == vsReport)
                rect.setRight(vp->width() - 1); // the whole row, every column
            return rect;
        };
        const QRect r1 = rowRect(1), r2 = rowRect(2), r3 = rowRect(3);
        EXPECT_GT(countPixels(image, r1, isYellow), r1.width() * r1.height() / 3);
        EXPECT_EQ(countPixels(image, r2, isYellow), 0);
        if (style == vsReport) {
            // The second column of the row gets the same background.
            const int x = list.ReportView()->columnViewportPosition(1) + 2;
            EXPECT_EQ(QColor(image.pixel(x, r1.center().y())), QColor(Qt::yellow));
        }
        // Bold red text has more red ink than the same text in plain red.
        const int bold = countPixels(image, r1, isRed);
        const int plain = countPixels(image, r2, isRed);
        EXPECT_GT(plain, 20);
        EXPECT_GT(bold, plain * 6 / 5);
        EXPECT_EQ(countPixels(image, rowRect(0), isRed), 0);
        // Skipped: only the control's background.
        EXPECT_EQ(countPixels(image, r3, [](const QColor& c) { return c != QColor(Qt::cyan); }), 0);
        EXPECT_EQ(list.BrushSeen, QColor(Qt::cyan));

        // Stages: the control's around the items, each item's pre-paint before its post-paint.
        ASSERT_GE(list.Stages.size(), 2u + 2 * 5);
        EXPECT_EQ(list.Stages.front(), std::make_pair(TCustomDraw::cdPrePaint, -1));
        EXPECT_EQ(list.Stages.back(), std::make_pair(TCustomDraw::cdPostPaint, -1));
        for (size_t i = 1; i + 1 < list.Stages.size(); i += 2) {
            EXPECT_EQ(list.Stages[i].first, TCustomDraw::cdItemPrePaint);
            EXPECT_EQ(list.Stages[i + 1], std::make_pair(TCustomDraw::cdItemPostPaint, list.Stages[i].second));
        }
    }
    // One object serves every notification.
    EXPECT_EQ(list.Created, 1);
}

TEST(ListViewStyle, SwitchingKeepsSelectionAndFocus)
{
    QStandardItemModel model;
    fillModel(model, 30);
    TCustomListView list;
    list.setModel(&model);
    list.SetMultiSelect(true);
    list.resize(500, 400);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));

    list.SetViewStyle(vsReport);
    QItemSelectionModel* sel = list.SelectionModel();
    sel->select(model.index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->select(model.index(5, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    sel->setCurrentIndex(model.index(5, 1), QItemSelectionModel::NoUpdate);
    for (TViewStyle style : {vsIcon, vsSmallIcon, vsList, vsReport}) {
        SCOPED_TRACE(style);
        list.SetViewStyle(style);
        EXPECT_EQ(list.CurrentView()->selectionModel(), sel);
        EXPECT_EQ(list.SelectedRows(), (QList<int>{2, 5}));
        EXPECT_EQ(list.currentIndex(), model.index(5, 0));
        EXPECT_TRUE(list.CurrentView()->isVisible());
    }

    // A click in the icon view selects the whole row, which the details view shows.
    list.SetViewStyle(vsIcon);
    const QRect item = list.IconView()->visualRect(model.index(7, 0));
    QTest::mouseClick(list.IconView()->viewport(), Qt::LeftButton, {}, item.center());
    list.SetViewStyle(vsReport);
    EXPECT_EQ(list.SelectedRows(), (QList<int>{7}));
    EXPECT_TRUE(sel->isRowSelected(7, {}));

    // A new model brings a new shared selection.
    QStandardItemModel other;
    fillModel(other, 3);
    list.setModel(&other);
    EXPECT_EQ(list.IconView()->selectionModel(), list.ReportView()->selectionModel());
    EXPECT_EQ(list.SelectionModel()->model(), &other);
    EXPECT_TRUE(list.SelectedRows().isEmpty());

    // A model that goes away first leaves an empty list, not a dangling one.
    {
        QStandardItemModel temporary;
        fillModel(temporary, 3);
        list.setModel(&temporary);
        list.CurrentView()->setCurrentIndex(temporary.index(1, 0));
    }
    EXPECT_EQ(list.Model(), nullptr);
    list.SetViewStyle(vsList);
    QCoreApplication::processEvents();
    EXPECT_FALSE(list.currentIndex().isValid());
    EXPECT_TRUE(list.SelectedRows().isEmpty());
    list.setModel(&other);
    EXPECT_EQ(list.IconView()->selectionModel(), list.ReportView()->selectionModel());
}

TEST(ListViewStyle, StylesLayOutAsTheirNamesSay)
{
    QStandardItemModel model;
    fillModel(model, 40);
    TCustomListView list;
    list.setModel(&model);
    list.resize(600, 300);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    const auto pos = [&](int r) { return list.CurrentView()->visualRect(model.index(r, 0)).topLeft(); };

    list.SetViewStyle(vsIcon);
    EXPECT_GT(list.IconView()->iconSize().width(), 16);
    EXPECT_EQ(pos(1).y(), pos(0).y()); // rows of icons
    list.SetViewStyle(vsSmallIcon);
    EXPECT_EQ(list.IconView()->iconSize().width(), 16);
    EXPECT_EQ(pos(1).y(), pos(0).y());
    EXPECT_GT(pos(1).x(), pos(0).x());
    list.SetViewStyle(vsList);
    EXPECT_EQ(pos(1).x(), pos(0).x()); // top to bottom, wrapping into columns
    EXPECT_GT(pos(39).x(), pos(0).x());
    list.SetViewStyle(vsReport);
    EXPECT_EQ(pos(1).x(), pos(0).x());
    EXPECT_TRUE(list.ReportView()->isVisible());
    EXPECT_FALSE(list.IconView()->isVisible());
}

} // namespace
