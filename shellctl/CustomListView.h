#pragma once
// The view control base of the shell file list: the four view styles over one model, the sort
// indicator in the column header, context-menu hooks and custom drawing of items.
#include "HeaderSort.h"
#include "UTreeListDraw.h"

#include <QAbstractItemModel>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

class QAbstractItemView;
class QContextMenuEvent;
class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;
class QItemSelectionModel;
class QKeyEvent;
class QListView;
class QStackedLayout;
class QTreeView;

namespace corvane::shellctl {

class THeaderSortView;
class TLvIconView;
class TLvReportView;
template <class View>
class TLvViewHooks;

enum TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

class TCustomListView : public QWidget, protected TCustomDrawHost
{
    Q_OBJECT
public:
    using TLvItemContextMenuEvent =
        std::function<void(QObject* Sender, const QModelIndex& Item, const QPoint& Point, QMenu*& Menu)>;
    using TLvColumnClickEvent = std::function<void(QObject* Sender, int Column)>;

    explicit TCustomListView(QWidget* parent = nullptr);
    ~TCustomListView() override;

    // The model is shown by both views; they share one selection model, so the selection
    // and the focused item survive a change of view style.
    QAbstractItemModel* Model() const { return m_model; }
    void setModel(QAbstractItemModel* model);
    QItemSelectionModel* SelectionModel() const;

    TViewStyle ViewStyle() const { return m_viewStyle; }
    void SetViewStyle(TViewStyle style);
    QAbstractItemView* CurrentView() const;
    // Large icons, small icons and list.
    QListView* IconView() const;
    // Details, with the column header.
    QTreeView* ReportView() const;
    THeaderSortView* Header() const { return m_header; }

    bool MultiSelect() const;
    void SetMultiSelect(bool multi);
    bool GridLines() const { return m_gridLines; }
    void SetGridLines(bool on);
    bool ColumnClick() const;
    void SetColumnClick(bool on);
    // Width of one column of the small-icon and list styles; 0 picks one from the font.
    int ListColumnWidth() const { return m_listColumnWidth; }
    void SetListColumnWidth(int width);

    // The focused item (column 0 of its row); invalid when none.
    QModelIndex currentIndex() const;
    void setCurrentIndex(const QModelIndex& index);
    bool IsSelected(const QModelIndex& index) const;
    // Rows with a selected item, ascending.
    QList<int> SelectedRows() const;
    int SelCount() const;
    // The icon of an item in the current view's viewport coordinates (the whole item when
    // it has no icon).
    QRect ItemIconRect(const QModelIndex& index) const;

    // Background of the views and of the item texts; invalid follows the system palette.
    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);

    TLvHeaderSortDisplayMode HeaderSortDisplayMode() const;
    void SetHeaderSortDisplayMode(TLvHeaderSortDisplayMode mode);
    int HeaderSortColumn() const;
    void SetHeaderSortColumn(int column);
    Qt::SortOrder HeaderSortDirection() const;
    void SetHeaderSortDirection(Qt::SortOrder direction);

    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }
    // A context menu was shown for the current right click.
    bool MenuShown() const { return m_menuShown; }

    // Whether items may be dragged out of the views and dropped on them.
    void SetDragDrop(bool drag, bool drop);
    // The row drawn as the target of a drag; -1 for none.
    int DropHighlightRow() const { return m_dropRow; }
    void SetDropHighlightRow(int row);

    TLvItemContextMenuEvent OnItemContextMenu;
    TLvColumnClickEvent OnColumnClick;

protected:
    // After the view style changed and the views took it.
    virtual void ViewStyleChanged() {}
    // Called once; the object is reused for every notification.
    virtual std::unique_ptr<TLvCustomDraw> CreateCustomDraw();
    // Every notification; the shell list raises its custom-draw events here.
    virtual void DoCustomDraw(TLvCustomDraw& aCD);
    virtual void KeyboardContextMenu(QPoint point);
    virtual void ItemContextMenu(QPoint point);
    virtual void ItemHook(const QModelIndex& item, const QPoint& point, QMenu*& menu);
    // Shows a menu; the only place that blocks.
    virtual void PopupAt(QMenu* menu, const QPoint& globalPos);
    // Key down in either view before the view's own handling; true consumes the key.
    virtual bool KeyDown(QKeyEvent* event);
    virtual void ColClick(int column);
    // A drag of the selected items starts in the current view, with this button held.
    virtual void BeginDrag(Qt::MouseButton button);
    // Drags over the current view; the positions are the view's viewport coordinates.
    virtual void ViewDragEnter(QDragEnterEvent* event);
    virtual void ViewDragMove(QDragMoveEvent* event);
    virtual void ViewDragLeave(QDragLeaveEvent* event);
    virtual void ViewDrop(QDropEvent* event);

    TCustomDraw& CustomDrawNotify(int stage, QPainter* canvas, const QRect& rect,
                                  const QModelIndex& index) override;
    bool IsDropHighlighted(const QModelIndex& index) const override;

    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    template <class View>
    friend class TLvViewHooks;
    friend class TLvReportView;

    void viewportContextMenu(QContextMenuEvent* event);
    void rightButtonUp() { m_menuShown = false; }
    void popup(QMenu* menu, const QPoint& clientPoint);
    void settleMenuShown();
    void applyViewStyle();
    void applyDragDrop();
    void applyColor();
    QModelIndex firstSelected() const;

    QPointer<QAbstractItemModel> m_model;
    QStackedLayout* m_stack;
    TLvIconView* m_iconView;
    TLvReportView* m_reportView;
    THeaderSortView* m_header;
    TCustomDrawDelegate* m_delegate;      // the details view's
    TCustomDrawDelegate* m_iconDelegate;  // each view has its own: editors belong to one view
    std::unique_ptr<TLvCustomDraw> m_customDraw;
    QPointer<QMenu> m_popupMenu;
    QColor m_color;
    TViewStyle m_viewStyle = vsIcon;
    int m_listColumnWidth = 0;
    bool m_gridLines = false;
    bool m_menuShown = false;
    bool m_drag = false;
    bool m_drop = false;
    int m_dropRow = -1;
};

} // namespace corvane::shellctl
