#pragma once
// A scrolling picture view with a zoom in whole percent, drag scrolling and printing.
#include "imaging/Picture.h"

#include <QAbstractScrollArea>

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

    int Zoom() const { return m_zoom; }
    // A zoom of 0 or less, or the zoom in effect, does nothing.
    void SetZoom(int percent);
    // Zooms so the whole picture fits the view; an empty picture is left alone.
    void Fit();
    // Prints the picture `widthInches` wide, half an inch from the page's corner.
    void Print(QPrinter& printer, double widthInches);

signals:
    void ImageChange();

private:
    Picture m_picture;
    int m_zoom = 100;
};

} // namespace corvane::imaging
