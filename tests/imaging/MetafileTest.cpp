#include "imaging/Metafile.h"

#include "tests/support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>

#include <initializer_list>

using namespace corvane::imaging;
using corvane::test::TempDir;
using corvane::test::runShell;

namespace {

void Put16(QByteArray& b, int v)
{
    b.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

void Put32(QByteArray& b, qint64 v)
{
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
}

constexpr quint32 kRed = 0x0000FF, kBlue = 0xFF0000, kGreen = 0x00FF00;

// Writes WMF records: words in, the size and function put in front.
class WmfWriter
{
public:
    void Record(int function, std::initializer_list<int> words, const QByteArray& tail = {})
    {
        QByteArray r;
        for (int w : words)
            Put16(r, w);
        r += tail;
        if (r.size() % 2)
            r.append('\0');
        Put32(m_records, 3 + r.size() / 2);
        Put16(m_records, function);
        m_records += r;
    }
    void Colour(int function, quint32 c) { Record(function, {int(c & 0xFFFF), int(c >> 16)}); }
    // A placeable file whose bounding box is `w` x `h` units, `inch` of them to the inch.
    QByteArray File(int w, int h, int objects, int inch = 1440) const
    {
        QByteArray f;
        Put32(f, 0x9AC6CDD7);
        Put16(f, 0);
        for (int v : {0, 0, w, h})
            Put16(f, v);
        Put16(f, inch);
        Put32(f, 0);
        Put16(f, 0);
        Put16(f, 1);
        Put16(f, 9);
        Put16(f, 0x300);
        Put32(f, 9 + (m_records.size() + 6) / 2);
        Put16(f, objects);
        Put32(f, 0);
        Put16(f, 0);
        f += m_records;
        Put32(f, 3);
        Put16(f, 0);
        return f;
    }

private:
    QByteArray m_records;
};

QByteArray Dib24(int w, int h, std::initializer_list<quint32> bottomUpPixels)
{
    QByteArray d;
    Put32(d, 40), Put32(d, w), Put32(d, h);
    Put16(d, 1), Put16(d, 24);
    for (int i = 0; i < 6; ++i)
        Put32(d, 0);
    auto it = bottomUpPixels.begin();
    for (int y = 0; y < h; ++y) {
        int n = 0;
        for (int x = 0; x < w; ++x, ++it) {
            d.append(char((*it >> 16) & 0xFF)).append(char((*it >> 8) & 0xFF)).append(char(*it & 0xFF));
            n += 3;
        }
        while (n++ % 4)
            d.append('\0');
    }
    return d;
}

QRgb At(const Picture& p, double fx, double fy)
{
    return p.image.pixel(int(fx * p.image.width()), int(fy * p.image.height())) & 0xFFFFFF;
}

} // namespace

// 1440 x 720 units at 1440 per inch: 96 x 48 pixels. Left half a red rectangle with no pen,
// right half a blue ellipse inside a SaveDC / RestoreDC, after which the red brush is back.
TEST(Metafile, WmfShapesObjectsAndStates)
{
    WmfWriter w;
    w.Record(0x020B, {0, 0});
    w.Record(0x020C, {720, 1440});
    w.Record(0x02FA, {5, 0, 0, 0, 0});                       // pen 0: none
    w.Record(0x02FC, {0, int(kRed & 0xFFFF), int(kRed >> 16), 0});   // brush 1: red
    w.Record(0x012D, {0});
    w.Record(0x012D, {1});
    w.Record(0x041B, {720, 720, 0, 0});
    w.Record(0x001E, {});
    w.Record(0x02FC, {0, int(kBlue & 0xFFFF), int(kBlue >> 16), 0});  // brush 2: blue
    w.Record(0x012D, {2});
    w.Record(0x0418, {720, 1440, 0, 720});
    w.Record(0x0127, {-1});
    w.Record(0x01F0, {2});
    // A red triangle in the top right corner, through Polygon, drawn with the restored brush.
    w.Record(0x0324, {3, 1300, 0, 1440, 0, 1440, 140});
    const Picture p = RenderMetafile(w.File(1440, 720, 4));
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(p.size, QSize(96, 48));
    EXPECT_EQ(At(p, 0.25, 0.5), 0xFF0000u);
    EXPECT_EQ(At(p, 0.75, 0.5), 0x0000FFu);
    EXPECT_EQ(At(p, 0.52, 0.05), 0xFFFFFFu);  // outside the ellipse
    EXPECT_EQ(At(p, 0.985, 0.03), 0xFF0000u);
}

TEST(Metafile, WmfBitmapsAndText)
{
    WmfWriter w;
    w.Record(0x020C, {100, 200});
    // StretchDIB of a 2 x 2 picture onto the left half: bottom row green, blue; top row red, white.
    const QByteArray dib = Dib24(2, 2, {kGreen, kBlue, kRed, 0xFFFFFF});
    w.Record(0x0F43, {0x0020, 0x00CC, 0, 2, 2, 0, 0, 100, 100, 0, 0}, dib);
    QByteArray face("DejaVu Sans");
    face.append('\0');
    w.Record(0x02FB, {-60, 0, 0, 0, 700, 0, 0, 0, 0}, face);
    w.Record(0x012D, {0});
    w.Colour(0x0209, kBlue);
    w.Record(0x0102, {1});
    w.Record(0x0521, {4}, QByteArray("MMMM") + QByteArray("\x14\x00\x6E\x00", 4));  // y 20, x 110
    const Picture p = RenderMetafile(w.File(200, 100, 2, 96));
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(At(p, 0.1, 0.2), 0xFF0000u);
    EXPECT_EQ(At(p, 0.4, 0.2), 0xFFFFFFu);
    EXPECT_EQ(At(p, 0.1, 0.8), 0x00FF00u);
    EXPECT_EQ(At(p, 0.4, 0.8), 0x0000FFu);
    int blueish = 0;
    for (int y = 0; y < p.image.height(); ++y)
        for (int x = p.image.width() / 2; x < p.image.width(); ++x)
            blueish += qBlue(p.image.pixel(x, y)) > 200 && qRed(p.image.pixel(x, y)) < 100;
    EXPECT_GT(blueish, 30);
}

TEST(Metafile, EmfHeaderFrameAndRecords)
{
    QByteArray body;
    auto record = [&](int type, std::initializer_list<qint64> values) {
        Put32(body, type);
        Put32(body, 8 + 4 * qint64(values.size()));
        for (qint64 v : values)
            Put32(body, v);
    };
    record(39, {1, 0, kGreen, 0});            // brush 1
    record(37, {1});
    record(37, {0x80000008});                 // NULL_PEN
    record(43, {0, 0, 99, 49});               // device pixels of a 96-dpi reference
    record(36, {0x3F800000, 0, 0, 0x3F800000, 0x42C80000, 0, 4});  // translate 100 right
    record(37, {0x80000004});                 // BLACK_BRUSH
    record(43, {0, 0, 99, 49});
    record(14, {0, 16, 20});
    QByteArray f;
    Put32(f, 1), Put32(f, 88);
    for (qint64 v : {0, 0, 199, 49})  // bounds
        Put32(f, v);
    // Frame in hundredths of a millimetre: 200 x 50 pixels at 96 dpi.
    for (qint64 v : {0, 0, 5292, 1323})
        Put32(f, v);
    Put32(f, 0x464D4520), Put32(f, 0x10000), Put32(f, 88 + body.size()), Put32(f, 3);
    Put16(f, 2), Put16(f, 0);
    Put32(f, 0), Put32(f, 0), Put32(f, 0);
    Put32(f, 960), Put32(f, 960);  // reference device: 96 dpi
    Put32(f, 254), Put32(f, 254);
    f += body;
    const Picture p = RenderMetafile(f);
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(p.size, QSize(200, 50));
    EXPECT_EQ(At(p, 0.25, 0.5), 0x00FF00u);
    EXPECT_EQ(At(p, 0.75, 0.5), 0x000000u);
}

// A real file: LibreOffice draws an SVG into each metafile format.
TEST(Metafile, LibreOfficeFilesRender)
{
    TempDir dir;
    dir.addFile("a.svg", R"(<svg xmlns="http://www.w3.org/2000/svg" width="400" height="200" viewBox="0 0 400 200">
<rect x="0" y="0" width="200" height="200" fill="#ff0000"/>
<ellipse cx="300" cy="100" rx="90" ry="90" fill="#0000ff"/>
<text x="20" y="190" font-size="30" fill="#000000">Hello</text></svg>)");
    ASSERT_EQ(runShell("cd '" + dir.path() + "' && HOME='" + dir.path()
                       + "' soffice --headless --convert-to wmf a.svg >/dev/null 2>&1 && HOME='" + dir.path()
                       + "' soffice --headless --convert-to emf a.svg >/dev/null 2>&1"),
              0);
    for (const char* name : {"a.wmf", "a.emf"}) {
        SCOPED_TRACE(name);
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const Picture p = RenderMetafile(f.readAll());
        ASSERT_FALSE(p.isNull());
        // LibreOffice crops the page to the drawing: about twice as wide as high.
        EXPECT_GT(p.size.width(), p.size.height() * 18 / 10);
        EXPECT_EQ(At(p, 0.25, 0.4), 0xFF0000u);
        EXPECT_EQ(At(p, 0.75, 0.5), 0x0000FFu);
        EXPECT_EQ(At(p, 0.525, 0.05), 0xFFFFFFu);
    }
}

TEST(Metafile, UnsoundFilesRenderNothing)
{
    WmfWriter w;
    w.Record(0x041B, {720, 720, 0, 0});
    QByteArray noFrame = w.File(0, 0, 0);
    QByteArray badHeader = w.File(100, 100, 0);
    badHeader[24] = 7;
    for (const QByteArray& f : {QByteArray(), QByteArray(30, '\0'), noFrame, badHeader})
        EXPECT_TRUE(RenderMetafile(f).isNull());
    // A truncated record list still shows what came before.
    const QByteArray whole = w.File(1440, 720, 0);
    EXPECT_FALSE(RenderMetafile(whole.left(whole.size() - 8)).isNull());
}

// Records that lie about their counts, indexes and depths draw nothing of their lie; what is
// sound around them still draws.
TEST(Metafile, HostileRecordsAreBounded)
{
    WmfWriter w;
    w.Record(0x020C, {100, 100});
    w.Record(0x02FC, {0, int(kRed & 0xFFFF), int(kRed >> 16), 0});  // brush 0: red
    for (int i = 0; i < 40; ++i)                                   // more objects than the table holds
        w.Record(0x02FC, {0, int(kBlue & 0xFFFF), int(kBlue >> 16), 0});
    w.Record(0x012D, {0});
    w.Record(0x012D, {65535});
    w.Record(0x01F0, {40000});
    for (int i = 0; i < 1000; ++i)
        w.Record(0x001E, {});
    w.Record(0x0127, {-30000});
    w.Record(0x0127, {30000});
    w.Record(0x0324, {30000, 0, 0, 50, 0});   // 30,000 points announced, one and a half given
    w.Record(0x0538, {2, 65535, 3, 0, 0});    // counts beyond the record
    w.Record(0x0A32, {0, 0, 32767, 6});       // text longer than its record
    w.Record(0x0F43, {0x20, 0xCC, 0, 30000, 30000, 0, 0, 100, 100, 0, 0}, QByteArray("\x28\0\0\0\xFF\xFF\xFF\x7F", 8));
    w.Record(0x041B, {100, 100, 0, 0});
    const Picture p = RenderMetafile(w.File(100, 100, 2, 96));
    ASSERT_FALSE(p.isNull());
    EXPECT_EQ(At(p, 0.5, 0.5), 0xFF0000u);
}
