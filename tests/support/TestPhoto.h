#pragma once
// A picture with thousands of colours, as a photo has: gradients crossed with a pattern.
#include <QImage>

namespace corvane::test {

inline QImage TestPhoto(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x / 4 + y / 4) % 2 ? 220 : (x * y) % 256));
    return image;
}

} // namespace corvane::test
