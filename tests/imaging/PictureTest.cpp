#include "imaging/Picture.h"

#include "tests/support/TempDir.h"

#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::imaging;
using corvane::test::TempDir;
using corvane::test::runShell;

namespace {

QImage Pattern(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x / 8 + y / 8) % 2 ? 200 : 40));
    return image;
}

void ExpectNear(const QImage& a, const QImage& b, int tolerance)
{
    ASSERT_EQ(a.size(), b.size());
    for (int y = 0; y < a.height(); y += 3)
        for (int x = 0; x < a.width(); x += 3) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            ASSERT_LE(std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q)),
                      tolerance)
                << x << "," << y;
        }
}

QString Output(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace

TEST(FitZoom, ZoomFitsPicturesLargeAndSmall)
{
    struct Case { QSize picture, view; int zoom; };
    const Case cases[] = {
        {{1600, 1200}, {400, 300}, 25},
        {{100, 50}, {400, 300}, 400},  // 600 by height, 400 by width: the smaller wins
        {{3, 3}, {300, 300}, 10000},   // 300 / 0.03 in floating point falls just under 10000
        {{0, 50}, {400, 300}, 0},
        {{100, 0}, {400, 300}, 0},
        {{100, 50}, {0, 0}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitZoom(c.picture, c.view), c.zoom) << c.picture.width() << "x" << c.picture.height();
}

TEST(PrintRect, HalfAnInchInAndProportional)
{
    EXPECT_EQ(PrintRect({400, 200}, 600, 600, 3), QRect(300, 300, 1800, 900));
    // Products round halves to the even neighbour: 2.5 -> 2, 3.5 -> 4.
    EXPECT_EQ(PrintRect({100, 100}, 1, 1, 2.5), QRect(0, 0, 2, 2));
    EXPECT_EQ(PrintRect({100, 100}, 1, 1, 3.5), QRect(0, 0, 4, 4));
    EXPECT_EQ(PrintRect({300, 100}, 600, 300, 1), QRect(300, 150, 600, 100));
    EXPECT_TRUE(PrintRect({0, 100}, 600, 600, 3).isEmpty());
}

TEST(Picture, DecoderChosenByLowerCaseExtension)
{
    for (const char* e : {".jpg", ".JPEG", ".png", ".Tif", ".tiff", ".pcx", ".gif", ".wmf", ".EMF", ".bmp", ".cur", ".ico"})
        EXPECT_TRUE(CanLoad(QString::fromLatin1(e))) << e;
    for (const char* e : {"", ".", ".jpe", ".svg", ".webp", ".txt", "jpg"})
        EXPECT_FALSE(CanLoad(QString::fromLatin1(e))) << e;
}

TEST(Picture, FormatsLoadThroughTheirDecoder)
{
    TempDir dir;
    const QImage source = Pattern(64, 48);
    ASSERT_TRUE(source.save(dir.filePath("photo.jpg"), "JPEG", 95));
    ASSERT_TRUE(QFile::copy(dir.filePath("photo.jpg"), dir.filePath("photo.JPG")));
    ASSERT_TRUE(source.save(dir.filePath("a.png"), "PNG"));
    ASSERT_TRUE(source.save(dir.filePath("a.bmp"), "BMP"));
    ASSERT_TRUE(source.save(dir.filePath("a.ico"), "ICO"));
    // A cursor is an icon file of type 2.
    QFile ico(dir.filePath("a.ico"));
    ASSERT_TRUE(ico.open(QIODevice::ReadOnly));
    QByteArray cur = ico.readAll();
    cur[2] = 2;
    dir.addFile("a.cur", cur);
    ASSERT_EQ(runShell("cd '" + dir.path() + "' && convert a.png a.gif && convert a.png -compress LZW lzw.tif"), 0);
    ASSERT_EQ(Output("identify", {"-format", "%C", dir.filePath("lzw.tif")}), "LZW");

    struct Case { const char* name; int tolerance; };
    const Case cases[] = {{"photo.jpg", 120}, {"photo.JPG", 120}, {"a.png", 0}, {"a.bmp", 0}, {"a.ico", 0},
                          {"a.cur", 0}, {"lzw.tif", 0}, {"a.gif", 120}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Picture p = LoadPicture(dir.filePath(c.name));
        ASSERT_FALSE(p.isNull());
        EXPECT_EQ(p.size, QSize(64, 48));
        EXPECT_FALSE(p.isReduced());
        ExpectNear(p.image.convertToFormat(QImage::Format_RGB32), source, c.tolerance);
    }
    EXPECT_EQ(LoadPicture(dir.filePath("photo.JPG")).image, LoadPicture(dir.filePath("photo.jpg")).image);
}

TEST(Picture, ContentIsNeverSniffed)
{
    TempDir dir;
    ASSERT_TRUE(Pattern(16, 16).save(dir.filePath("png-named.jpg"), "PNG"));
    ASSERT_TRUE(Pattern(16, 16).save(dir.filePath("png-named.txt"), "PNG"));
    EXPECT_TRUE(LoadPicture(dir.filePath("png-named.jpg")).isNull());
    EXPECT_TRUE(LoadPicture(dir.filePath("png-named.txt")).isNull());
}

TEST(Picture, OnlyRegularFilesAreRead)
{
    TempDir dir;
    // A FIFO would block an open for reading until a writer came: it must not be opened at all.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.png")).constData(), 0644), 0);
    EXPECT_TRUE(LoadPicture(dir.filePath("fifo.png")).isNull());
    dir.addSymlink("zero.jpg", "/dev/zero");
    EXPECT_TRUE(LoadPicture(dir.filePath("zero.jpg")).isNull());
    dir.addFolder("folder.png");
    EXPECT_TRUE(LoadPicture(dir.filePath("folder.png")).isNull());
    EXPECT_TRUE(LoadPicture(dir.filePath("gone.png")).isNull());
    // Over the read cap: a sparse file, so the test costs no disk.
    dir.addFile("huge.png");
    ASSERT_EQ(::truncate(QFile::encodeName(dir.filePath("huge.png")).constData(), kMaxFileBytes + 1), 0);
    EXPECT_TRUE(LoadPicture(dir.filePath("huge.png")).isNull());
}

TEST(Picture, DamagedFilesLoadNothing)
{
    TempDir dir;
    ASSERT_TRUE(Pattern(64, 48).save(dir.filePath("whole.jpg"), "JPEG"));
    ASSERT_TRUE(Pattern(64, 48).save(dir.filePath("whole.png"), "PNG"));
    for (const char* name : {"whole.jpg", "whole.png"}) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        for (const qsizetype keep : {qsizetype(0), qsizetype(10), bytes.size() / 3}) {
            const QString ext = QString::fromLatin1(name).mid(5);
            // Whatever comes back, it is whole-sized or nothing, and nothing crashes.
            const Picture p = DecodePicture(bytes.left(keep), ext);
            EXPECT_TRUE(p.isNull() || p.size == QSize(64, 48)) << name << " " << keep;
        }
    }
}

TEST(Picture, CancelLoadsNothing)
{
    TempDir dir;
    ASSERT_TRUE(Pattern(64, 48).save(dir.filePath("a.png"), "PNG"));
    std::atomic_bool cancel{true};
    EXPECT_TRUE(LoadPicture(dir.filePath("a.png"), {}, &cancel).isNull());
    cancel = false;
    EXPECT_FALSE(LoadPicture(dir.filePath("a.png"), {}, &cancel).isNull());
}

// A 108-megapixel photo is over what Qt allocates by default and over our image cap: it still
// shows, decoded reduced, with its true size.
TEST(Picture, HugeJpegDecodesReducedWithItsTrueSize)
{
    TempDir dir;
    {
        QImage big(12000, 9000, QImage::Format_Grayscale8);
        for (int y = 0; y < big.height(); ++y)
            std::memset(big.scanLine(y), (y / 100) % 2 ? 220 : 30, size_t(big.width()));
        QImageWriter writer(dir.filePath("big.jpg"), "jpeg");
        writer.setQuality(70);
        ASSERT_TRUE(writer.write(big));
    }
    const Picture fit = LoadPicture(dir.filePath("big.jpg"), QSize(800, 600));
    ASSERT_FALSE(fit.isNull());
    EXPECT_EQ(fit.size, QSize(12000, 9000));
    EXPECT_EQ(fit.image.size(), QSize(1500, 1125));  // 1/8, the smallest not below 800 x 600
    EXPECT_NEAR(qGray(fit.image.pixel(10, 5)), 30, 3);

    const Picture at200 = LoadPicture(dir.filePath("big.jpg"), QSize(3000, 2000));
    EXPECT_EQ(at200.image.size(), QSize(3000, 2250));  // 2/8

    const Picture whole = LoadPicture(dir.filePath("big.jpg"));
    ASSERT_FALSE(whole.isNull());
    EXPECT_EQ(whole.size, QSize(12000, 9000));
    EXPECT_LE(qint64(whole.image.width()) * whole.image.height() * 4, kMaxImageBytes);
    EXPECT_EQ(whole.image.size(), QSize(9000, 6750));
}

// A GIF whose screen is wider than its only image: what is shown is what was decoded, and the
// size says so.
TEST(Picture, SizeIsWhatAWholeDecodingGives)
{
    TempDir dir;
    ASSERT_TRUE(Pattern(24, 16).save(dir.filePath("a.png")));
    ASSERT_EQ(runShell("cd '" + dir.path() + "' && convert a.png a.gif"), 0);
    QFile f(dir.filePath("a.gif"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray gif = f.readAll();
    gif[6] = char(0xEA), gif[7] = char(0xFF);
    const Picture p = DecodePicture(gif, ".gif");
    if (!p.isNull()) {
        EXPECT_EQ(p.size, p.image.size());
        EXPECT_FALSE(p.isReduced());
    }
}
