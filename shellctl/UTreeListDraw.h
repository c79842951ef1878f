#pragma once
// Custom drawing of list items and tree nodes: one object carries a notification's stage
// and the changes that handlers make to the item's font, text colour and background.
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QModelIndex>
#include <QRect>
#include <QStyledItemDelegate>

class QPainter;
class QTreeWidgetItem;

namespace corvane::shellctl {

class TCustomDraw
{
public:
    // Stages of a notification.
    static constexpr int cdPrePaint = 1;
    static constexpr int cdPostPaint = 2;
    static constexpr int cdItemPrePaint = 4;
    static constexpr int cdItemPostPaint = 5;

    TCustomDraw() : m_brush(Qt::SolidPattern) {}
    virtual ~TCustomDraw() = default;
    TCustomDraw(const TCustomDraw&) = delete;
    TCustomDraw& operator=(const TCustomDraw&) = delete;

    int Stage() const { return m_stage; }
    // What is being painted: the item's rectangle, or the area to repaint at the control's
    // own stages. Canvas may be used to draw, most usefully with SetSkipDefault or at the
    // post-paint stages.
    QPainter* Canvas() const { return m_canvas; }
    const QRect& Rect() const { return m_rect; }

    // A copy of the control's font; its colour is the text colour in use.
    const QFont& Font() const { return m_font; }
    void SetFont(const QFont& font);
    const QColor& FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor& color);
    // Solid, in the background colour in use.
    const QBrush& Brush() const { return m_brush; }
    void SetBrushColor(const QColor& color);
    bool FontChanged() const { return m_fontChanged; }
    bool BrushChanged() const { return m_brushChanged; }
    // The item is not drawn by the control at all.
    bool SkipDefault() const { return m_skipDefault; }
    void SetSkipDefault(bool skip) { m_skipDefault = skip; }

    // Starts a notification: the object is reused for every one, so nothing is allocated
    // per item painted.
    void Begin(int stage, QPainter* canvas, const QRect& rect, const QFont& font, const QColor& text,
               const QColor& background);

private:
    int m_stage = 0;
    QPainter* m_canvas = nullptr;
    QRect m_rect;
    QFont m_font;
    QColor m_fontColor;
    QBrush m_brush;
    bool m_fontChanged = false;
    bool m_brushChanged = false;
    bool m_skipDefault = false;
};

class TLvCustomDraw : public TCustomDraw
{
public:
    // The item (column 0 of its row); invalid at the control's own stages.
    const QModelIndex& Item() const { return m_item; }
    void SetItem(const QModelIndex& item) { m_item = item; }

private:
    QModelIndex m_item;
};

class TTvCustomDraw : public TCustomDraw
{
public:
    // Null at the control's own stages.
    QTreeWidgetItem* Node() const { return m_node; }
    void SetNode(QTreeWidgetItem* node) { m_node = node; }

private:
    QTreeWidgetItem* m_node = nullptr;
};

// What a control offers its item delegate: one notification, with the object that holds
// the handlers' changes.
class TCustomDrawHost
{
public:
    virtual TCustomDraw& CustomDrawNotify(int stage, QPainter* canvas, const QRect& rect,
                                          const QModelIndex& index) = 0;
    // The item a drag would drop on is drawn as selected.
    virtual bool IsDropHighlighted(const QModelIndex&) const { return false; }

protected:
    ~TCustomDrawHost() = default;
};

// Paints items as QStyledItemDelegate does, with the changes of the custom-draw handlers.
// Views that paint a row cell by cell announce the row with BeginRow, so the row is
// notified once and every cell gets the same changes.
// An item's role giving how many leading characters of its name an editor selects at first
// (the name without its extension); none selects all.
inline constexpr int EditSelectionRole = Qt::UserRole + 20;

class TCustomDrawDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    TCustomDrawDelegate(TCustomDrawHost& host, QObject* parent);

    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // Every item takes this size (a grid's cell less its spacing); invalid: as the item needs.
    void SetItemSize(QSize size) { m_itemSize = size; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    void BeginRow(const TCustomDraw* row) { m_row = row; }
    void EndRow() { m_row = nullptr; }
    // The style option of an item as it is painted without changes.
    void InitOption(QStyleOptionViewItem* option, const QModelIndex& index) const;

private:
    void paintApplied(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index,
                      const TCustomDraw& cd) const;

    TCustomDrawHost& m_host;
    const TCustomDraw* m_row = nullptr;
    QSize m_itemSize;
};

} // namespace corvane::shellctl
