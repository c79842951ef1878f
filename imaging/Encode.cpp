#include "Encode.h"

#include "Pcx.h"
#include "Quantize.h"
#include "core/UniqueFd.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QRandomGenerator>

#include <gif_lib.h>
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace corvane::imaging {

namespace {

bool Cancelled(const std::atomic_bool* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// A palette picture for one sample per pixel: reduced to the colours asked for, else to what
// `maxColors` holds.
QImage PalettePicture(const QImage& image, int colors, int maxColors, const std::atomic_bool* cancel)
{
    const int wanted = colors > 0 ? std::min(colors, maxColors) : maxColors;
    return ReduceColors(image, wanted, cancel);
}

QImage RgbPicture(const QImage& image)
{
    return Opaque(image).convertToFormat(QImage::Format_RGB888);
}

void PutLe16(QByteArray& out, quint32 v)
{
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

void PutLe32(QByteArray& out, quint32 v)
{
    PutLe16(out, v & 0xFFFF);
    PutLe16(out, v >> 16);
}

// Windows bitmap with a BITMAPINFOHEADER: 4 or 8 bits with a palette, or 24 bits, bottom-up.
QByteArray WriteBmp(const QImage& image, int bits)
{
    const int w = image.width(), h = image.height();
    const qint64 stride = ((qint64(w) * bits + 31) / 32) * 4;
    const int paletteSize = bits == 24 ? 0 : (1 << bits);
    const qint64 dataOffset = 14 + 40 + 4ll * paletteSize;
    const qint64 fileSize = dataOffset + stride * h;
    if (fileSize > 0x7FFFFFFF)
        return {};
    QByteArray out;
    out.reserve(qsizetype(fileSize));
    out.append("BM", 2);
    PutLe32(out, quint32(fileSize));
    PutLe32(out, 0);
    PutLe32(out, quint32(dataOffset));
    PutLe32(out, 40);
    PutLe32(out, quint32(w));
    PutLe32(out, quint32(h));
    PutLe16(out, 1);
    PutLe16(out, quint32(bits));
    PutLe32(out, 0);  // BI_RGB
    PutLe32(out, quint32(stride * h));
    PutLe32(out, 3780);  // 96 pixels per inch
    PutLe32(out, 3780);
    PutLe32(out, quint32(paletteSize));
    PutLe32(out, 0);
    if (paletteSize) {
        const QList<QRgb> table = image.colorTable();
        for (int i = 0; i < paletteSize; ++i) {
            const QRgb c = i < table.size() ? table[i] : 0;
            out.append(char(qBlue(c))).append(char(qGreen(c))).append(char(qRed(c))).append('\0');
        }
    }
    QByteArray row(qsizetype(stride), '\0');
    for (int y = h - 1; y >= 0; --y) {
        const uchar* src = image.constScanLine(y);
        row.fill('\0');
        auto* dst = reinterpret_cast<uchar*>(row.data());
        if (bits == 24) {
            for (int x = 0; x < w; ++x) {  // RGB888 in, BGR out
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
        } else if (bits == 8) {
            std::memcpy(dst, src, size_t(w));
        } else {
            for (int x = 0; x < w; ++x)
                dst[x / 2] |= uchar((src[x] & 0x0F) << (x % 2 ? 0 : 4));
        }
        out.append(row);
    }
    return out;
}

int GifWrite(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

// GIF87a with a global colour table of 2^bits entries.
QByteArray WriteGif(const QImage& indexed, int bits)
{
    const int w = indexed.width(), h = indexed.height();
    if (w > 0xFFFF || h > 0xFFFF)
        return {};
    const int entries = 1 << bits;
    const QList<QRgb> table = indexed.colorTable();
    std::vector<GifColorType> colors(size_t(entries), GifColorType{0, 0, 0});
    for (int i = 0; i < entries && i < table.size(); ++i)
        colors[size_t(i)] = GifColorType{GifByteType(qRed(table[i])), GifByteType(qGreen(table[i])),
                                         GifByteType(qBlue(table[i]))};
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &error);
    if (!gif)
        return {};
    ColorMapObject* map = GifMakeMapObject(entries, colors.data());
    bool ok = map && EGifPutScreenDesc(gif, w, h, bits, 0, map) == GIF_OK
              && EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> line(static_cast<size_t>(w));
    for (int y = 0; ok && y < h; ++y) {
        const uchar* src = indexed.constScanLine(y);
        for (int x = 0; x < w; ++x)  // never an index beyond the table
            line[size_t(x)] = GifPixelType(src[x] & (entries - 1));
        ok = EGifPutLine(gif, line.data(), w) == GIF_OK;
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &error) != GIF_OK)
        ok = false;
    return ok ? out : QByteArray();
}

void PngWrite(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void PngFlush(png_structp) {}

// 8-bit palette or 24-bit RGB. Only plain C data lives across setjmp.
QByteArray WritePng(const QImage& image, bool palette)
{
    QByteArray out;
    const int w = image.width(), h = image.height();
    std::vector<png_color> colors;
    if (palette) {
        for (QRgb c : image.colorTable())
            colors.push_back(png_color{png_byte(qRed(c)), png_byte(qGreen(c)), png_byte(qBlue(c))});
        if (colors.empty() || colors.size() > 256)
            return {};
    }
    std::vector<png_bytep> rows(static_cast<size_t>(h));
    for (int y = 0; y < h; ++y)
        rows[size_t(y)] = const_cast<png_bytep>(image.constScanLine(y));

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        return out;
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    // Level 6 with the cheap filters: nearly the size of the best, at a fraction of its time.
    png_set_compression_level(png, 6);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, palette ? PNG_FILTER_NONE : (PNG_FILTER_SUB | PNG_FILTER_UP));
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8, palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    if (palette)
        png_set_PLTE(png, info, colors.data(), int(colors.size()));
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

QByteArray WriteWithQt(const QImage& image, const char* format, int quality, int compression)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (compression >= 0)
        writer.setCompression(compression);
    if (!writer.write(image))
        return {};
    return out;
}

} // namespace

QString FormatExtension(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bmp: return QStringLiteral("BMP");
    case PictureFormat::Gif: return QStringLiteral("GIF");
    case PictureFormat::Jpeg: return QStringLiteral("JPG");
    case PictureFormat::Pcx: return QStringLiteral("PCX");
    case PictureFormat::Png: return QStringLiteral("PNG");
    case PictureFormat::Tiff: return QStringLiteral("TIF");
    }
    return {};
}

QByteArray EncodePicture(const QImage& image, PictureFormat format, const EncodeOptions& o,
                         const std::atomic_bool* cancel)
{
    if (image.isNull() || Cancelled(cancel))
        return {};
    const bool rgb = o.samplesPerPixel == 3;
    if (!rgb && o.samplesPerPixel != 1)
        return {};
    switch (format) {
    case PictureFormat::Bmp:
    case PictureFormat::Pcx: {
        const bool pcx = format == PictureFormat::Pcx;
        if (rgb) {
            const QImage colour = pcx ? Opaque(image).convertToFormat(QImage::Format_RGB32) : RgbPicture(image);
            return pcx ? WritePcx(colour, 24) : WriteBmp(colour, 24);
        }
        const QImage indexed = PalettePicture(image, o.colors, 256, cancel);
        if (indexed.isNull())
            return {};
        const int bits = indexed.colorCount() <= 16 && o.colors > 0 && o.colors <= 16 ? 4 : 8;
        return pcx ? WritePcx(indexed, bits) : WriteBmp(indexed, bits);
    }
    case PictureFormat::Gif: {
        const int bits = o.bitsPerSample;
        if (bits < 1 || bits > 8)
            return {};
        const QImage indexed = PalettePicture(image, o.colors, 1 << bits, cancel);
        return indexed.isNull() ? QByteArray() : WriteGif(indexed, bits);
    }
    case PictureFormat::Jpeg:
        return WriteWithQt(RgbPicture(image), "jpeg", std::clamp(o.jpegQuality, 0, 100), -1);
    case PictureFormat::Png: {
        if (rgb)
            return WritePng(RgbPicture(image), false);
        const QImage indexed = PalettePicture(image, o.colors, 256, cancel);
        return indexed.isNull() ? QByteArray() : WritePng(indexed, true);
    }
    case PictureFormat::Tiff: {
        const QImage out = rgb ? RgbPicture(image) : PalettePicture(image, o.colors, 256, cancel);
        // The TIFF writer's compression 1 is LZW.
        return out.isNull() ? QByteArray() : WriteWithQt(out, "tiff", -1, o.lzw ? 1 : 0);
    }
    }
    return {};
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error, unsigned mode)
{
    auto fail = [error](int err) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(err));
        return false;
    };
    const QByteArray target = QFile::encodeName(path);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray base = target.mid(slash + 1);
    // A hidden name beside the target, so the rename stays within one file system; created
    // with the usual permissions (the umask applies), as the target would be.
    QByteArray temp;
    core::UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        temp = folder + "/." + base.left(200) + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = core::UniqueFd(::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode_t(mode)));
        if (!fd && errno != EEXIST)
            return fail(errno);
    }
    if (!fd)
        return fail(EEXIST);
    auto abandon = [&](int err) {
        ::unlink(temp.constData());
        return fail(err);
    };
    const char* p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), p, size_t(std::min<qint64>(left, 1 << 20)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon(n < 0 ? errno : ENOSPC);
        p += n;
        left -= n;
    }
    if (::fsync(fd.get()) != 0)
        return abandon(errno);
    if (::close(fd.release()) != 0)
        return abandon(errno);
    if (::rename(temp.constData(), target.constData()) != 0)
        return abandon(errno);
    return true;
}

} // namespace corvane::imaging
