#pragma once
// Pictures read from files; the decoder is chosen by the file's extension.
#include <QByteArray>
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
    bool isReduced() const { return !image.isNull() && image.size() != size; }
};

// What one picture may cost: more file bytes than kMaxFileBytes are not read, and no decoded
// image holds more than kMaxImageBytes, so a preview stays well under 1 GB of memory.
inline constexpr qint64 kMaxFileBytes = 256ll << 20;
inline constexpr qint64 kMaxImageBytes = 256ll << 20;

// Whether LoadPicture reads files with this extension (".jpg", any case).
bool CanLoad(const QString& extension);
// Reads a picture. `need`, when valid, is the largest size the caller will show it at:
// formats that decode reduced (JPEG) decode at the smallest size not below it, others whole.
// Anything but a readable regular file in a known, sound format gives a null picture.
Picture LoadPicture(const QString& path, QSize need = {}, const std::atomic_bool* cancel = nullptr);
// The same from bytes already read; `extension` chooses the decoder as for a file.
Picture DecodePicture(const QByteArray& bytes, const QString& extension, QSize need = {},
                      const std::atomic_bool* cancel = nullptr);
// The zoom in whole percent that fits `picture` into a view of `view`; 0 for an empty picture.
int FitZoom(QSize picture, QSize view);
// Where a picture printed `widthInches` wide lands on a dpiX x dpiY page, half an inch in from
// the corner of the printable area; empty for an empty picture.
QRect PrintRect(QSize picture, int dpiX, int dpiY, double widthInches);

} // namespace corvane::imaging
