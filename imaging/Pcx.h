#pragma once
// PCX pictures (ZSoft Paintbrush): 1-, 2-, 4- and 8-bit palette pictures and 24-bit colour, RLE.
#include <QByteArray>
#include <QByteArrayView>
#include <QImage>

namespace corvane::imaging {

// Decodes a PCX file; a null image for anything unsound. Palette pictures come back as
// Format_Indexed8, colour ones as Format_RGB32.
QImage ReadPcx(QByteArrayView bytes);
// Encodes `image` with 1, 4 or 8 bits per pixel (a palette) or 24 (colour); empty bytes for an
// empty image or another depth. Colours beyond what the depth holds are mapped to the nearest.
QByteArray WritePcx(const QImage& image, int bitsPerPixel);

} // namespace corvane::imaging
