// The sort indicator of the list's column header: its geometry and the pixels it paints.
#include "shellctl/HeaderSortView.h"
#include "shellctl/UTreeList.h"

#include <QImage>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace corvane::shellctl;

namespace {

// Right edge counted exclusively, as the drawing rules state it.
int rightEx(const QRect& r) { return r.x() + r.width(); }

TEST(HeaderSortGeometry, TextRectAndBox)
{
    const QRect text = HeaderTextRect(QRect(0, 0, 100, 24));
    EXPECT_EQ(text, QRect(6, 2, 88, 20));
    // side = (2 + 22) / 2 - 1, top = (2 + 22 - 11) / 2 - 1
    EXPECT_EQ(HeaderSortBox(text), QRect(6, 5, 11, 11));
    EXPECT_EQ(HeaderSortBox(HeaderTextRect(QRect(40, 0, 60, 14))), QRect(46, 3, 6, 6));
}

TEST(HeaderSortGeometry, IndicatorNeedsAColumnWiderThanTwiceTheBox)
{
    const QRect box(0, 0, 11, 11);
    EXPECT_FALSE(HeaderIndicatorVisible(20, box));
    EXPECT_FALSE(HeaderIndicatorVisible(22, box));
    EXPECT_TRUE(HeaderIndicatorVisible(23, box));
    EXPECT_TRUE(HeaderIndicatorVisible(30, box));
}

struct LayoutCase {
    const char* name;
    TLvHeaderSortDisplayMode mode;
    int width;
    int height;
    bool sortColumn;
    bool rightAligned;
    bool indicator;
    int textLeft;
    int textRight; // exclusive
    int boxLeft;
    bool boxFollowsText;
};

TEST(HeaderSortGeometry, LayoutPerMode)
{
    // Height 24 gives a box of 11 at y 5; height 14 a box of 6, small enough that only the
    // 15-pixel rule of lvLeftAlign decides.
    const LayoutCase cases[] = {
        {"none on the sort column", lvNone, 100, 24, true, false, false, 6, 94, 6, false},
        {"left 15 wide: nothing", lvLeftAlign, 15, 14, true, false, false, 6, 9, 6, false},
        {"left 16 wide", lvLeftAlign, 16, 14, true, false, true, 17, 10, 6, false},
        {"left 20 wide: text moves, box too wide", lvLeftAlign, 20, 24, true, false, false, 22, 14, 6, false},
        {"left, other column", lvLeftAlign, 100, 24, false, false, false, 6, 94, 6, false},
        {"right align", lvRightAlign, 100, 24, true, false, true, 6, 74, 78, false},
        {"right align, other column", lvRightAlign, 100, 24, false, false, false, 6, 94, 78, false},
        {"right align 20 wide", lvRightAlign, 20, 24, true, false, false, 6, -6, -2, false},
        {"right of text", lvRightOfText, 100, 24, true, false, true, 6, 94, 6, true},
        {"right of text, right-aligned column", lvRightOfText, 100, 24, true, true, true, 6, 74, 78, false},
        {"right of text, other column", lvRightOfText, 100, 24, false, false, false, 6, 94, 6, true},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        const THeaderItemLayout l = HeaderItemLayout(QRect(0, 0, c.width, c.height), c.mode, c.sortColumn,
                                                     c.rightAligned);
        EXPECT_EQ(l.DrawIndicator, c.indicator);
        EXPECT_EQ(l.TextRect.left(), c.textLeft);
        EXPECT_EQ(rightEx(l.TextRect), c.textRight);
        EXPECT_EQ(l.Box.left(), c.boxLeft);
        EXPECT_EQ(l.BoxFollowsText, c.boxFollowsText);
    }
    // lvRightOfText: 5 pixels after the text's end.
    EXPECT_EQ(HeaderBoxAfterText(QRect(6, 5, 11, 11), 40), QRect(45, 5, 11, 11));
}

TEST(HeaderSortGeometry, TriangleShapes)
{
    const QRect box(10, 5, 11, 11);
    const auto down = HeaderSortTriangle(box, Qt::AscendingOrder);
    // Apex at the bottom centre; only the right edge is highlighted.
    EXPECT_EQ(down[0].To, QPoint(15, 15));
    EXPECT_EQ(down[1].From, QPoint(10, 5));
    EXPECT_EQ(down[1].To, QPoint(20, 5));
    EXPECT_EQ((std::array<bool, 3>{down[0].Highlight, down[1].Highlight, down[2].Highlight}),
              (std::array<bool, 3>{false, false, true}));
    const auto up = HeaderSortTriangle(box, Qt::DescendingOrder);
    EXPECT_EQ(up[0].From, QPoint(15, 5));
    EXPECT_EQ(up[1].From, QPoint(10, 15));
    EXPECT_EQ(up[1].To, QPoint(20, 15));
    EXPECT_EQ((std::array<bool, 3>{up[0].Highlight, up[1].Highlight, up[2].Highlight}),
              (std::array<bool, 3>{false, true, true}));
}

// A details list whose header is painted with colours that tell the indicator's edges apart.
class HeaderRender : public ::testing::Test
{
protected:
    void SetUp() override
    {
        model.setHorizontalHeaderLabels({"Name", "Size", "Type", "X"});
        model.setHeaderData(1, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter), Qt::TextAlignmentRole);
        model.appendRow({new QStandardItem("a"), new QStandardItem("1"), new QStandardItem("t"),
                         new QStandardItem("x")});
        list.setModel(&model);
        list.SetViewStyle(vsReport);
        QPalette pal = list.Header()->palette();
        pal.setColor(QPalette::Button, button);
        pal.setColor(QPalette::Dark, shadow);
        pal.setColor(QPalette::Light, highlight);
        pal.setColor(QPalette::Mid, QColor(128, 0, 128));
        pal.setColor(QPalette::ButtonText, Qt::black);
        list.Header()->setPalette(pal);
        list.Header()->setFixedHeight(24);
        list.Header()->setMinimumSectionSize(0);
        list.ReportView()->setColumnWidth(0, 120);
        list.ReportView()->setColumnWidth(1, 120);
        list.ReportView()->setColumnWidth(2, 20);
        list.ReportView()->setColumnWidth(3, 30);
        list.resize(400, 200);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    QImage render()
    {
        QHeaderView* h = list.Header();
        QImage image(h->size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        h->render(&image);
        return image;
    }

    QRect section(int column) const
    {
        const QHeaderView* h = list.Header();
        return QRect(h->sectionViewportPosition(column), 0, h->sectionSize(column), h->height());
    }

    // Pixels in the shadow or highlight colour inside a rectangle.
    int edgePixels(const QImage& image, const QRect& r, const QColor& colour) const
    {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += QColor(image.pixel(x, y)) == colour;
        return n;
    }

    QStandardItemModel model;
    TCustomListView list;
    const QColor button{200, 200, 200};
    const QColor shadow{0, 0, 255};
    const QColor highlight{0, 255, 0};
};

TEST_F(HeaderRender, TrianglePixelsFollowTheRules)
{
    struct Case {
        TLvHeaderSortDisplayMode mode;
        int column;
        Qt::SortOrder direction;
    };
    const Case cases[] = {
        {lvRightAlign, 0, Qt::AscendingOrder},
        {lvRightAlign, 0, Qt::DescendingOrder},
        {lvLeftAlign, 0, Qt::AscendingOrder},
        {lvRightOfText, 1, Qt::DescendingOrder}, // a right-aligned column
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " column " << c.column << " dir " << c.direction);
        list.SetHeaderSortDisplayMode(c.mode);
        list.SetHeaderSortColumn(c.column);
        list.SetHeaderSortDirection(c.direction);
        const QImage image = render();
        const QRect box = HeaderItemLayout(section(c.column), c.mode, true, c.column == 1).Box;
        ASSERT_EQ(box.size(), QSize(11, 11));
        const int mid = box.top() + box.height() / 2;
        const int centre = box.left() + box.width() / 2;
        const QRect leftHalf(box.left(), mid, centre - box.left(), 1);
        const QRect rightHalf(centre + 1, mid, box.right() - centre, 1);
        EXPECT_GT(edgePixels(image, leftHalf, shadow), 0);
        EXPECT_GT(edgePixels(image, rightHalf, highlight), 0);
        const QRect top(box.left(), box.top(), box.width(), 1);
        const QRect bottom(box.left(), box.bottom(), box.width(), 1);
        if (c.direction == Qt::AscendingOrder) {
            // Pointing down: a shadowed top edge, a narrow bottom.
            EXPECT_GE(edgePixels(image, top, shadow), box.width() - 1);
            EXPECT_LE(edgePixels(image, bottom, shadow) + edgePixels(image, bottom, highlight), 3);
        } else {
            EXPECT_GE(edgePixels(image, bottom, highlight), box.width() - 1);
            EXPECT_LE(edgePixels(image, top, shadow) + edgePixels(image, top, highlight), 3);
        }
        // Nothing outside the box, and the box is filled with the button face.
        const QRect around = box.adjusted(-3, -3, 3, 3);
        EXPECT_EQ(edgePixels(image, around, shadow) + edgePixels(image, around, highlight),
                  edgePixels(image, box, shadow) + edgePixels(image, box, highlight));
        EXPECT_EQ(QColor(image.pixel(box.right(), box.top() + box.height() / 2)), button);
        // Only the sort column shows an indicator.
        const QRect other = section(1 - c.column);
        EXPECT_EQ(edgePixels(image, other, shadow) + edgePixels(image, other, highlight), 0);
    }
}

TEST_F(HeaderRender, IndicatorFollowsTheTextEnd)
{
    list.SetHeaderSortDisplayMode(lvRightOfText);
    list.SetHeaderSortColumn(0);
    list.SetHeaderSortDirection(Qt::AscendingOrder);
    const QImage image = render();
    const QRect text = HeaderTextRect(section(0));
    const int expectedLeft = text.left() + QFontMetrics(list.Header()->font()).horizontalAdvance("Name") + 5;
    int firstEdge = -1;
    for (int x = text.left(); x <= text.right() && firstEdge < 0; ++x)
        if (QColor(image.pixel(x, HeaderSortBox(text).top())) == shadow)
            firstEdge = x;
    EXPECT_NEAR(firstEdge, expectedLeft, 1);
}

TEST_F(HeaderRender, NarrowColumnsShowNoIndicator)
{
    list.SetHeaderSortDisplayMode(lvRightAlign);
    list.SetHeaderSortDirection(Qt::DescendingOrder);
    const auto edges = [&](int column) {
        list.SetHeaderSortColumn(column);
        const QImage image = render();
        return edgePixels(image, section(column), shadow) + edgePixels(image, section(column), highlight);
    };
    EXPECT_EQ(edges(2), 0); // 20 pixels, box of 11
    EXPECT_GT(edges(3), 0); // 30 pixels
}

TEST_F(HeaderRender, NoneDrawsThePlainHeader)
{
    list.SetHeaderSortDisplayMode(lvRightAlign);
    list.SetHeaderSortColumn(0);
    ASSERT_GT(edgePixels(render(), section(0), highlight), 0);
    list.SetHeaderSortDisplayMode(lvNone);
    EXPECT_EQ(edgePixels(render(), section(0), highlight), 0);
}

} // namespace
