#include "CustomTreeView.h"

#include "UTreeList.h"
#include "UTreeListShared.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>

namespace corvane::shellctl {

TCustomTreeView::TCustomTreeView(QWidget* parent)
    : QTreeWidget(parent), m_delegate(new TCustomDrawDelegate(*this, this))
{
    setItemDelegate(m_delegate);
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Auto-scroll is off for our own drag scrolling: keyboard moves keep the node in sight here.
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current)
            scrollToItem(current);
    });
    QAbstractItemModel* m = model();
    connect(m, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int last) {
                QTreeWidgetItem* p = parent.isValid() ? itemFromIndex(parent) : invisibleRootItem();
                for (int row = first; p && row <= last; ++row)
                    notifyDeleted(p->child(row));
            });
    connect(m, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        QTreeWidgetItem* root = invisibleRootItem();
        for (int row = 0; row < root->childCount(); ++row)
            notifyDeleted(root->child(row));
    });
}

TCustomTreeView::~TCustomTreeView()
{
    // The nodes go with the base class, when this part of the object is already gone.
    disconnect(model(), nullptr, this, nullptr);
}

void TCustomTreeView::notifyDeleted(QTreeWidgetItem* node)
{
    if (!node)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        notifyDeleted(node->child(i));
    if (node == m_dropNode)
        m_dropNode = nullptr;
    if (node == m_pressedNode)
        m_pressedNode = nullptr;
    Delete(node);
}

void TCustomTreeView::SetDragDrop(bool drag, bool drop)
{
    setDragEnabled(drag);
    setAcceptDrops(drop);
    viewport()->setAcceptDrops(drop);
    setDropIndicatorShown(false);
    setAutoScroll(false);
}

void TCustomTreeView::SetDropHighlight(QTreeWidgetItem* node)
{
    if (node == m_dropNode)
        return;
    m_dropNode = node;
    viewport()->update();
}

bool TCustomTreeView::IsDropHighlighted(const QModelIndex& index) const
{
    return m_dropNode && index.isValid() && itemFromIndex(index) == m_dropNode;
}

void TCustomTreeView::BeginDrag(QTreeWidgetItem*, Qt::MouseButton)
{
}

void TCustomTreeView::mousePressEvent(QMouseEvent* event)
{
    m_pressedNode = itemAt(event->position().toPoint());
    m_menuPending = false;
    if (event->button() == Qt::RightButton) {
        // A right click marks a node for its menu or a drag; the selection (and with it the
        // folder shown beside the tree) stays.
        m_rightPressPos = event->position().toPoint();
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void TCustomTreeView::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::RightButton)) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    // The item view drags only what is selected; with the right button the node under the press goes.
    if (m_pressedNode && dragEnabled()
        && (event->position().toPoint() - m_rightPressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_menuPending = false;
        BeginDrag(m_pressedNode, Qt::RightButton);
        m_pressedNode = nullptr;
    }
    event->accept();
}

void TCustomTreeView::startDrag(Qt::DropActions)
{
    m_menuPending = false;
    if (QTreeWidgetItem* node = m_pressedNode)
        BeginDrag(node, detail::dragButton());
}

QTreeWidgetItem* TCustomTreeView::Selected() const
{
    QTreeWidgetItem* current = currentItem();
    if (current && current->isSelected())
        return current;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

QRect TCustomTreeView::NodeTextRect(QTreeWidgetItem* node) const
{
    if (!node)
        return {};
    QStyleOptionViewItem opt;
    initViewItemOption(&opt);
    return detail::itemSubRect(this, opt, m_delegate, indexFromItem(node, 0), QStyle::SE_ItemViewItemText);
}

void TCustomTreeView::SetColor(const QColor& color)
{
    m_color = color;
    applyColors();
}

void TCustomTreeView::SetFontColor(const QColor& color)
{
    m_fontColor = color;
    applyColors();
}

void TCustomTreeView::applyColors()
{
    // Roles left unset keep following the system palette and its changes.
    QPalette pal;
    if (m_color.isValid())
        pal.setColor(QPalette::Base, m_color);
    if (m_fontColor.isValid())
        pal.setColor(QPalette::Text, m_fontColor);
    setPalette(pal);
}

std::unique_ptr<TTvCustomDraw> TCustomTreeView::CreateCustomDraw()
{
    return std::make_unique<TTvCustomDraw>();
}

void TCustomTreeView::DoCustomDraw(TTvCustomDraw&)
{
}

void TCustomTreeView::Delete(QTreeWidgetItem*)
{
}

TCustomDraw& TCustomTreeView::CustomDrawNotify(int stage, QPainter* canvas, const QRect& rect,
                                               const QModelIndex& index)
{
    if (!m_customDraw)
        m_customDraw = CreateCustomDraw();
    const QPalette& pal = palette();
    m_customDraw->Begin(stage, canvas, rect, font(), pal.color(QPalette::Text), pal.color(QPalette::Base));
    m_customDraw->SetNode(index.isValid() ? itemFromIndex(index) : nullptr);
    DoCustomDraw(*m_customDraw);
    return *m_customDraw;
}

void TCustomTreeView::KeyboardContextMenu()
{
    QTreeWidgetItem* node = Selected();
    if (!node) {
        if (m_popupMenu)
            popup(m_popupMenu, QPoint(0, 0));
        return;
    }
    scrollToItem(node);
    NodeContextMenu(node, NodeTextRect(node).center());
}

void TCustomTreeView::NodeContextMenu(QTreeWidgetItem* node, QPoint point)
{
    QMenu* menu = m_popupMenu;
    const QPointer<TCustomTreeView> alive(this);
    NodeHook(node, point, menu);
    if (alive && menu)
        popup(menu, point);
}

void TCustomTreeView::NodeHook(QTreeWidgetItem* node, QPoint& point, QMenu*& menu)
{
    if (OnNodeContextMenu)
        OnNodeContextMenu(this, node, point, menu);
}

void TCustomTreeView::PopupAt(QMenu* menu, const QPoint& globalPos)
{
    menu->exec(globalPos);
}

bool TCustomTreeView::KeyDown(QKeyEvent* event)
{
    if (!IsContextMenuKey(event))
        return false;
    KeyboardContextMenu();
    return true;
}

void TCustomTreeView::popup(QMenu* menu, const QPoint& clientPoint)
{
    detail::setPopupComponent(menu, this);
    PopupAt(menu, viewport()->mapToGlobal(clientPoint));
}

void TCustomTreeView::settleMenuShown()
{
    // As for the list: the popup keeps the right button's release.
    if (!(QGuiApplication::mouseButtons() & Qt::RightButton))
        m_menuShown = false;
}

void TCustomTreeView::keyPressEvent(QKeyEvent* event)
{
    if (KeyDown(event))
        event->accept();
    else
        QTreeWidget::keyPressEvent(event);
}

bool TCustomTreeView::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ContextMenu)
        return QTreeWidget::viewportEvent(event);
    auto* e = static_cast<QContextMenuEvent*>(event);
    e->accept();
    if (e->reason() == QContextMenuEvent::Mouse) {
        QPoint point = e->pos();
        if (itemAt(point) && dragEnabled() && (QGuiApplication::mouseButtons() & Qt::RightButton)) {
            m_menuPending = true;
            m_menuPos = point;
            return true;
        }
        if (QTreeWidgetItem* node = itemAt(point)) {
            // The node the menu is for stands out while it is open. The menu runs its own event
            // loop, where a refresh may delete the node and a closed window the tree: only
            // guarded references are used afterwards.
            SetDropHighlight(node);
            const QPersistentModelIndex highlighted = indexFromItem(node);
            const QPointer<TCustomTreeView> alive(this);
            QMenu* menu = m_popupMenu;
            NodeHook(node, point, menu);
            if (!alive)
                return true;
            m_menuShown = true;
            if (menu)
                popup(menu, point);
            if (!alive)
                return true;
            settleMenuShown();
            if (highlighted.isValid() && m_dropNode == itemFromIndex(highlighted))
                SetDropHighlight(nullptr);
            return true;
        }
    }
    contextMenuMessage(e);
    return true;
}

void TCustomTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    contextMenuMessage(event);
}

void TCustomTreeView::contextMenuMessage(QContextMenuEvent* event)
{
    if (m_menuShown || Selected())
        return;
    if (event->reason() == QContextMenuEvent::Keyboard)
        KeyboardContextMenu();
    else
        NodeContextMenu(nullptr, viewport()->mapFromGlobal(event->globalPos()));
}

void TCustomTreeView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton)
        QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton) {
        if (m_menuPending) {
            m_menuPending = false;
            QContextMenuEvent e(QContextMenuEvent::Mouse, m_menuPos, viewport()->mapToGlobal(m_menuPos));
            const QPointer<TCustomTreeView> alive(this);
            viewportEvent(&e);
            if (!alive)
                return;
        }
        m_menuShown = false;
    }
}

void TCustomTreeView::paintEvent(QPaintEvent* event)
{
    const detail::TPaintStages stages(*this, viewport(), event->rect());
    QTreeWidget::paintEvent(event);
}

void TCustomTreeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // Painting is const in Qt, notifying is not: the hooks may change the reused object.
    auto& self = const_cast<TCustomTreeView&>(*this);
    detail::paintNotifiedRow(self, *m_delegate, painter, option.rect, index,
                     [&] { QTreeWidget::drawRow(painter, option, index); });
}

} // namespace corvane::shellctl
