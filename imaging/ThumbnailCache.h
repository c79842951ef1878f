#pragma once
// The thumbnail cache that desktops share ($XDG_CACHE_HOME/thumbnails): PNG files named by the
// MD5 of the picture's URI, in "normal" (128 pixels) and "large" (256 pixels) sizes, carrying the
// picture's URI and modification time so that a changed picture is thumbnailed again.
#include "Picture.h"

#include <QImage>
#include <QString>

#include <atomic>

namespace corvane::imaging {

class ThumbnailCache
{
public:
    enum class Size { Normal = 128, Large = 256 };

    // The cache under `root`; by default $XDG_CACHE_HOME/thumbnails (~/.cache/thumbnails).
    explicit ThumbnailCache(QString root = {});

    QString Root() const { return m_root; }
    // The smallest cache size that shows a picture sharp in a box of `box`.
    static Size SizeFor(QSize box);
    // "file://" and the percent-encoded absolute path, as the cache keys it.
    static QString UriOf(const QString& path);
    // Where the cache keeps the thumbnail of `path` at `size`.
    QString PathFor(const QString& path, Size size) const;

    // The cached thumbnail of `path`, if it is there and made from the picture as it is now.
    QImage Find(const QString& path, Size size) const;
    // Stores `thumbnail` (already reduced) for `path` as it is now; false when it cannot.
    bool Store(const QString& path, Size size, const QImage& thumbnail) const;

    // A thumbnail of `path` no larger than `size`: from the cache, or decoded (by extension,
    // reduced while decoding where the format allows) and then stored. Null for a picture that
    // cannot be read.
    QImage Load(const QString& path, Size size, const std::atomic_bool* cancel = nullptr) const;

private:
    QString m_root;
};

} // namespace corvane::imaging
