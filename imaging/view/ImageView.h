#pragma once
// A scrolling picture view with a zoom in whole percent, drag scrolling and printing.
#include "imaging/Picture.h"

#include <QAbstractScrollArea>
#include <QPoint>

class QPrinter;

namespace corvane::imaging {

class TImageView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TImageView(QWidget* parent = nullptr);

    // Shows a picture (zoom relative to its true size) and emits ImageChange.
    void SetPicture(Picture picture);
    void Clear();
    const Picture& picture() const { return m_picture; }
    // A finer decoding of the picture shown (same true size), as asked for by DetailWanted:
    // replaces the pixels without moving the view or emitting ImageChange.
    void SetDetail(QImage image);

    int Zoom() const { return m_zoom; }
    // A zoom of 0 or less, or the zoom in effect, does nothing.
    void SetZoom(int percent);
    // Zooms so the whole picture fits the view; an empty picture is left alone.
    void Fit();
    // Prints the picture `widthInches` wide, half an inch from the printable area's corner.
    // Without a picture nothing is printed.
    void Print(QPrinter& printer, double widthInches);

    // The picture's size on screen at the current zoom.
    QSize ShownSize() const;

signals:
    void ImageChange();
    // The zoom shows a reduced picture larger than its pixels: a decoding of at least `need`
    // would show it sharp.
    void DetailWanted(QSize need);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateScrollBars();
    QRect ImageRect() const;
    void CheckDetail();

    Picture m_picture;
    int m_zoom = 100;
    QImage m_scaled;  // the picture reduced to the zoom, kept between paints
    bool m_dragging = false;
    QPoint m_dragStart;
    QPoint m_scrollStart;
    QSize m_detailAsked;
};

} // namespace corvane::imaging
