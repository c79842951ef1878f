#include "imaging/Pcx.h"

#include "tests/support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace corvane::imaging;
using corvane::test::TempDir;
using corvane::test::runShell;

namespace {

// A picture the depth holds exactly: long runs (over 63), values of 0xC0 and up, an odd width.
QImage Source(int bits)
{
    const int w = 151, h = 37;
    if (bits == 24) {
        QImage image(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, x < 80 ? qRgb(0xC3, 0xC3, 0xFF) : qRgb((x * 7) & 255, (y * 13) & 255, (x * y) & 255));
        return image;
    }
    const int colours = 1 << bits;
    QImage image(w, h, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (int i = 0; i < colours; ++i)
        table.append(bits == 1 ? (i ? qRgb(255, 255, 255) : qRgb(0, 0, 0)) : qRgb(i * 37 & 255, 255 - i, (i * 91) & 255));
    image.setColorTable(table);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, x < 70 ? colours - 1 : (x + y * 3) % colours);
    return image;
}

bool SamePixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) & 0xFFFFFF) != (b.pixel(x, y) & 0xFFFFFF))
                return false;
    return true;
}

QByteArray Header(int bpp, int planes, int width, int height, int bytesPerLine)
{
    QByteArray h(128, '\0');
    h[0] = 0x0A, h[1] = 5, h[2] = 1, h[3] = char(bpp);
    h[8] = char((width - 1) & 0xFF), h[9] = char(((width - 1) >> 8) & 0xFF);
    h[10] = char((height - 1) & 0xFF), h[11] = char(((height - 1) >> 8) & 0xFF);
    h[65] = char(planes);
    h[66] = char(bytesPerLine & 0xFF), h[67] = char((bytesPerLine >> 8) & 0xFF);
    return h;
}

} // namespace

TEST(Pcx, RoundTripsAtEachDepth)
{
    for (const int bits : {1, 4, 8, 24}) {
        SCOPED_TRACE(bits);
        const QImage source = Source(bits);
        const QByteArray file = WritePcx(source, bits);
        ASSERT_FALSE(file.isEmpty());
        EXPECT_EQ(uchar(file[3]) * uchar(file[65]), bits);
        const QImage back = ReadPcx(file);
        ASSERT_FALSE(back.isNull());
        EXPECT_TRUE(SamePixels(back, source));
    }
    EXPECT_TRUE(WritePcx(Source(8), 16).isEmpty());
    EXPECT_TRUE(WritePcx(QImage(), 8).isEmpty());
}

TEST(Pcx, OursAndImageMagickReadEachOther)
{
    TempDir dir;
    struct Case { int bits; const char* type; };
    for (const Case c : {Case{1, "Bilevel"}, Case{4, "Palette"}, Case{8, "Palette"}, Case{24, "TrueColor"}}) {
        SCOPED_TRACE(c.bits);
        const QImage source = Source(c.bits);
        const QString png = dir.filePath(QStringLiteral("src%1.png").arg(c.bits));
        ASSERT_TRUE(source.convertToFormat(QImage::Format_RGB32).save(png));

        // ImageMagick's file, read by us.
        const QString theirs = dir.filePath(QStringLiteral("theirs%1.pcx").arg(c.bits));
        ASSERT_EQ(runShell(QStringLiteral("convert '%1' -type %2 '%3'").arg(png, QLatin1String(c.type), theirs)), 0);
        QFile f(theirs);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(SamePixels(ReadPcx(f.readAll()), source));

        // Ours, read by ImageMagick. It takes a set bit of a one-bit file for black, against the
        // format's monochrome convention (and other readers), so that depth is left out.
        if (c.bits == 1)
            continue;
        const QString ours = dir.filePath(QStringLiteral("ours%1.pcx").arg(c.bits));
        QFile o(ours);
        ASSERT_TRUE(o.open(QIODevice::WriteOnly));
        o.write(WritePcx(source, c.bits));
        o.close();
        const QString back = dir.filePath(QStringLiteral("back%1.png").arg(c.bits));
        ASSERT_EQ(runShell(QStringLiteral("convert '%1' '%2'").arg(ours, back)), 0);
        EXPECT_TRUE(SamePixels(QImage(back), source));
    }
}

TEST(Pcx, HostileHeadersReadNothing)
{
    const QByteArray data(4000, '\x01');
    struct Case { const char* what; QByteArray file; };
    QByteArray badMaker = Header(8, 1, 10, 10, 10) + data;
    badMaker[0] = 0x0B;
    QByteArray inverted = Header(8, 1, 10, 10, 10) + data;
    inverted[4] = 50;  // xmin past xmax
    const Case cases[] = {
        {"short", QByteArray(100, '\x0A')},
        {"maker", badMaker},
        {"x range", inverted},
        {"line too short", Header(8, 1, 100, 10, 50) + data},
        {"zero line", Header(8, 1, 1, 1, 0) + data},
        {"planes", Header(8, 2, 10, 10, 10) + data},
        {"depth", Header(3, 1, 10, 10, 10) + data},
        {"huge", Header(8, 3, 65535, 65535, 65536 - 2) + data},
        {"bomb", Header(8, 1, 20000, 20000, 20000) + data},
        {"no data", Header(8, 1, 10, 10, 10)},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(ReadPcx(c.file).isNull()) << c.what;
}

TEST(Pcx, TruncatedFileShowsWhatItHolds)
{
    const QByteArray file = WritePcx(Source(24), 24);
    const QImage part = ReadPcx(file.left(file.size() * 3 / 4));
    ASSERT_FALSE(part.isNull());
    EXPECT_EQ(part.size(), Source(24).size());
    EXPECT_EQ(part.pixel(0, 0) & 0xFFFFFF, Source(24).pixel(0, 0) & 0xFFFFFF);
    EXPECT_EQ(part.pixel(150, 36) & 0xFFFFFF, 0u);
}
