#include "Picture.h"

#include "Metafile.h"
#include "Pcx.h"
#include "core/UniqueFd.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::imaging {

namespace {

enum class Decoder { None, Jpeg, Png, Tiff, Pcx, Gif, Metafile, Bmp, Cur, Ico };

Decoder DecoderFor(const QString& extension)
{
    const QString e = extension.toLower();
    if (e == u".jpg" || e == u".jpeg")
        return Decoder::Jpeg;
    if (e == u".png")
        return Decoder::Png;
    if (e == u".tif" || e == u".tiff")
        return Decoder::Tiff;
    if (e == u".pcx")
        return Decoder::Pcx;
    if (e == u".gif")
        return Decoder::Gif;
    if (e == u".wmf" || e == u".emf")
        return Decoder::Metafile;
    if (e == u".bmp")
        return Decoder::Bmp;
    if (e == u".cur")
        return Decoder::Cur;
    if (e == u".ico")
        return Decoder::Ico;
    return Decoder::None;
}

QString ExtensionOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > slash ? path.mid(dot) : QString();
}

bool Cancelled(const std::atomic_bool* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Qt refuses images over 128 MB by default; our own cap is the one that counts.
void RaiseAllocationLimit()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const int mb = int(kMaxImageBytes >> 20);
        if (QImageReader::allocationLimit() < mb)
            QImageReader::setAllocationLimit(mb);
    });
}

// Reads a regular file whole. Nothing else is opened: a FIFO or a device could block or never end.
bool ReadRegularFile(const QString& path, QByteArray& out, const std::atomic_bool* cancel)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat before{};
    if (::stat(name.constData(), &before) != 0 || !S_ISREG(before.st_mode) || before.st_size > kMaxFileBytes)
        return false;
    // O_NONBLOCK: should the name turn into a FIFO after the check, opening it still returns at once.
    core::UniqueFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd)
        return false;
    struct stat st{};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileBytes)
        return false;
    out.clear();
    out.reserve(qsizetype(st.st_size));
    constexpr qint64 kChunk = 1 << 20;
    for (;;) {
        if (Cancelled(cancel))
            return false;
        const qint64 room = std::min(kChunk, kMaxFileBytes + 1 - out.size());
        if (room <= 0)
            return false;  // grew past the cap while we read
        const qsizetype old = out.size();
        out.resize(old + room);
        const ssize_t n = ::read(fd.get(), out.data() + old, size_t(room));
        if (n < 0 && errno == EINTR) {
            out.resize(old);
            continue;
        }
        if (n < 0) {
            out.clear();
            return false;
        }
        out.resize(old + n);
        if (n == 0)
            return true;
    }
}

// libpng allocates a chunk's declared length before it reads the chunk: a few bytes claiming
// gigabytes would take them. The bytes end before the first chunk that runs past them.
QByteArray WithinPngChunks(QByteArray bytes)
{
    qsizetype at = 8;
    while (at + 12 <= bytes.size()) {
        const auto* p = reinterpret_cast<const uchar*>(bytes.constData() + at);
        const quint32 length = (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
        if (length > quint32(bytes.size() - at - 12)) {
            bytes.truncate(at);
            break;
        }
        at += 12 + qsizetype(length);
    }
    return bytes;
}

QSize FitInside(QSize picture, QSize box)
{
    return picture.scaled(box, Qt::KeepAspectRatio);
}

// libjpeg decodes at M/8 of the true size for M in 1..8: the smallest M whose result is not below
// what the caller shows, and never more than the image cap allows.
QSize JpegDecodeSize(QSize full, QSize need)
{
    auto at = [&](int m) {
        // Floor keeps Qt's own choice of scale at M (it rounds the ratio up).
        return QSize(std::max(1, full.width() * m / 8), std::max(1, full.height() * m / 8));
    };
    int m = 8;
    if (need.isValid() && !need.isEmpty()) {
        const QSize shown = FitInside(full, need);
        m = 1;
        while (m < 8 && (at(m).width() < shown.width() || at(m).height() < shown.height()))
            ++m;
    }
    while (m > 1 && qint64(at(m).width()) * at(m).height() * 4 > kMaxImageBytes)
        --m;
    return m == 8 ? full : at(m);
}

Picture ReadWithQt(const QByteArray& bytes, const char* format, bool scalable, QSize need,
                   const std::atomic_bool* cancel)
{
    RaiseAllocationLimit();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // The extension chose the format: a file is never decoded as something its name does not say.
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    const QSize full = reader.size();
    if (!full.isValid() || full.isEmpty())
        return {};
    QSize decode = full;
    if (scalable) {
        decode = JpegDecodeSize(full, need);
        if (decode != full)
            reader.setScaledSize(decode);
    }
    if (qint64(decode.width()) * decode.height() * 4 > kMaxImageBytes)
        return {};
    if (Cancelled(cancel))
        return {};
    QImage image = reader.read();
    if (image.isNull() || Cancelled(cancel))
        return {};
    // What a whole decoding gives is the picture: a GIF's screen or an icon's directory may
    // announce another size than the image they hold.
    const QSize size = decode == full ? image.size() : full;
    return {std::move(image), size};
}

} // namespace

bool CanLoad(const QString& extension)
{
    return DecoderFor(extension) != Decoder::None;
}

Picture DecodePicture(const QByteArray& bytes, const QString& extension, QSize need, const std::atomic_bool* cancel)
{
    if (bytes.size() > kMaxFileBytes)
        return {};
    switch (DecoderFor(extension)) {
    case Decoder::None:
        return {};
    case Decoder::Jpeg:
        return ReadWithQt(bytes, "jpeg", true, need, cancel);
    case Decoder::Png:
        return ReadWithQt(WithinPngChunks(bytes), "png", false, need, cancel);
    case Decoder::Tiff:
        return ReadWithQt(bytes, "tiff", false, need, cancel);
    case Decoder::Gif:
        return ReadWithQt(bytes, "gif", false, need, cancel);
    case Decoder::Bmp:
        return ReadWithQt(bytes, "bmp", false, need, cancel);
    case Decoder::Cur:
        return ReadWithQt(bytes, "cur", false, need, cancel);
    case Decoder::Ico:
        return ReadWithQt(bytes, "ico", false, need, cancel);
    case Decoder::Pcx: {
        QImage image = ReadPcx(bytes);
        if (image.isNull())
            return {};
        const QSize size = image.size();
        return {std::move(image), size};
    }
    case Decoder::Metafile:
        return RenderMetafile(bytes, need);
    }
    return {};
}

Picture LoadPicture(const QString& path, QSize need, const std::atomic_bool* cancel)
{
    const QString extension = ExtensionOf(path);
    if (!CanLoad(extension))
        return {};
    QByteArray bytes;
    if (!ReadRegularFile(path, bytes, cancel) || Cancelled(cancel))
        return {};
    return DecodePicture(bytes, extension, need, cancel);
}

int FitZoom(QSize picture, QSize view)
{
    if (picture.width() <= 0 || picture.height() <= 0 || view.width() <= 0 || view.height() <= 0)
        return 0;
    // Whole numbers, so that 300 / (1200 / 100) is 25 and not 24.999...
    const qint64 byHeight = qint64(view.height()) * 100 / picture.height();
    const qint64 byWidth = qint64(view.width()) * 100 / picture.width();
    return int(std::min<qint64>({byHeight, byWidth, 1'000'000}));
}

QRect PrintRect(QSize picture, int dpiX, int dpiY, double widthInches)
{
    if (picture.width() <= 0 || picture.height() <= 0 || dpiX <= 0 || dpiY <= 0 || !(widthInches > 0))
        return {};
    const double ratio = double(picture.height()) / picture.width();
    const int left = dpiX / 2;
    const int top = dpiY / 2;
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double w = std::nearbyint(widthInches * dpiX);
    const double h = std::nearbyint(widthInches * dpiY * ratio);
    constexpr double kMax = 1 << 24;
    if (w > kMax || h > kMax)
        return {};
    return QRect(left, top, int(w), int(h));
}

} // namespace corvane::imaging
