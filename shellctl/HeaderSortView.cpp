#include "HeaderSortView.h"

#include <QPainter>

namespace corvane::shellctl {

THeaderSortView::THeaderSortView(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setSortIndicatorShown(false);
    // List columns are left-aligned unless the model says otherwise.
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A click, a finished drag or resize may leave a stale indicator behind: repaint it all.
    connect(this, &QHeaderView::sectionClicked, this, [this] { viewport()->update(); });
    connect(this, &QHeaderView::sectionMoved, this, [this] { viewport()->update(); });
}

void THeaderSortView::SetDisplayMode(TLvHeaderSortDisplayMode mode)
{
    m_mode = mode;
    viewport()->update();
}

void THeaderSortView::SetSortColumn(int column)
{
    const int old = m_sortColumn;
    m_sortColumn = column;
    if (old >= 0)
        updateSection(old);
    if (column >= 0)
        updateSection(column);
}

void THeaderSortView::SetSortDirection(Qt::SortOrder direction)
{
    m_direction = direction;
    if (m_sortColumn >= 0)
        updateSection(m_sortColumn);
}

bool THeaderSortView::rightAligned(int logicalIndex, Qt::Alignment& alignment) const
{
    alignment = defaultAlignment();
    if (model()) {
        const QVariant v = model()->headerData(logicalIndex, orientation(), Qt::TextAlignmentRole);
        if (v.isValid())
            alignment = Qt::Alignment(v.toInt());
    }
    alignment = QStyle::visualAlignment(layoutDirection(), alignment);
    return alignment & Qt::AlignRight;
}

void THeaderSortView::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (m_mode == lvNone) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    if (!rect.isValid())
        return;

    painter->save();
    painter->setClipRect(rect);
    const QPalette& pal = palette();
    painter->fillRect(rect, pal.color(QPalette::Button));
    // Column divider, so the owner-drawn items keep visible borders.
    painter->setPen(pal.color(QPalette::Mid));
    painter->drawLine(rect.topRight(), rect.bottomRight());

    Qt::Alignment alignment;
    const bool right = rightAligned(logicalIndex, alignment);
    const bool sortColumn = logicalIndex == m_sortColumn;
    THeaderItemLayout layout = HeaderItemLayout(rect, m_mode, sortColumn, right);

    QString text;
    if (model())
        text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    int textRight = layout.TextRect.x();
    if (layout.TextRect.width() > 0 && !text.isEmpty()) {
        painter->setFont(font());
        painter->setPen(pal.color(QPalette::ButtonText));
        const QString shown = painter->fontMetrics().elidedText(text, Qt::ElideRight, layout.TextRect.width());
        QRect drawn;
        painter->drawText(layout.TextRect, int(horizontal) | Qt::AlignVCenter | Qt::TextSingleLine, shown, &drawn);
        textRight = drawn.x() + drawn.width();
    }
    if (layout.BoxFollowsText)
        layout.Box = HeaderBoxAfterText(layout.Box, textRight);
    if (layout.DrawIndicator)
        paintIndicator(painter, layout.Box);
    painter->restore();
}

void THeaderSortView::paintIndicator(QPainter* painter, const QRect& box) const
{
    const QPalette& pal = palette();
    painter->fillRect(box, pal.color(QPalette::Button));
    painter->setRenderHint(QPainter::Antialiasing, false);
    const QPen shadow(pal.color(QPalette::Dark), 0);
    const QPen highlight(pal.color(QPalette::Light), 0);
    for (const THeaderTriangleEdge& edge : HeaderSortTriangle(box, m_direction)) {
        painter->setPen(edge.Highlight ? highlight : shadow);
        painter->drawLine(edge.From, edge.To);
    }
}

} // namespace corvane::shellctl
