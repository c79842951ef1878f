#include "imaging/view/ImageView.h"

#include "tests/support/TempDir.h"

#include <QPrinter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace corvane::imaging;
using corvane::test::TempDir;
using corvane::test::runShell;

namespace {

Picture Solid(QSize size, QColor colour = Qt::red)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return {image, size};
}

// A view whose client area, without scroll bars, is 400 x 300.
struct View
{
    TImageView view;
    View()
    {
        const int f = view.frameWidth();
        view.resize(400 + 2 * f, 300 + 2 * f);
        view.show();
    }
};

} // namespace

TEST(ImageView, FitUsesTheClientArea)
{
    View v;
    ASSERT_EQ(v.view.maximumViewportSize(), QSize(400, 300));
    v.view.SetPicture(Solid({1600, 1200}));
    v.view.Fit();
    EXPECT_EQ(v.view.Zoom(), 25);
    v.view.SetPicture(Solid({100, 50}));
    v.view.Fit();
    EXPECT_EQ(v.view.Zoom(), 400);
    EXPECT_EQ(v.view.ShownSize(), QSize(400, 200));
    // An empty picture is left alone.
    v.view.Clear();
    v.view.Fit();
    EXPECT_EQ(v.view.Zoom(), 400);
}

TEST(ImageView, ZoomAndChangeEvents)
{
    View v;
    QSignalSpy changes(&v.view, &TImageView::ImageChange);
    v.view.SetPicture(Solid({1000, 800}));
    v.view.SetPicture(Solid({10, 10}));
    v.view.Clear();
    EXPECT_EQ(changes.count(), 3);
    v.view.SetPicture(Solid({1000, 800}));
    v.view.SetZoom(200);
    EXPECT_EQ(v.view.Zoom(), 200);
    for (int ignored : {0, -5, 200})
        v.view.SetZoom(ignored);
    EXPECT_EQ(v.view.Zoom(), 200);
    EXPECT_EQ(v.view.horizontalScrollBar()->maximum(), 2000 - v.view.viewport()->width());
    // The zoom stays from picture to picture.
    v.view.SetPicture(Solid({30, 30}));
    EXPECT_EQ(v.view.Zoom(), 200);
    EXPECT_EQ(changes.count(), 5);
}

TEST(ImageView, DragScrollsWithTheMouse)
{
    View v;
    v.view.SetPicture(Solid({1000, 1000}));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v.view));
    QWidget* port = v.view.viewport();
    QTest::mousePress(port, Qt::LeftButton, {}, QPoint(200, 150));
    QTest::mouseMove(port, QPoint(150, 120));
    QTest::mouseMove(port, QPoint(100, 100));
    QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(v.view.horizontalScrollBar()->value(), 100);
    EXPECT_EQ(v.view.verticalScrollBar()->value(), 50);
    // Dragging back past the start stops at the edge.
    QTest::mousePress(port, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(port, QPoint(300, 250));
    QTest::mouseRelease(port, Qt::LeftButton, {}, QPoint(300, 250));
    EXPECT_EQ(v.view.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(v.view.verticalScrollBar()->value(), 0);
}

TEST(ImageView, ReducedPictureAsksForDetailWhenZoomedIn)
{
    View v;
    QSignalSpy wanted(&v.view, &TImageView::DetailWanted);
    QImage small(100, 75, QImage::Format_RGB32);
    small.fill(Qt::blue);
    v.view.SetZoom(25);
    v.view.SetPicture({small, QSize(400, 300)});
    EXPECT_EQ(wanted.count(), 0);  // 100 x 75 shown from 100 x 75 pixels
    v.view.SetZoom(50);
    ASSERT_EQ(wanted.count(), 1);
    EXPECT_EQ(wanted.at(0).at(0).toSize(), QSize(200, 150));
    v.view.SetZoom(400);
    ASSERT_EQ(wanted.count(), 2);
    EXPECT_EQ(wanted.at(1).at(0).toSize(), QSize(400, 300));  // never beyond the true size
    QImage whole(400, 300, QImage::Format_RGB32);
    whole.fill(Qt::green);
    v.view.SetDetail(whole);
    EXPECT_EQ(v.view.picture().image.size(), QSize(400, 300));
    EXPECT_EQ(v.view.picture().size, QSize(400, 300));
}

// Printed to a PDF at 600 dpi and rasterised back: the picture covers the rectangle.
TEST(ImageView, PrintLandsInTheRectangle)
{
    TempDir dir;
    TImageView view;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setResolution(600);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    printer.setOutputFileName(dir.filePath("empty.pdf"));
    view.Print(printer, 3);
    EXPECT_FALSE(QFile::exists(dir.filePath("empty.pdf")));

    view.SetPicture(Solid({400, 200}, Qt::black));
    printer.setOutputFileName(dir.filePath("out.pdf"));
    view.Print(printer, 3);
    ASSERT_EQ(runShell("pdftoppm -r 600 -x 0 -y 0 -W 2400 -H 1600 -gray -singlefile '" + dir.filePath("out.pdf")
                       + "' '" + dir.filePath("page") + "'"),
              0);
    const QImage page(dir.filePath("page.pgm"));
    ASSERT_FALSE(page.isNull());
    QRect ink;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (qGray(page.pixel(x, y)) < 128)
                ink |= QRect(x, y, 1, 1);
    // left 300, top 300, right 2100, bottom 1200 (exclusive), to a pixel of rasterising.
    EXPECT_NEAR(ink.left(), 300, 1);
    EXPECT_NEAR(ink.top(), 300, 1);
    EXPECT_NEAR(ink.right() + 1, 2100, 1);
    EXPECT_NEAR(ink.bottom() + 1, 1200, 1);
}
