#pragma once
// The view control base of the shell folder tree: context-menu hooks for a right click or the
// menu key, drags of nodes and custom drawing of nodes.
#include "UTreeListDraw.h"

#include <QMenu>
#include <QPointer>
#include <QTreeWidget>
#include <functional>
#include <memory>

class QContextMenuEvent;
class QKeyEvent;

namespace corvane::shellctl {

class TCustomTreeView : public QTreeWidget, protected TCustomDrawHost
{
    Q_OBJECT
public:
    using TTvOnNodeContextMenuEvent =
        std::function<void(QObject* Sender, QTreeWidgetItem* aNode, QPoint& aPos, QMenu*& aMenu)>;

    explicit TCustomTreeView(QWidget* parent = nullptr);
    ~TCustomTreeView() override;

    // The selected node, or null.
    QTreeWidgetItem* Selected() const;
    // The text of a node in viewport coordinates.
    QRect NodeTextRect(QTreeWidgetItem* node) const;

    // Background; invalid follows the system palette.
    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);
    // Text colour; invalid follows the system palette.
    QColor FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor& color);

    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    bool MenuShown() const { return m_menuShown; }

    // Whether nodes may be dragged out of the tree and dropped on.
    void SetDragDrop(bool drag, bool drop);
    // The node drawn as the target of a drag; null for none.
    QTreeWidgetItem* DropHighlight() const { return m_dropNode; }
    void SetDropHighlight(QTreeWidgetItem* node);

    TTvOnNodeContextMenuEvent OnNodeContextMenu;

protected:
    virtual std::unique_ptr<TTvCustomDraw> CreateCustomDraw();
    virtual void DoCustomDraw(TTvCustomDraw& aCD);
    // A node (and, before it, each of its descendants) is leaving the tree.
    virtual void Delete(QTreeWidgetItem* node);
    virtual void KeyboardContextMenu();
    virtual void NodeContextMenu(QTreeWidgetItem* node, QPoint point);
    virtual void NodeHook(QTreeWidgetItem* node, QPoint& point, QMenu*& menu);
    virtual void PopupAt(QMenu* menu, const QPoint& globalPos);
    virtual bool KeyDown(QKeyEvent* event);
    // A drag of the node under the press starts, with this button held.
    virtual void BeginDrag(QTreeWidgetItem* node, Qt::MouseButton button);
    // The node under the last press (the drag node while a drag runs); null once deleted.
    QTreeWidgetItem* PressedNode() const { return m_pressedNode; }

    TCustomDraw& CustomDrawNotify(int stage, QPainter* canvas, const QRect& rect,
                                  const QModelIndex& index) override;
    bool IsDropHighlighted(const QModelIndex& index) const override;

    void startDrag(Qt::DropActions supportedActions) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void contextMenuMessage(QContextMenuEvent* event);
    void popup(QMenu* menu, const QPoint& clientPoint);
    void settleMenuShown();
    void notifyDeleted(QTreeWidgetItem* node);
    void applyColors();

    TCustomDrawDelegate* m_delegate;
    std::unique_ptr<TTvCustomDraw> m_customDraw;
    QPointer<QMenu> m_popupMenu;
    QColor m_color;
    QColor m_fontColor;
    bool m_menuShown = false;
    QTreeWidgetItem* m_dropNode = nullptr;
    QTreeWidgetItem* m_pressedNode = nullptr;
    // A right click over a node that may still become a drag: its menu waits for the release.
    bool m_menuPending = false;
    QPoint m_menuPos;
    QPoint m_rightPressPos;
};

} // namespace corvane::shellctl
