#include "HeaderSort.h"

#include <algorithm>

namespace corvane::shellctl {

namespace {
// Right and bottom edges counted exclusively, as the indicator's geometry is defined.
int rightEx(const QRect& r) { return r.x() + r.width(); }
int bottomEx(const QRect& r) { return r.y() + r.height(); }
} // namespace

QRect HeaderTextRect(const QRect& itemRect)
{
    return itemRect.adjusted(2 + 4, 2, -(2 + 4), -2);
}

QRect HeaderSortBox(const QRect& textRect)
{
    const int top = textRect.y();
    const int bottom = bottomEx(textRect);
    const int side = std::max((top + bottom) / 2 - 1, 0);
    return {textRect.x(), (top + bottom - side) / 2 - 1, side, side};
}

bool HeaderIndicatorVisible(int columnWidth, const QRect& box)
{
    return columnWidth > 2 * box.width();
}

THeaderItemLayout HeaderItemLayout(const QRect& itemRect, TLvHeaderSortDisplayMode mode, bool sortColumn,
                                   bool rightAligned)
{
    THeaderItemLayout l;
    l.TextRect = HeaderTextRect(itemRect);
    l.Box = HeaderSortBox(l.TextRect);
    const bool wide = sortColumn && HeaderIndicatorVisible(itemRect.width(), l.Box);

    if (mode == lvRightOfText && rightAligned)
        mode = lvRightAlign;
    switch (mode) {
    case lvNone:
        break;
    case lvLeftAlign:
        if (sortColumn && itemRect.width() > HeaderLeftAlignMinWidth) {
            l.DrawIndicator = wide;
            l.TextRect.setLeft(rightEx(l.Box) + HeaderSortGap);
        }
        break;
    case lvRightOfText:
        l.BoxFollowsText = true;
        l.DrawIndicator = wide;
        break;
    case lvRightAlign:
        l.Box.moveLeft(rightEx(l.TextRect) - HeaderSortGap - l.Box.width());
        if (sortColumn)
            l.TextRect.setRight(l.Box.x() - 4 - 1);
        l.DrawIndicator = wide;
        break;
    }
    return l;
}

QRect HeaderBoxAfterText(const QRect& box, int textRight)
{
    QRect moved = box;
    moved.moveLeft(textRight + HeaderSortGap);
    return moved;
}

std::array<THeaderTriangleEdge, 3> HeaderSortTriangle(const QRect& box, Qt::SortOrder direction)
{
    const int left = box.left();
    const int right = box.right();
    const int top = box.top();
    const int bottom = box.bottom();
    const int centre = left + (box.width() - 1) / 2;
    if (direction == Qt::AscendingOrder) {
        const QPoint apex(centre, bottom);
        return {{{{left, top}, apex, false}, {{left, top}, {right, top}, false}, {{right, top}, apex, true}}};
    }
    const QPoint apex(centre, top);
    return {{{apex, {left, bottom}, false}, {{left, bottom}, {right, bottom}, true}, {apex, {right, bottom}, true}}};
}

} // namespace corvane::shellctl
