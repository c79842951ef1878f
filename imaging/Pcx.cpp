#include "Pcx.h"

#include "Picture.h"

#include <QList>

#include <algorithm>
#include <cstring>

namespace corvane::imaging {

namespace {

constexpr int kHeaderSize = 128;
constexpr int kVgaPaletteSize = 769;  // 0x0C, then 256 RGB triples, at the very end

quint16 U16(const uchar* p)
{
    return quint16(p[0] | (p[1] << 8));
}

void PutU16(uchar* p, int v)
{
    p[0] = uchar(v & 0xFF);
    p[1] = uchar((v >> 8) & 0xFF);
}

// Reads the run-length stream one scan line at a time; runs may cross line ends, as some writers
// let them. What the data lacks reads as zero: a truncated file shows as far as it goes.
class RleReader
{
public:
    RleReader(const uchar* p, const uchar* end, bool rle) : m_p(p), m_end(end), m_rle(rle) {}
    void Fill(uchar* out, qsizetype n)
    {
        qsizetype i = 0;
        while (i < n) {
            if (m_run > 0) {
                const qsizetype k = std::min<qsizetype>(m_run, n - i);
                std::memset(out + i, m_value, size_t(k));
                m_run -= int(k);
                i += k;
                continue;
            }
            if (m_p >= m_end) {
                std::memset(out + i, 0, size_t(n - i));
                return;
            }
            const uchar b = *m_p++;
            if (m_rle && (b & 0xC0) == 0xC0) {
                m_run = b & 0x3F;
                m_value = m_p < m_end ? *m_p++ : 0;
            } else {
                out[i++] = b;
            }
        }
    }

private:
    const uchar* m_p;
    const uchar* m_end;
    bool m_rle;
    int m_run = 0;
    uchar m_value = 0;
};

void AppendRle(QByteArray& out, const uchar* line, qsizetype n)
{
    qsizetype i = 0;
    while (i < n) {
        const uchar v = line[i];
        int run = 1;
        while (i + run < n && run < 63 && line[i + run] == v)
            ++run;
        if (run > 1 || (v & 0xC0) == 0xC0)
            out.append(char(0xC0 | run));
        out.append(char(v));
        i += run;
    }
}

QList<QRgb> Vga16()
{
    static const QRgb table[16] = {
        0xFF000000, 0xFF000080, 0xFF008000, 0xFF008080, 0xFF800000, 0xFF800080, 0xFF808000, 0xFFC0C0C0,
        0xFF808080, 0xFF0000FF, 0xFF00FF00, 0xFF00FFFF, 0xFFFF0000, 0xFFFF00FF, 0xFFFFFF00, 0xFFFFFFFF,
    };
    return QList<QRgb>(std::begin(table), std::end(table));
}

// An indexed copy of `image` with at most `colours` entries.
QImage Indexed(const QImage& image, int colours)
{
    if (image.format() == QImage::Format_Indexed8 && image.colorCount() <= colours)
        return image;
    if ((image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        && image.colorCount() <= colours)
        return image.convertToFormat(QImage::Format_Indexed8);
    if (colours == 2)
        return image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither).convertToFormat(QImage::Format_Indexed8);
    if (colours == 16)
        return image.convertToFormat(QImage::Format_Indexed8, Vga16(), Qt::ThresholdDither);
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

} // namespace

QImage ReadPcx(QByteArrayView bytes)
{
    if (bytes.size() < kHeaderSize)
        return {};
    const auto* h = reinterpret_cast<const uchar*>(bytes.data());
    const int encoding = h[2];
    const int bpp = h[3];
    const int planes = h[65];
    const int bytesPerLine = U16(h + 66);
    if (h[0] != 0x0A || encoding > 1)
        return {};
    const int xmin = U16(h + 4), ymin = U16(h + 6), xmax = U16(h + 8), ymax = U16(h + 10);
    if (xmax < xmin || ymax < ymin)
        return {};
    const int width = xmax - xmin + 1;
    const int height = ymax - ymin + 1;

    enum { Palette, Colour } kind;
    if ((bpp == 1 && planes >= 1 && planes <= 4) || ((bpp == 2 || bpp == 4 || bpp == 8) && planes == 1))
        kind = Palette;
    else if (bpp == 8 && (planes == 3 || planes == 4))
        kind = Colour;
    else
        return {};
    if (qint64(bytesPerLine) * 8 < qint64(width) * bpp || bytesPerLine == 0)
        return {};
    if (qint64(width) * height * 4 > kMaxImageBytes)
        return {};
    const qsizetype lineBytes = qsizetype(bytesPerLine) * planes;
    const qint64 total = qint64(lineBytes) * height;
    const qsizetype dataEnd = (bpp == 8 && planes == 1 && bytes.size() >= kHeaderSize + kVgaPaletteSize
                               && uchar(bytes[bytes.size() - kVgaPaletteSize]) == 0x0C)
        ? bytes.size() - kVgaPaletteSize
        : bytes.size();
    // A run of 63 bytes takes 2 bytes of data: a file too short for its picture is a bomb or broken.
    const qint64 data = dataEnd - kHeaderSize;
    if (data <= 0 || (encoding == 1 ? data * 32 : data) < total / 2)
        return {};

    QImage image(width, height, kind == Palette ? QImage::Format_Indexed8 : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    if (kind == Palette) {
        const int bits = bpp * planes;
        QList<QRgb> table;
        if (bits == 8) {
            if (dataEnd != bytes.size()) {
                const auto* p = h + bytes.size() - kVgaPaletteSize + 1;
                for (int i = 0; i < 256; ++i)
                    table.append(qRgb(p[3 * i], p[3 * i + 1], p[3 * i + 2]));
            } else {
                for (int i = 0; i < 256; ++i)
                    table.append(qRgb(i, i, i));
            }
        } else {
            const uchar* p = h + 16;
            const int n = 1 << bits;
            for (int i = 0; i < n; ++i)
                table.append(qRgb(p[3 * i], p[3 * i + 1], p[3 * i + 2]));
            // Many writers leave the header palette of a monochrome picture empty.
            if (bits == 1 && table[0] == table[1])
                table = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
        }
        image.setColorTable(table);
    }

    RleReader rle(h + kHeaderSize, h + dataEnd, encoding == 1);
    QByteArray line(lineBytes, Qt::Uninitialized);
    const auto* l = reinterpret_cast<const uchar*>(line.constData());
    for (int y = 0; y < height; ++y) {
        rle.Fill(reinterpret_cast<uchar*>(line.data()), lineBytes);
        uchar* out = image.scanLine(y);
        if (kind == Colour) {
            auto* px = reinterpret_cast<QRgb*>(out);
            for (int x = 0; x < width; ++x)
                px[x] = qRgb(l[x], l[bytesPerLine + x], l[2 * bytesPerLine + x]);
        } else if (planes == 1) {
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (int x = 0; x < width; ++x) {
                const int shift = 8 - bpp * (x % perByte + 1);
                out[x] = uchar((l[x / perByte] >> shift) & mask);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                int v = 0;
                for (int p = 0; p < planes; ++p)
                    v |= ((l[p * bytesPerLine + x / 8] >> (7 - x % 8)) & 1) << p;
                out[x] = uchar(v);
            }
        }
    }
    return image;
}

QByteArray WritePcx(const QImage& source, int bitsPerPixel)
{
    if (source.isNull() || source.width() > 65535 || source.height() > 65535)
        return {};
    int bpp = 0, planes = 0;
    QImage image;
    switch (bitsPerPixel) {
    case 1:
        bpp = 1, planes = 1, image = Indexed(source, 2);
        break;
    case 4:
        bpp = 1, planes = 4, image = Indexed(source, 16);
        break;
    case 8:
        bpp = 8, planes = 1, image = Indexed(source, 256);
        break;
    case 24:
        bpp = 8, planes = 3, image = source.convertToFormat(QImage::Format_RGB32);
        break;
    default:
        return {};
    }
    if (image.isNull())
        return {};
    const int width = image.width();
    const int height = image.height();
    // Lines are padded to an even number of bytes.
    int bytesPerLine = (width * bpp + 7) / 8;
    bytesPerLine += bytesPerLine & 1;

    QByteArray out(kHeaderSize, '\0');
    auto* h = reinterpret_cast<uchar*>(out.data());
    h[0] = 0x0A;
    h[1] = 5;
    h[2] = 1;
    h[3] = uchar(bpp);
    PutU16(h + 8, width - 1);
    PutU16(h + 10, height - 1);
    PutU16(h + 12, 72);
    PutU16(h + 14, 72);
    const QList<QRgb> table = image.colorTable();
    if (planes * bpp <= 4) {
        for (int i = 0; i < std::min<qsizetype>(16, table.size()); ++i) {
            h[16 + 3 * i] = uchar(qRed(table[i]));
            h[17 + 3 * i] = uchar(qGreen(table[i]));
            h[18 + 3 * i] = uchar(qBlue(table[i]));
        }
    }
    h[65] = uchar(planes);
    PutU16(h + 66, bytesPerLine);
    h[68] = 1;

    QByteArray line(qsizetype(bytesPerLine) * planes, '\0');
    auto* l = reinterpret_cast<uchar*>(line.data());
    for (int y = 0; y < height; ++y) {
        line.fill('\0');
        const uchar* in = image.constScanLine(y);
        if (planes == 3) {
            const auto* px = reinterpret_cast<const QRgb*>(in);
            for (int x = 0; x < width; ++x) {
                l[x] = uchar(qRed(px[x]));
                l[bytesPerLine + x] = uchar(qGreen(px[x]));
                l[2 * bytesPerLine + x] = uchar(qBlue(px[x]));
            }
        } else if (bpp == 8) {
            std::memcpy(l, in, size_t(width));
        } else {
            for (int x = 0; x < width; ++x) {
                for (int p = 0; p < planes; ++p) {
                    if ((in[x] >> p) & 1)
                        l[p * bytesPerLine + x / 8] |= uchar(0x80 >> (x % 8));
                }
            }
        }
        for (int p = 0; p < planes; ++p)
            AppendRle(out, l + p * bytesPerLine, bytesPerLine);
    }
    if (bpp == 8 && planes == 1) {
        out.append(char(0x0C));
        for (int i = 0; i < 256; ++i) {
            const QRgb c = i < table.size() ? table[i] : 0;
            out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
        }
    }
    return out;
}

} // namespace corvane::imaging
