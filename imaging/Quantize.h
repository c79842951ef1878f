#pragma once
// Colour reduction: a picture mapped, dithered, onto a palette built for it.
#include <QImage>

#include <atomic>

namespace corvane::imaging {

// The picture without transparency: transparent parts become white, as on a page.
QImage Opaque(const QImage& image);
// Reduces `image` to at most `colors` colours (2 to 256) with a palette built for the picture
// and dithering. Gives Format_Indexed8; a palette picture that already fits is kept as it is.
// Null for an empty picture, a bad count, a cancel or a quantizer failure.
QImage ReduceColors(const QImage& image, int colors, const std::atomic_bool* cancel = nullptr);

} // namespace corvane::imaging
