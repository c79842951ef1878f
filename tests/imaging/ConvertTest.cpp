#include "imaging/ConvertJob.h"
#include "imaging/Encode.h"
#include "imaging/Picture.h"
#include "imaging/Quantize.h"

#include "tests/support/TempDir.h"
#include "tests/support/TestPhoto.h"
#include "tests/support/TmpfsMount.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QSet>
#include <gtest/gtest.h>


using namespace corvane::imaging;
using corvane::test::TempDir;
using corvane::test::TestPhoto;
using corvane::test::TmpfsMount;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int DistinctColours(const QImage& image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            seen.insert(image.pixel(x, y));
    return int(seen.size());
}

QString Output(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(-1);
    return QString::fromUtf8(p.readAllStandardOutput());
}

quint32 Le(const QByteArray& b, int at, int n)
{
    quint32 v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | uchar(b[at + i]);
    return v;
}

// Bits per sample and samples per pixel as the file's own header states them.
std::pair<int, int> Layout(const QByteArray& b, PictureFormat format, const QString& path)
{
    switch (format) {
    case PictureFormat::Bmp: {
        const int bits = int(Le(b, 28, 2));
        return bits == 24 ? std::pair{8, 3} : std::pair{bits, 1};
    }
    case PictureFormat::Pcx:
        return {uchar(b[3]), uchar(b[65])};  // bits per plane, planes
    case PictureFormat::Gif:
        return {(uchar(b[10]) & 7) + 1, 1};  // size of the global colour table
    case PictureFormat::Png: {
        const int type = uchar(b[25]);
        return {uchar(b[24]), type == 2 ? 3 : type == 3 ? 1 : -1};
    }
    case PictureFormat::Jpeg: {
        for (int i = 2; i + 9 < b.size(); ++i)
            if (uchar(b[i]) == 0xFF && (uchar(b[i + 1]) == 0xC0 || uchar(b[i + 1]) == 0xC2))
                return {uchar(b[i + 4]), uchar(b[i + 9])};
        return {-1, -1};
    }
    case PictureFormat::Tiff: {
        const QString info = Output(QStringLiteral("tiffinfo"), {path});
        auto field = [&](const char* name) {
            const qsizetype at = info.indexOf(QLatin1String(name));
            return at < 0 ? -1 : info.mid(at + qstrlen(name)).section(u'\n', 0, 0).trimmed().toInt();
        };
        const int samples = field("Samples/Pixel:");
        return {field("Bits/Sample:"), samples < 0 ? 1 : samples};  // absent means the default, 1
    }
    }
    return {-1, -1};
}

} // namespace

TEST(Convert, TargetKeepsTheNameUpToItsLastDot)
{
    EXPECT_EQ(ConvertTarget("/out", "a.bmp", PictureFormat::Jpeg), "/out/a.JPG");
    EXPECT_EQ(ConvertTarget("/out/", "photo.old.tif", PictureFormat::Png), "/out/photo.old.PNG");
    EXPECT_EQ(ConvertTarget("/", "a.gif", PictureFormat::Gif), "/a.GIF");
    EXPECT_EQ(ConvertTarget("/out", "x.jpeg", PictureFormat::Tiff), "/out/x.TIF");
    EXPECT_EQ(ConvertTarget("/out", "y.png", PictureFormat::Pcx), "/out/y.PCX");
    EXPECT_EQ(ConvertTarget("/out", "z.pcx", PictureFormat::Bmp), "/out/z.BMP");
}

// Every format and colour choice the dialog offers, written and read back from the file.
TEST(Convert, EveryChoiceWritesItsLayout)
{
    using C = ColorChoice;
    using F = PictureFormat;
    struct Case { F format; C colors; int bits, samples, maxColours; };
    const Case cases[] = {
        {F::Bmp, C::Colors16, 4, 1, 16},      {F::Bmp, C::Colors256, 8, 1, 256},    {F::Bmp, C::Colors16M, 8, 3, 0},
        {F::Gif, C::Colors4, 2, 1, 4},        {F::Gif, C::Colors8, 3, 1, 8},        {F::Gif, C::Colors16, 4, 1, 16},
        {F::Gif, C::Colors256, 8, 1, 256},    {F::Jpeg, C::Colors16M, 8, 3, 0},     {F::Pcx, C::Colors16, 1, 4, 16} /* 4 planes of 1 bit */,
        {F::Pcx, C::Colors256, 8, 1, 256},    {F::Pcx, C::Colors16M, 8, 3, 0},      {F::Png, C::Colors256, 8, 1, 256},
        {F::Png, C::Colors16M, 8, 3, 0},      {F::Tiff, C::Colors16, 8, 1, 16},     {F::Tiff, C::Colors256, 8, 1, 256},
        {F::Tiff, C::Colors16M, 8, 3, 0},
    };
    TempDir dir;
    const QImage photo = TestPhoto(96, 64);
    ASSERT_TRUE(photo.save(dir.filePath("src.png"), "PNG"));
    ASSERT_GT(DistinctColours(photo), 1000);
    for (const Case& c : cases) {
        const QString target = ConvertTarget(dir.path(), "src.png", c.format);
        QFile::remove(target);
        ASSERT_TRUE(ConvertFile(dir.filePath("src.png"), target, c.format, ConvertOptions(c.format, c.colors, 80)))
            << target.toStdString() << " " << int(c.colors);
        const QByteArray bytes = ReadAll(target);
        const auto [bits, samples] = Layout(bytes, c.format, target);
        EXPECT_EQ(bits, c.bits) << target.toStdString() << " " << int(c.colors);
        EXPECT_EQ(samples, c.samples) << target.toStdString() << " " << int(c.colors);
        const Picture back = LoadPicture(target);
        ASSERT_FALSE(back.isNull()) << target.toStdString();
        EXPECT_EQ(back.size, photo.size());
        if (c.maxColours) {
            EXPECT_LE(DistinctColours(back.image), c.maxColours) << target.toStdString();
        }
        if (c.format == F::Tiff) {
            EXPECT_TRUE(Output("tiffinfo", {target}).contains("Compression Scheme: LZW")) << int(c.colors);
        }
    }
}

TEST(Convert, ReducedPicturesStayCloseToTheOriginal)
{
    const QImage photo = TestPhoto(64, 64);
    const QImage reduced = ReduceColors(photo, 256);
    ASSERT_EQ(reduced.format(), QImage::Format_Indexed8);
    ASSERT_LE(reduced.colorCount(), 256);
    qint64 error = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const QRgb a = photo.pixel(x, y), b = reduced.pixel(x, y);
            error += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    EXPECT_LT(error / (64 * 64), 30);
    EXPECT_TRUE(ReduceColors(photo, 1).isNull());
    EXPECT_TRUE(ReduceColors(photo, 257).isNull());
    EXPECT_TRUE(ReduceColors(QImage(), 16).isNull());
}

TEST(Convert, JpegQualityReachesTheFile)
{
    const QImage photo = TestPhoto(128, 96);
    const QByteArray low = EncodePicture(photo, PictureFormat::Jpeg, ConvertOptions(PictureFormat::Jpeg, ColorChoice::Colors16M, 0));
    const QByteArray high = EncodePicture(photo, PictureFormat::Jpeg, ConvertOptions(PictureFormat::Jpeg, ColorChoice::Colors16M, 100));
    ASSERT_FALSE(low.isEmpty());
    EXPECT_LT(low.size() * 3, high.size());
}

// An unreadable file is reported, the rest are converted; pictures that lie about themselves are
// reported or converted, never a crash.
TEST(ConvertJob, BadSourcesAreReportedAndTheOthersConverted)
{
    TempDir dir;
    ASSERT_TRUE(TestPhoto(64, 48).save(dir.filePath("good.png"), "PNG"));
    ASSERT_TRUE(TestPhoto(64, 48).save(dir.filePath("whole.jpg"), "JPEG"));
    dir.addFile("whole.gif", EncodePicture(TestPhoto(64, 48), PictureFormat::Gif, ConvertOptions(PictureFormat::Gif, ColorChoice::Colors256, 0)));
    const QByteArray jpeg = ReadAll(dir.filePath("whole.jpg"));
    dir.addFile("truncated.jpg", jpeg.left(jpeg.size() / 3));
    dir.addFile("text.jpg", "just some words, not a picture\n");
    // A PNG header that claims 60000 x 60000 pixels.
    QByteArray bomb = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452") + QByteArray::fromHex("0000ea600000ea600806000000");
    bomb += QByteArray::fromHex("00000000");
    dir.addFile("bomb.png", bomb);
    QByteArray gif = ReadAll(dir.filePath("whole.gif"));
    for (qsizetype i = gif.size() / 2; i < gif.size() - 2; ++i)
        gif[i] = char(0xFF);  // the LZW stream turns into garbage
    dir.addFile("broken.gif", gif);
    dir.addFile("bogus.tif", QByteArray("II*\0", 4) + QByteArray::fromHex("ffffff7f") + QByteArray(64, '\0'));
    dir.addFolder("folder.png");

    ConvertInput input;
    input.sourceFolder = dir.path();
    input.names = {"bogus.tif", "bomb.png", "broken.gif", "folder.png", "good.png", "missing.png", "text.jpg", "truncated.jpg"};
    input.destFolder = dir.path() + "/out";
    ASSERT_TRUE(QDir().mkpath(input.destFolder));
    input.format = PictureFormat::Png;
    ConvertJob job(input);
    job.run();
    const auto outcomes = job.Outcomes();
    using O = ConvertJob::Outcome;
    const std::vector<O> expected = {O::Failed, O::Failed, O::Failed, O::Failed, O::Converted, O::Failed, O::Failed, O::Failed};
    // A truncated JPEG or a damaged GIF may decode partly; what counts is that each is reported or whole.
    for (size_t i = 0; i < expected.size(); ++i) {
        const QString name = input.names[int(i)];
        if (name == "truncated.jpg" || name == "broken.gif") {
            EXPECT_NE(outcomes[i], O::NotDone) << name.toStdString();
            continue;
        }
        EXPECT_EQ(outcomes[i], expected[i]) << name.toStdString();
    }
    EXPECT_EQ(job.SourcePath(4), dir.path() + "/good.png");
    EXPECT_FALSE(LoadPicture(input.destFolder + "/good.PNG").isNull());
    EXPECT_FALSE(QFile::exists(input.destFolder + "/text.PNG"));
    EXPECT_EQ(job.progress().doneItems, 8);
}

TEST(ConvertJob, CancelStopsBeforeTheNextFile)
{
    TempDir dir;
    QStringList names;
    for (int i = 0; i < 6; ++i) {
        names << QStringLiteral("p%1.png").arg(i);
        ASSERT_TRUE(TestPhoto(32, 32).save(dir.filePath(names.back()), "PNG"));
    }
    ConvertInput input{dir.path(), names, dir.path(), PictureFormat::Bmp, ColorChoice::Colors16M, 100};
    ConvertJob job(input);
    job.cancel();
    job.run();
    for (auto o : job.Outcomes())
        EXPECT_EQ(o, ConvertJob::Outcome::NotDone);
    EXPECT_FALSE(QFile::exists(dir.filePath("p0.BMP")));
}

// A full disk: the target is not written, an earlier file under its name stays as it was, and no
// temporary file is left behind.
TEST(ConvertJob, FullDestinationLeavesNoPartialFile)
{
    TempDir dir;
    ASSERT_TRUE(TestPhoto(400, 300).save(dir.filePath("big.png"), "PNG"));
    ASSERT_TRUE(TestPhoto(8, 8).save(dir.filePath("small.png"), "PNG"));
    const QString dest = dir.path() + "/full";
    ASSERT_TRUE(QDir().mkpath(dest));
    TmpfsMount mount(QFile::encodeName(dest), "64k");
    ASSERT_TRUE(mount.ok());
    {
        QFile old(dest + "/big.BMP");
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier");
    }
    ConvertInput input{dir.path(), {"big.png", "small.png"}, dest, PictureFormat::Bmp, ColorChoice::Colors16M, 100};
    ConvertJob job(input);
    job.run();
    const auto outcomes = job.Outcomes();
    EXPECT_EQ(outcomes[0], ConvertJob::Outcome::Failed);  // 360 KB into 64 KB
    EXPECT_EQ(outcomes[1], ConvertJob::Outcome::Converted);
    EXPECT_EQ(ReadAll(dest + "/big.BMP"), "earlier");
    const QStringList left = QDir(dest).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    EXPECT_EQ(left, QStringList({"big.BMP", "small.BMP"}));
}
