#pragma once
// Recognising pictures by their content, whatever their names say.
#include <QByteArrayView>
#include <QString>

namespace corvane::imaging {

// Whether the first bytes of a file are those of a picture format the imaging library reads:
// BMP, GIF, JPEG, PCX, PNG, TIFF, WMF, EMF, ICO or CUR.
bool LooksLikePicture(QByteArrayView head);
// The same for a file: reads its first bytes; anything but a readable regular file is no picture.
bool IsPictureFile(const QString& path);

} // namespace corvane::imaging
