#pragma once
// Windows metafiles (WMF, with or without the placeable header, and EMF) drawn with QPainter.
#include "Picture.h"

#include <QByteArrayView>

namespace corvane::imaging {

// The longest side a metafile is drawn at; the picture's true size may be larger.
inline constexpr int kMaxMetafileSide = 4096;

// Draws a metafile on white. The picture's true size is its frame at 96 dots per inch; the image
// is that size, reduced to fit `need` (when valid) and kMaxMetafileSide. Null for anything unsound.
Picture RenderMetafile(QByteArrayView bytes, QSize need = {}, const std::atomic_bool* cancel = nullptr);

} // namespace corvane::imaging
