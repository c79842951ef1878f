#include "ThumbnailCache.h"

#include "Encode.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QUrl>

#include <sys/stat.h>

namespace corvane::imaging {

namespace {

// The modification time in whole seconds, as the cache keeps it; -1 for no regular file.
qint64 MTimeOf(const QString& path)
{
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return qint64(st.st_mtim.tv_sec);
}

const char* Folder(ThumbnailCache::Size size)
{
    return size == ThumbnailCache::Size::Large ? "large" : "normal";
}

} // namespace

ThumbnailCache::ThumbnailCache(QString root)
    : m_root(std::move(root))
{
    if (m_root.isEmpty()) {
        QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
        if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
            cache = QDir::homePath() + QStringLiteral("/.cache");
        m_root = cache + QStringLiteral("/thumbnails");
    }
}

ThumbnailCache::Size ThumbnailCache::SizeFor(QSize box)
{
    return std::max(box.width(), box.height()) <= int(Size::Normal) ? Size::Normal : Size::Large;
}

QString ThumbnailCache::UriOf(const QString& path)
{
    return QString::fromLatin1(QUrl::fromLocalFile(QDir::cleanPath(QDir(path).absolutePath())).toEncoded());
}

QString ThumbnailCache::PathFor(const QString& path, Size size) const
{
    const QByteArray md5 = QCryptographicHash::hash(UriOf(path).toUtf8(), QCryptographicHash::Md5).toHex();
    return m_root + u'/' + QLatin1String(Folder(size)) + u'/' + QString::fromLatin1(md5) + QStringLiteral(".png");
}

QImage ThumbnailCache::Find(const QString& path, Size size) const
{
    const qint64 mtime = MTimeOf(path);
    if (mtime < 0)
        return {};
    // Through our own safe reader: the cache is written by other programs too.
    const Picture cached = LoadPicture(PathFor(path, size));
    if (cached.isNull() || cached.image.text(QStringLiteral("Thumb::URI")) != UriOf(path))
        return {};
    bool ok = false;
    if (cached.image.text(QStringLiteral("Thumb::MTime")).toLongLong(&ok) != mtime || !ok)
        return {};
    if (std::max(cached.size.width(), cached.size.height()) > int(size))
        return {};
    return cached.image;
}

bool ThumbnailCache::Store(const QString& path, Size size, const QImage& thumbnail) const
{
    const qint64 mtime = MTimeOf(path);
    if (mtime < 0 || thumbnail.isNull())
        return false;
    // The cache is private to the user: folders 0700, files 0600.
    const QString folder = m_root + u'/' + QLatin1String(Folder(size));
    if (!QDir().mkpath(folder))
        return false;
    ::chmod(QFile::encodeName(m_root).constData(), 0700);
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    QImage image = thumbnail;
    image.setText(QStringLiteral("Thumb::URI"), UriOf(path));
    image.setText(QStringLiteral("Thumb::MTime"), QString::number(mtime));
    image.setText(QStringLiteral("Thumb::Size"), QString::number(QFileInfo(path).size()));
    image.setText(QStringLiteral("Software"), QStringLiteral("Corvane"));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setCompression(1);  // quick: thumbnails are small and written often
    if (!writer.write(image))
        return false;
    return WriteFileAtomically(PathFor(path, size), bytes, nullptr, 0600);
}

QImage ThumbnailCache::Load(const QString& path, Size size, const std::atomic_bool* cancel) const
{
    QImage image = Find(path, size);
    if (!image.isNull())
        return image;
    const QSize box{int(size), int(size)};
    const Picture picture = LoadPicture(path, box, cancel);
    if (picture.isNull())
        return {};
    image = picture.image;
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (image.format() != QImage::Format_ARGB32 && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    Store(path, size, image);
    return image;
}

} // namespace corvane::imaging
