#include "CustomListView.h"

#include "HeaderSortView.h"
#include "UTreeList.h"
#include "UTreeListShared.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QStackedLayout>
#include <QTreeView>

#include <algorithm>

namespace corvane::shellctl {

namespace {

// On X11 the context menu comes with the right button's press. Over an item that may still be
// dragged with that button it waits for the release, so a right-button drag can start.
class TDeferredMenu
{
public:
    bool Defer(const QAbstractItemView* view, const QContextMenuEvent* event)
    {
        if (event->reason() != QContextMenuEvent::Mouse || !(QGuiApplication::mouseButtons() & Qt::RightButton)
            || !view->dragEnabled() || !view->indexAt(event->pos()).isValid())
            return false;
        m_pending = true;
        m_pos = event->pos();
        m_globalPos = event->globalPos();
        return true;
    }
    void Cancel() { m_pending = false; }
    template <class Deliver>
    void Release(Deliver deliver)
    {
        if (!m_pending)
            return;
        m_pending = false;
        QContextMenuEvent e(QContextMenuEvent::Mouse, m_pos, m_globalPos);
        deliver(&e);
    }

private:
    bool m_pending = false;
    QPoint m_pos;
    QPoint m_globalPos;
};

} // namespace

// ---------------------------------------------------------------------------------------
// The two views of the list. They hand keys, context-menu events, the right button's
// release and the paint stages to the owning control.

// What both views of the list hand to the owning control: keys, context-menu events (a right
// click over an item waits for the release, see TDeferredMenu), drags, the right button's
// release and the paint stages.
template <class View>
class TLvViewHooks : public View
{
public:
    TLvViewHooks(TCustomListView& owner, QWidget* parent) : View(parent), m_owner(owner) {}

    QStyleOptionViewItem ViewOption() const
    {
        QStyleOptionViewItem opt;
        this->initViewItemOption(&opt);
        return opt;
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (m_owner.KeyDown(event))
            event->accept();
        else
            View::keyPressEvent(event);
    }
    bool viewportEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ContextMenu) {
            auto* e = static_cast<QContextMenuEvent*>(event);
            if (m_menu.Defer(this, e))
                e->accept();
            else
                m_owner.viewportContextMenu(e);
            return true;
        }
        return View::viewportEvent(event);
    }
    void startDrag(Qt::DropActions) override
    {
        m_menu.Cancel();
        m_owner.BeginDrag(detail::dragButton());
    }
    void dragEnterEvent(QDragEnterEvent* event) override { m_owner.ViewDragEnter(event); }
    void dragMoveEvent(QDragMoveEvent* event) override { m_owner.ViewDragMove(event); }
    void dragLeaveEvent(QDragLeaveEvent* event) override { m_owner.ViewDragLeave(event); }
    void dropEvent(QDropEvent* event) override { m_owner.ViewDrop(event); }
    // In details, this also reaches the view from the column header.
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        View::mouseReleaseEvent(event);
        if (event->button() == Qt::RightButton) {
            // The menu runs its own event loop, in which the list may go with its window.
            const QPointer<TCustomListView> alive(&m_owner);
            m_menu.Release([this](QContextMenuEvent* e) { m_owner.viewportContextMenu(e); });
            if (alive)
                m_owner.rightButtonUp();
        }
    }
    void paintEvent(QPaintEvent* event) override
    {
        const detail::TPaintStages stages(m_owner, this->viewport(), event->rect());
        View::paintEvent(event);
    }

    TCustomListView& m_owner;

private:
    TDeferredMenu m_menu;
};

class TLvIconView final : public TLvViewHooks<QListView>
{
public:
    using TLvViewHooks::TLvViewHooks;
};

class TLvReportView final : public TLvViewHooks<QTreeView>
{
public:
    using TLvViewHooks::TLvViewHooks;

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        detail::paintNotifiedRow(m_owner, *m_owner.m_delegate, painter, option.rect, index,
                         [&] { QTreeView::drawRow(painter, option, index); });
        if (m_owner.m_gridLines)
            drawGridLines(painter, option.rect);
    }

private:
    void drawGridLines(QPainter* painter, const QRect& row) const
    {
        painter->save();
        painter->setPen(palette().color(QPalette::Midlight));
        const QHeaderView* h = header();
        int end = 0;
        for (int visual = 0; visual < h->count(); ++visual) {
            const int logical = h->logicalIndex(visual);
            if (h->isSectionHidden(logical))
                continue;
            end = h->sectionViewportPosition(logical) + h->sectionSize(logical);
            painter->drawLine(end - 1, row.top(), end - 1, row.bottom());
        }
        painter->drawLine(0, row.bottom(), end - 1, row.bottom());
        painter->restore();
    }
};

// ---------------------------------------------------------------------------------------
// TCustomListView

TCustomListView::TCustomListView(QWidget* parent)
    : QWidget(parent),
      m_stack(new QStackedLayout(this)),
      m_iconView(new TLvIconView(*this, this)),
      m_reportView(new TLvReportView(*this, this)),
      m_header(new THeaderSortView(m_reportView)),
      m_delegate(new TCustomDrawDelegate(*this, this)), m_iconDelegate(new TCustomDrawDelegate(*this, this))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
    m_stack->addWidget(m_iconView);
    m_stack->addWidget(m_reportView);

    m_reportView->setHeader(m_header);
    // setHeader() applies the view's sorting switch (off) to the header's clicks: turn them
    // back on, the list sorts by itself when a header is clicked.
    m_header->setSectionsClickable(true);
    m_header->setSectionsMovable(true);
    m_header->setStretchLastSection(false);
    m_reportView->setRootIsDecorated(false);
    m_reportView->setItemsExpandable(false);
    // Huge folders: every row has the same height, so scrolling never measures rows.
    m_reportView->setUniformRowHeights(true);
    m_reportView->setAllColumnsShowFocus(true);
    m_reportView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_iconView->setUniformItemSizes(true);
    m_iconView->setResizeMode(QListView::Adjust);
    // Whole rows in both views, so a selection made in one style shows fully in details.
    m_iconView->setSelectionBehavior(QAbstractItemView::SelectRows);

    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_iconView),
                                    static_cast<QAbstractItemView*>(m_reportView)}) {
        view->setItemDelegate(view == m_reportView ? m_delegate : m_iconDelegate);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    }
    connect(m_header, &QHeaderView::sectionClicked, this, [this](int column) { ColClick(column); });
    applyViewStyle();
}

TCustomListView::~TCustomListView() = default;

void TCustomListView::setModel(QAbstractItemModel* model)
{
    if (model == m_model)
        return;
    QItemSelectionModel* oldShared = m_reportView->selectionModel();
    m_model = model;
    m_reportView->setModel(model);
    m_iconView->setModel(model);
    QItemSelectionModel* iconOwn = m_iconView->selectionModel();
    QItemSelectionModel* shared = m_reportView->selectionModel();
    m_iconView->setSelectionModel(shared);
    if (iconOwn != shared)
        delete iconOwn;
    if (oldShared != shared)
        delete oldShared;
    // The views' own auto-scroll is off (it would fight our drag scrolling), so the current
    // item is kept in sight here: keyboard moves, and the first item of a new folder.
    connect(shared, &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (current.isValid())
            CurrentView()->scrollTo(current);
    });
}

QItemSelectionModel* TCustomListView::SelectionModel() const
{
    return m_reportView->selectionModel();
}

void TCustomListView::SetViewStyle(TViewStyle style)
{
    if (style == m_viewStyle)
        return;
    m_viewStyle = style;
    applyViewStyle();
    ViewStyleChanged();
}

QAbstractItemView* TCustomListView::CurrentView() const
{
    if (m_viewStyle == vsReport)
        return m_reportView;
    return m_iconView;
}

QListView* TCustomListView::IconView() const
{
    return m_iconView;
}

QTreeView* TCustomListView::ReportView() const
{
    return m_reportView;
}

void TCustomListView::applyViewStyle()
{
    QAbstractItemView* old = qobject_cast<QAbstractItemView*>(m_stack->currentWidget());
    const bool hadFocus = old && old->hasFocus();
    const int large = style()->pixelMetric(QStyle::PM_LargeIconSize, nullptr, this);
    const int small = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    const QFontMetrics fm(font());
    const int rowHeight = std::max(small, fm.height()) + 4;
    const int columnWidth =
        m_listColumnWidth > 0 ? m_listColumnWidth : small + 8 + 20 * fm.averageCharWidth();

    // Fixed grid cells: with uniform sizes the layout of a huge folder is arithmetic.
    switch (m_viewStyle) {
    case vsIcon:
        m_iconView->setViewMode(QListView::IconMode);
        m_iconView->setMovement(QListView::Static);
        m_iconView->setIconSize(QSize(large, large));
        m_iconView->setGridSize(
            QSize(std::max(2 * large + 12, 12 * fm.averageCharWidth()), large + 2 * fm.lineSpacing() + 10));
        m_iconView->setWordWrap(true);
        // Uniform sizes would take the first item's size for all: a short first name would cut
        // every other name short. Items fill their cell instead.
        m_iconDelegate->SetItemSize(m_iconView->gridSize() - QSize(4, 4));
        break;
    case vsSmallIcon:
    case vsList:
        m_iconView->setViewMode(QListView::ListMode);
        m_iconView->setFlow(m_viewStyle == vsList ? QListView::TopToBottom : QListView::LeftToRight);
        m_iconView->setWrapping(true);
        m_iconView->setIconSize(QSize(small, small));
        m_iconView->setGridSize(QSize(columnWidth, rowHeight));
        m_iconView->setWordWrap(false);
        m_iconDelegate->SetItemSize(QSize(columnWidth - 4, rowHeight));
        break;
    case vsReport:
        m_reportView->setIconSize(QSize(small, small));
        break;
    }
    m_iconView->setResizeMode(QListView::Adjust);
    m_iconView->setTextElideMode(Qt::ElideRight);

    QAbstractItemView* view = CurrentView();
    m_stack->setCurrentWidget(view);
    setFocusProxy(view);
    if (hadFocus)
        view->setFocus();
    if (const QModelIndex current = currentIndex(); current.isValid())
        view->scrollTo(current);
    // The icon mode switches dragging on by itself.
    applyDragDrop();
}

void TCustomListView::SetDragDrop(bool drag, bool drop)
{
    m_drag = drag;
    m_drop = drop;
    applyDragDrop();
}

void TCustomListView::applyDragDrop()
{
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(m_iconView), static_cast<QAbstractItemView*>(m_reportView)}) {
        view->setDragEnabled(m_drag);
        view->setAcceptDrops(m_drop);
        view->viewport()->setAcceptDrops(m_drop);
        // Our own highlight and auto-scroll stand in for the view's.
        view->setDropIndicatorShown(false);
        view->setAutoScroll(false);
    }
}

void TCustomListView::SetDropHighlightRow(int row)
{
    if (row == m_dropRow)
        return;
    m_dropRow = row;
    CurrentView()->viewport()->update();
}

bool TCustomListView::IsDropHighlighted(const QModelIndex& index) const
{
    return m_dropRow >= 0 && index.row() == m_dropRow && !index.parent().isValid();
}

void TCustomListView::BeginDrag(Qt::MouseButton)
{
}

void TCustomListView::ViewDragEnter(QDragEnterEvent* event)
{
    event->ignore();
}

void TCustomListView::ViewDragMove(QDragMoveEvent* event)
{
    event->ignore();
}

void TCustomListView::ViewDragLeave(QDragLeaveEvent* event)
{
    event->accept();
}

void TCustomListView::ViewDrop(QDropEvent* event)
{
    event->ignore();
}

bool TCustomListView::MultiSelect() const
{
    return m_reportView->selectionMode() == QAbstractItemView::ExtendedSelection;
}

void TCustomListView::SetMultiSelect(bool multi)
{
    const auto mode = multi ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection;
    m_iconView->setSelectionMode(mode);
    m_reportView->setSelectionMode(mode);
}

void TCustomListView::SetGridLines(bool on)
{
    m_gridLines = on;
    m_reportView->viewport()->update();
}

bool TCustomListView::ColumnClick() const
{
    return m_header->sectionsClickable();
}

void TCustomListView::SetColumnClick(bool on)
{
    m_header->setSectionsClickable(on);
}

void TCustomListView::SetListColumnWidth(int width)
{
    m_listColumnWidth = width;
    applyViewStyle();
}

QModelIndex TCustomListView::currentIndex() const
{
    const QItemSelectionModel* sel = SelectionModel();
    if (!sel)
        return {};
    const QModelIndex current = sel->currentIndex();
    return current.isValid() && current.column() != 0 ? current.siblingAtColumn(0) : current;
}

void TCustomListView::setCurrentIndex(const QModelIndex& index)
{
    CurrentView()->setCurrentIndex(index);
}

bool TCustomListView::IsSelected(const QModelIndex& index) const
{
    const QItemSelectionModel* sel = SelectionModel();
    return sel && index.isValid() && sel->isSelected(index.siblingAtColumn(0));
}

QList<int> TCustomListView::SelectedRows() const
{
    QList<int> rows;
    const QItemSelectionModel* sel = SelectionModel();
    if (!sel)
        return rows;
    for (const QItemSelectionRange& range : sel->selection()) {
        if (range.left() > 0)
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TCustomListView::SelCount() const
{
    return int(SelectedRows().size());
}

QModelIndex TCustomListView::firstSelected() const
{
    const QItemSelectionModel* sel = SelectionModel();
    if (!sel || !m_model)
        return {};
    int first = -1;
    for (const QItemSelectionRange& range : sel->selection()) {
        if (range.left() == 0 && (first < 0 || range.top() < first))
            first = range.top();
    }
    return first < 0 ? QModelIndex() : m_model->index(first, 0);
}

QRect TCustomListView::ItemIconRect(const QModelIndex& index) const
{
    if (!index.isValid())
        return {};
    const QModelIndex item = index.siblingAtColumn(0);
    if (m_viewStyle == vsReport)
        return detail::itemSubRect(m_reportView, m_reportView->ViewOption(), m_delegate, item,
                                   QStyle::SE_ItemViewItemDecoration);
    return detail::itemSubRect(m_iconView, m_iconView->ViewOption(), m_iconDelegate, item,
                               QStyle::SE_ItemViewItemDecoration);
}

void TCustomListView::SetColor(const QColor& color)
{
    m_color = color;
    applyColor();
}

void TCustomListView::applyColor()
{
    QPalette pal;
    if (m_color.isValid())
        pal.setColor(QPalette::Base, m_color);
    m_iconView->setPalette(pal);
    m_reportView->setPalette(pal);
}

TLvHeaderSortDisplayMode TCustomListView::HeaderSortDisplayMode() const
{
    return m_header->DisplayMode();
}

void TCustomListView::SetHeaderSortDisplayMode(TLvHeaderSortDisplayMode mode)
{
    m_header->SetDisplayMode(mode);
}

int TCustomListView::HeaderSortColumn() const
{
    return m_header->SortColumn();
}

void TCustomListView::SetHeaderSortColumn(int column)
{
    m_header->SetSortColumn(column);
}

Qt::SortOrder TCustomListView::HeaderSortDirection() const
{
    return m_header->SortDirection();
}

void TCustomListView::SetHeaderSortDirection(Qt::SortOrder direction)
{
    m_header->SetSortDirection(direction);
}

std::unique_ptr<TLvCustomDraw> TCustomListView::CreateCustomDraw()
{
    return std::make_unique<TLvCustomDraw>();
}

void TCustomListView::DoCustomDraw(TLvCustomDraw&)
{
}

TCustomDraw& TCustomListView::CustomDrawNotify(int stage, QPainter* canvas, const QRect& rect,
                                               const QModelIndex& index)
{
    if (!m_customDraw)
        m_customDraw = CreateCustomDraw();
    const QAbstractItemView* view = CurrentView();
    const QPalette& pal = view->palette();
    m_customDraw->Begin(stage, canvas, rect, view->font(), pal.color(QPalette::Text), pal.color(QPalette::Base));
    m_customDraw->SetItem(index.isValid() && index.column() != 0 ? index.siblingAtColumn(0) : index);
    DoCustomDraw(*m_customDraw);
    return *m_customDraw;
}

void TCustomListView::KeyboardContextMenu(QPoint point)
{
    const QModelIndex focused = currentIndex();
    QModelIndex anchor;
    if (focused.isValid())
        anchor = IsSelected(focused) ? focused : firstSelected();
    if (!anchor.isValid()) {
        if (m_popupMenu)
            popup(m_popupMenu, point);
        return;
    }
    // A menu at an item scrolled out of sight would open far from the list.
    CurrentView()->scrollTo(anchor);
    point = ItemIconRect(anchor).center();
    ItemContextMenu(point);
}

void TCustomListView::ItemContextMenu(QPoint point)
{
    QMenu* menu = m_popupMenu;
    // Menus run their own event loop, in which the list may go with its window.
    const QPointer<TCustomListView> alive(this);
    ItemHook(currentIndex(), point, menu);
    if (!alive)
        return;
    m_menuShown = true;
    if (menu)
        popup(menu, point);
    if (alive)
        settleMenuShown();
}

void TCustomListView::ItemHook(const QModelIndex& item, const QPoint& point, QMenu*& menu)
{
    if (OnItemContextMenu)
        OnItemContextMenu(this, item, point, menu);
}

void TCustomListView::PopupAt(QMenu* menu, const QPoint& globalPos)
{
    menu->exec(globalPos);
}

bool TCustomListView::KeyDown(QKeyEvent* event)
{
    if (!IsContextMenuKey(event))
        return false;
    KeyboardContextMenu(QPoint(0, 0));
    return true;
}

void TCustomListView::ColClick(int column)
{
    if (OnColumnClick)
        OnColumnClick(this, column);
}

void TCustomListView::popup(QMenu* menu, const QPoint& clientPoint)
{
    detail::setPopupComponent(menu, this);
    PopupAt(menu, CurrentView()->viewport()->mapToGlobal(clientPoint));
}

void TCustomListView::settleMenuShown()
{
    // The popup takes the right button's release for itself: once the menu is closed and
    // the button is up, no release will reach the list to clear the flag.
    if (!(QGuiApplication::mouseButtons() & Qt::RightButton))
        m_menuShown = false;
}

void TCustomListView::viewportContextMenu(QContextMenuEvent* event)
{
    event->accept();
    if (event->reason() == QContextMenuEvent::Mouse)
        KeyboardContextMenu(event->pos());
    else
        contextMenuEvent(event);
}

// Everything but a right click on the items: the keyboard, the column header.
void TCustomListView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    const QItemSelectionModel* sel = SelectionModel();
    if (m_menuShown || !sel || !sel->hasSelection() || !currentIndex().isValid())
        return;
    if (event->reason() == QContextMenuEvent::Keyboard)
        KeyboardContextMenu(QPoint(0, 0));
    else
        ItemContextMenu(CurrentView()->viewport()->mapFromGlobal(event->globalPos()));
}

} // namespace corvane::shellctl
