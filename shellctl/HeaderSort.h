#pragma once
// Geometry of the sort indicator in a list's column header, kept apart from painting so
// the numbers can be checked on their own.
#include <QPoint>
#include <QRect>
#include <QtGlobal>
#include <array>

namespace corvane::shellctl {

enum TLvHeaderSortDisplayMode { lvNone, lvLeftAlign, lvRightOfText, lvRightAlign };

// Gap between the indicator box and the text beside it.
inline constexpr int HeaderSortGap = 5;
// lvLeftAlign needs a column wider than this before it moves the text.
inline constexpr int HeaderLeftAlignMinWidth = 15;

// The item rectangle shrunk by 2 on every side, then by 4 more at the left and right.
QRect HeaderTextRect(const QRect& itemRect);
// The square the indicator is drawn in: side (top + bottom) / 2 - 1 of the text rectangle
// (bottom exclusive), at its left edge.
QRect HeaderSortBox(const QRect& textRect);
// A column shows the indicator only when it is wider than twice the box.
bool HeaderIndicatorVisible(int columnWidth, const QRect& box);

struct THeaderItemLayout {
    QRect TextRect;
    QRect Box;
    // The indicator is painted in Box (it is the sort column and wide enough).
    bool DrawIndicator = false;
    // lvRightOfText with a column that is not right-aligned: Box still has to be moved
    // behind the drawn text with HeaderBoxAfterText.
    bool BoxFollowsText = false;
};

THeaderItemLayout HeaderItemLayout(const QRect& itemRect, TLvHeaderSortDisplayMode mode, bool sortColumn,
                                   bool rightAligned);
// The box moved so that it starts HeaderSortGap pixels after the text's right end
// (textRight is exclusive).
QRect HeaderBoxAfterText(const QRect& box, int textRight);

// One edge of the indicator triangle, and whether it takes the highlight colour (else shadow).
struct THeaderTriangleEdge {
    QPoint From;
    QPoint To;
    bool Highlight = false;
};
// Ascending points down (apex at the bottom centre): left and top edges in shadow, right
// edge in highlight. Descending points up (apex at the top centre): left edge in shadow,
// bottom and right edges in highlight. Shadow edges come first, so highlight wins at
// shared corners.
std::array<THeaderTriangleEdge, 3> HeaderSortTriangle(const QRect& box, Qt::SortOrder direction);

} // namespace corvane::shellctl
