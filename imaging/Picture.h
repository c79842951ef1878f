#pragma once
// Pictures read from files; the decoder is chosen by the file's extension.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <atomic>

namespace corvane::imaging {

struct Picture
{
    QImage image;  // the decoded pixels, possibly reduced (see LoadPicture)
    QSize size;    // the picture's true size in pixels
    bool isNull() const { return image.isNull(); }
};

// Whether LoadPicture reads files with this extension (".jpg", any case).
bool CanLoad(const QString& extension);
// Reads a picture. `need`, when valid, is the largest size the caller will show it at:
// formats that decode reduced (JPEG) decode at the smallest size not below it, others whole.
// Anything but a readable regular file in a known, sound format gives a null picture.
Picture LoadPicture(const QString& path, QSize need = {}, const std::atomic_bool* cancel = nullptr);
// The zoom in whole percent that fits `picture` into a view of `view`; 0 for an empty picture.
int FitZoom(QSize picture, QSize view);
// Where a picture printed `widthInches` wide lands on a dpiX x dpiY page, half an inch in.
QRect PrintRect(QSize picture, int dpiX, int dpiY, double widthInches);

} // namespace corvane::imaging
