#pragma once
// A column header that draws the sort indicator of a list (see HeaderSort.h for the geometry).
#include "HeaderSort.h"

#include <QHeaderView>

namespace corvane::shellctl {

class THeaderSortView : public QHeaderView
{
    Q_OBJECT
public:
    explicit THeaderSortView(QWidget* parent = nullptr);

    TLvHeaderSortDisplayMode DisplayMode() const { return m_mode; }
    void SetDisplayMode(TLvHeaderSortDisplayMode mode);
    // -1: no column shows the indicator.
    int SortColumn() const { return m_sortColumn; }
    void SetSortColumn(int column);
    Qt::SortOrder SortDirection() const { return m_direction; }
    void SetSortDirection(Qt::SortOrder direction);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    bool rightAligned(int logicalIndex, Qt::Alignment& alignment) const;
    void paintIndicator(QPainter* painter, const QRect& box) const;

    TLvHeaderSortDisplayMode m_mode = lvRightOfText;
    int m_sortColumn = -1;
    Qt::SortOrder m_direction = Qt::DescendingOrder;
};

} // namespace corvane::shellctl
