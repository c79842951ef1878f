#include "Metafile.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace corvane::imaging {

namespace {

// Little-endian reads that give 0 outside the bytes, so a short record never reads past its end.
struct Bytes
{
    const uchar* p = nullptr;
    qint64 n = 0;

    bool has(qint64 off, qint64 len) const { return off >= 0 && len >= 0 && off <= n && len <= n - off; }
    int u8(qint64 off) const { return has(off, 1) ? p[off] : 0; }
    int u16(qint64 off) const { return has(off, 2) ? p[off] | (p[off + 1] << 8) : 0; }
    int i16(qint64 off) const { return qint16(u16(off)); }
    quint32 u32(qint64 off) const
    {
        return has(off, 4) ? quint32(p[off]) | (quint32(p[off + 1]) << 8) | (quint32(p[off + 2]) << 16)
                | (quint32(p[off + 3]) << 24)
                           : 0;
    }
    qint32 i32(qint64 off) const { return qint32(u32(off)); }
    float f32(qint64 off) const
    {
        const quint32 v = u32(off);
        float f;
        std::memcpy(&f, &v, sizeof f);
        return std::isfinite(f) ? f : 0.0f;
    }
    Bytes sub(qint64 off, qint64 len) const
    {
        return has(off, len) ? Bytes{p + off, len} : Bytes{};
    }
    Bytes from(qint64 off) const { return off >= 0 && off <= n ? Bytes{p + off, n - off} : Bytes{}; }
};

QColor ColorRef(quint32 c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

// Windows-1252, the code page of nearly every metafile's text.
QString Ansi(Bytes b, qint64 count)
{
    static const char16_t high[32] = {
        0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D, 0x017D, 0x8F,
        0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D, 0x017E, 0x0178,
    };
    count = std::clamp<qint64>(count, 0, b.n);
    QString s;
    s.reserve(qsizetype(count));
    for (qint64 i = 0; i < count; ++i) {
        const uchar c = b.p[i];
        s.append(c >= 0x80 && c < 0xA0 ? QChar(high[c - 0x80]) : QChar(c));
    }
    return s;
}

QString Utf16(Bytes b, qint64 chars)
{
    chars = std::clamp<qint64>(chars, 0, b.n / 2);
    QString s;
    s.reserve(qsizetype(chars));
    for (qint64 i = 0; i < chars; ++i)
        s.append(QChar(char16_t(b.u16(2 * i))));
    return s;
}

constexpr qint64 kMaxDibPixels = 16 << 20;

// A device-independent bitmap (header, colours, bits) made into a BMP file for Qt's reader, which
// checks the bits against the header.
QImage DecodeDib(Bytes info, Bytes bits)
{
    const quint32 headerSize = info.u32(0);
    if (headerSize < 12 || !info.has(0, headerSize))
        return {};
    qint64 width, height;
    if (headerSize == 12) {
        width = info.u16(4), height = info.u16(6);
    } else {
        if (headerSize < 40)
            return {};
        width = info.i32(4), height = std::abs(qint64(info.i32(8)));
    }
    if (width <= 0 || height <= 0 || width * height > kMaxDibPixels)
        return {};
    QByteArray file;
    const qint64 total = 14 + info.n + bits.n;
    if (total > (1ll << 30))
        return {};
    file.reserve(qsizetype(total));
    auto put32 = [&](quint32 v) {
        for (int i = 0; i < 4; ++i)
            file.append(char((v >> (8 * i)) & 0xFF));
    };
    file.append("BM", 2);
    put32(quint32(total));
    put32(0);
    put32(quint32(14 + info.n));
    file.append(reinterpret_cast<const char*>(info.p), qsizetype(info.n));
    if (bits.n)
        file.append(reinterpret_cast<const char*>(bits.p), qsizetype(bits.n));
    QImage image;
    image.loadFromData(file, "BMP");
    return image;
}

// A packed DIB: the colour table's length follows from the header.
QImage DecodePackedDib(Bytes dib)
{
    const quint32 headerSize = dib.u32(0);
    if (headerSize < 12 || headerSize > 1024)
        return {};
    qint64 colours = 0;
    if (headerSize == 12) {
        const int bitCount = dib.u16(10);
        colours = bitCount <= 8 ? (qint64(1) << bitCount) * 3 : 0;
    } else {
        const int bitCount = dib.u16(14);
        const quint32 compression = dib.u32(16);
        const qint64 used = dib.u32(32);
        if (bitCount <= 8)
            colours = (used ? std::min<qint64>(used, 256) : (qint64(1) << bitCount)) * 4;
        else if (headerSize == 40 && compression == 3)
            colours = 12;
        else if (headerSize == 40 && compression == 6)
            colours = 16;
        else if (used)
            colours = std::min<qint64>(used, 256) * 4;
    }
    const qint64 infoLen = headerSize + colours;
    if (!dib.has(0, infoLen))
        return {};
    return DecodeDib(dib.sub(0, infoLen), dib.from(infoLen));
}

struct LogFont
{
    int height = 0;
    int escapement = 0;
    int weight = 400;
    bool italic = false, underline = false, strikeOut = false;
    QString face;
};

struct Object
{
    enum Kind { Free, Pen, Brush, Font, Other } kind = Free;
    QPen pen;
    QBrush brush;
    LogFont font;
};

struct DcState
{
    QPen pen{QColor(Qt::black), 0};
    QBrush brush{Qt::white};
    LogFont font;
    QColor textColor{Qt::black};
    QColor bkColor{Qt::white};
    bool opaque = true;
    Qt::FillRule fill = Qt::OddEvenFill;
    int textAlign = 0;
    int mapMode = 1;
    QPointF wOrg{0, 0}, wExt{1, 1}, vOrg{0, 0}, vExt{1, 1};
    QTransform world;
    QPointF cur;
};

enum MapMode { MM_TEXT = 1, MM_LOMETRIC, MM_HIMETRIC, MM_LOENGLISH, MM_HIENGLISH, MM_TWIPS, MM_ISOTROPIC, MM_ANISOTROPIC };
constexpr int kMaxSaveDepth = 256;
constexpr qint64 kMaxRecords = 4'000'000;
constexpr double kMaxCoordinate = 1e7;

QPen MakePen(int style, double width, QColor colour, bool cosmetic, int cap = 0, int join = 0)
{
    if ((style & 0xF) == 5)
        return QPen(Qt::NoPen);
    QPen pen(colour);
    pen.setWidthF(cosmetic || width <= 0 ? 0 : std::min(width, kMaxCoordinate));
    pen.setCosmetic(cosmetic || width <= 0);
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine, Qt::DashDotDotLine,
                                          Qt::NoPen, Qt::SolidLine, Qt::SolidLine, Qt::SolidLine};
    const int s = style & 0xF;
    pen.setStyle(s < 9 ? styles[s] : Qt::SolidLine);
    pen.setCapStyle(cap == 0x100 ? Qt::SquareCap : cap == 0x200 ? Qt::FlatCap : Qt::RoundCap);
    pen.setJoinStyle(join == 0x1000 ? Qt::BevelJoin : join == 0x2000 ? Qt::MiterJoin : Qt::RoundJoin);
    return pen;
}

QBrush MakeBrush(int style, QColor colour, int hatch)
{
    switch (style) {
    case 0:
        return QBrush(colour);
    case 2: {
        static const Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                 Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(colour, hatch >= 0 && hatch < 6 ? hatches[hatch] : Qt::SolidPattern);
    }
    default:
        return QBrush(Qt::NoBrush);
    }
}

QBrush PatternBrush(const QImage& image)
{
    if (image.isNull())
        return QBrush(Qt::gray);
    return QBrush(image.width() > 256 || image.height() > 256 ? image.scaled(256, 256, Qt::KeepAspectRatio) : image);
}

// Plays records onto a painter. Coordinates go logical -> world -> page (window/viewport) -> the
// reference device -> our image.
class Player
{
public:
    Player(QPainter& painter, QRectF frame, QSize image, int objects)
        : m_p(painter), m_objects(size_t(objects))
    {
        m_toImage = QTransform::fromTranslate(-frame.left(), -frame.top())
            * QTransform::fromScale(image.width() / frame.width(), image.height() / frame.height());
        m_p.setRenderHint(QPainter::Antialiasing);
        m_p.setRenderHint(QPainter::SmoothPixmapTransform);
        m_p.setRenderHint(QPainter::TextAntialiasing);
    }

    DcState s;
    QPainterPath path;
    bool inPath = false;

    QTransform Page() const
    {
        double sx = 1, sy = 1;
        switch (s.mapMode) {
        case MM_ISOTROPIC:
        case MM_ANISOTROPIC:
            if (s.wExt.x() == 0 || s.wExt.y() == 0)
                break;
            sx = s.vExt.x() / s.wExt.x();
            sy = s.vExt.y() / s.wExt.y();
            if (s.mapMode == MM_ISOTROPIC) {
                const double m = std::min(std::abs(sx), std::abs(sy));
                sx = std::copysign(m, sx), sy = std::copysign(m, sy);
            }
            break;
        case MM_LOMETRIC:
        case MM_HIMETRIC:
        case MM_LOENGLISH:
        case MM_HIENGLISH:
        case MM_TWIPS: {
            static const double unitsPerMm[] = {10, 100, 100 / 25.4, 1000 / 25.4, 1440 / 25.4};
            const double s1 = m_pixelsPerMm / unitsPerMm[s.mapMode - MM_LOMETRIC];
            sx = s1, sy = -s1;
            break;
        }
        default:
            break;
        }
        return QTransform::fromTranslate(-s.wOrg.x(), -s.wOrg.y()) * QTransform::fromScale(sx, sy)
            * QTransform::fromTranslate(s.vOrg.x(), s.vOrg.y());
    }
    QTransform Full() const { return s.world * Page() * m_toImage; }
    void SetPixelsPerMm(double v) { m_pixelsPerMm = v > 0 && v < 1e4 ? v : 96 / 25.4; }

    // Objects: WMF files fill the lowest free slot, EMF files name theirs.
    void Create(Object o)
    {
        for (size_t i = m_lowestFree; i < m_objects.size(); ++i) {
            if (m_objects[i].kind == Object::Free) {
                m_objects[i] = std::move(o);
                m_lowestFree = i + 1;
                return;
            }
        }
        m_lowestFree = m_objects.size();
    }
    void CreateAt(quint32 index, Object o)
    {
        if (index < m_objects.size())
            m_objects[index] = std::move(o);
    }
    void Delete(quint32 index)
    {
        if (index < m_objects.size()) {
            m_objects[index] = Object();
            m_lowestFree = std::min<size_t>(m_lowestFree, index);
        }
    }
    void Select(quint32 index)
    {
        if (index >= m_objects.size())
            return;
        const Object& o = m_objects[index];
        if (o.kind == Object::Pen)
            s.pen = o.pen;
        else if (o.kind == Object::Brush)
            s.brush = o.brush;
        else if (o.kind == Object::Font)
            s.font = o.font;
    }
    void SelectStock(quint32 index)
    {
        switch (index) {
        case 0: s.brush = QBrush(Qt::white); break;
        case 1: s.brush = QBrush(QColor(0xC0, 0xC0, 0xC0)); break;
        case 2: s.brush = QBrush(QColor(0x80, 0x80, 0x80)); break;
        case 3: s.brush = QBrush(QColor(0x40, 0x40, 0x40)); break;
        case 4: s.brush = QBrush(Qt::black); break;
        case 5: s.brush = QBrush(Qt::NoBrush); break;
        case 6: s.pen = MakePen(0, 0, Qt::white, true); break;
        case 7: s.pen = MakePen(0, 0, Qt::black, true); break;
        case 8: s.pen = QPen(Qt::NoPen); break;
        default:
            if (index >= 10 && index <= 17)
                s.font = LogFont();
            break;
        }
    }

    void Save()
    {
        if (m_stack.size() >= kMaxSaveDepth)
            return;
        m_stack.push_back(s);
        m_p.save();
    }
    // A negative level counts back from the newest save, a positive one names a level.
    void Restore(int level)
    {
        const qint64 depth = qint64(m_stack.size());
        const qint64 keep = level < 0 ? depth + level : level - 1;
        if (keep < 0 || keep >= depth)
            return;
        while (qint64(m_stack.size()) > keep) {
            s = m_stack.back();
            m_stack.pop_back();
            m_p.restore();
        }
    }

    // Saves the file left open are closed before the painter ends.
    void Finish()
    {
        while (!m_stack.empty()) {
            m_stack.pop_back();
            m_p.restore();
        }
        m_p.end();
    }

    void SetWindowOrg(QPointF p) { s.wOrg = Clamp(p); }
    void SetWindowExt(QPointF p)
    {
        if (p.x() != 0 && p.y() != 0)
            s.wExt = Clamp(p);
    }
    void SetViewportOrg(QPointF p) { s.vOrg = Clamp(p); }
    void SetViewportExt(QPointF p)
    {
        if (p.x() != 0 && p.y() != 0)
            s.vExt = Clamp(p);
    }

    void MoveTo(QPointF p)
    {
        s.cur = Clamp(p);
        if (inPath)
            path.moveTo(s.cur);
    }
    void LineTo(QPointF p)
    {
        p = Clamp(p);
        if (inPath) {
            if (path.elementCount() == 0)
                path.moveTo(s.cur);
            path.lineTo(p);
        } else if (Begin(false)) {
            m_p.drawLine(s.cur, p);
        }
        s.cur = p;
    }
    void Polyline(const QPolygonF& poly, bool fromCurrent)
    {
        if (poly.isEmpty())
            return;
        if (inPath) {
            if (!fromCurrent || path.elementCount() == 0)
                path.moveTo(fromCurrent ? s.cur : poly.first());
            for (qsizetype i = fromCurrent ? 0 : 1; i < poly.size(); ++i)
                path.lineTo(poly[i]);
        } else if (Begin(false)) {
            QPolygonF all = poly;
            if (fromCurrent)
                all.prepend(s.cur);
            m_p.drawPolyline(all);
        }
        if (fromCurrent)
            s.cur = poly.last();
    }
    void Bezier(const QPolygonF& poly, bool fromCurrent)
    {
        QPainterPath p;
        qsizetype i = 0;
        if (fromCurrent) {
            p.moveTo(inPath && path.elementCount() ? path.currentPosition() : s.cur);
        } else {
            if (poly.isEmpty())
                return;
            p.moveTo(poly[0]);
            i = 1;
        }
        for (; i + 2 < poly.size(); i += 3)
            p.cubicTo(poly[i], poly[i + 1], poly[i + 2]);
        if (inPath) {
            if (fromCurrent && path.elementCount())
                path.connectPath(p);
            else
                path.addPath(p);
        } else if (Begin(false)) {
            m_p.drawPath(p);
        }
        if (fromCurrent && !poly.isEmpty())
            s.cur = p.currentPosition();
    }
    void Polygons(const std::vector<QPolygonF>& polys)
    {
        QPainterPath p;
        p.setFillRule(s.fill);
        for (const QPolygonF& poly : polys) {
            p.addPolygon(poly);
            p.closeSubpath();
        }
        if (inPath)
            path.addPath(p);
        else if (Begin(true))
            m_p.drawPath(p);
    }
    void Shape(const QPainterPath& p)
    {
        if (inPath)
            path.addPath(p);
        else if (Begin(true))
            m_p.drawPath(p);
    }
    void Rectangle(QRectF r)
    {
        QPainterPath p;
        p.addRect(r.normalized());
        Shape(p);
    }
    void Ellipse(QRectF r)
    {
        QPainterPath p;
        p.addEllipse(r.normalized());
        Shape(p);
    }
    void RoundRect(QRectF r, QSizeF corner)
    {
        QPainterPath p;
        p.addRoundedRect(r.normalized(), std::abs(corner.width()) / 2, std::abs(corner.height()) / 2);
        Shape(p);
    }
    // Arcs run counter-clockwise from the radial through `start` to the one through `end`.
    void Arc(QRectF r, QPointF start, QPointF end, int kind)
    {
        r = r.normalized();
        if (r.width() <= 0 || r.height() <= 0)
            return;
        const QPointF c = r.center();
        auto angle = [&](QPointF q) {
            return std::atan2(-(q.y() - c.y()) / r.height(), (q.x() - c.x()) / r.width()) * 180 / M_PI;
        };
        const double a0 = angle(start);
        double sweep = angle(end) - a0;
        while (sweep <= 0)
            sweep += 360;
        QPainterPath p;
        if (kind == 2) {
            p.moveTo(c);
            p.arcTo(r, a0, sweep);
            p.closeSubpath();
        } else {
            p.arcMoveTo(r, a0);
            p.arcTo(r, a0, sweep);
            if (kind == 1)
                p.closeSubpath();
        }
        if (kind == 0) {
            if (inPath)
                path.addPath(p);
            else if (Begin(false))
                m_p.drawPath(p);
        } else {
            Shape(p);
        }
    }
    void FillRect(QRectF r, QBrush brush)
    {
        if (!Begin(false))
            return;
        m_p.fillRect(r.normalized(), brush);
    }
    void SetPixel(QPointF at, QColor c)
    {
        if (Begin(false))
            m_p.fillRect(QRectF(at, QSizeF(1, 1)), c);
    }
    void Image(QRectF dst, const QImage& image, QRectF src)
    {
        if (image.isNull() || !Begin(false))
            return;
        src = src.normalized().intersected(QRectF(image.rect()));
        if (src.isEmpty())
            src = image.rect();
        m_p.drawImage(dst.normalized(), image, src);
    }
    void Text(QPointF at, const QString& text, const QRectF* box, int options)
    {
        if (!Begin(false))
            return;
        const bool opaqueBox = box && (options & 2);
        const bool clipped = box && (options & 4);
        if (opaqueBox)
            m_p.fillRect(box->normalized(), s.bkColor);
        if (text.isEmpty())
            return;
        if (s.textAlign & 1)
            at = s.cur;
        const QTransform t = Full();
        const QPointF origin = t.map(at);
        const double scaleY = std::hypot(t.m21(), t.m22());
        const double height = s.font.height ? std::abs(s.font.height) * scaleY : 16.0;
        if (!(height >= 1) || height > 4096 || !std::isfinite(origin.x()) || !std::isfinite(origin.y()))
            return;
        QFont font(s.font.face.isEmpty() ? QStringLiteral("Sans Serif") : s.font.face);
        font.setPixelSize(std::max(1, int(std::lround(height))));
        font.setWeight(QFont::Weight(std::clamp(s.font.weight ? s.font.weight : 400, 100, 900)));
        font.setItalic(s.font.italic);
        font.setUnderline(s.font.underline);
        font.setStrikeOut(s.font.strikeOut);
        m_p.save();
        if (clipped)
            m_p.setClipRect(box->normalized(), Qt::IntersectClip);
        m_p.setTransform(QTransform());
        m_p.translate(origin);
        m_p.rotate(-s.font.escapement / 10.0);
        m_p.setFont(font);
        const QFontMetricsF fm(font, m_p.device());
        const double width = fm.horizontalAdvance(text);
        double x = 0, y = 0;
        if ((s.textAlign & 6) == 6)
            x = -width / 2;
        else if (s.textAlign & 2)
            x = -width;
        if ((s.textAlign & 24) == 24)
            y = 0;
        else if (s.textAlign & 8)
            y = -fm.descent();
        else
            y = fm.ascent();
        if (s.opaque && !opaqueBox)
            m_p.fillRect(QRectF(x, y - fm.ascent(), width, fm.ascent() + fm.descent()), s.bkColor);
        m_p.setPen(s.textColor);
        m_p.drawText(QPointF(x, y), text);
        m_p.restore();
    }
    void IntersectClip(QRectF r)
    {
        m_p.setTransform(Full());
        m_p.setClipRect(r.normalized(), Qt::IntersectClip);
    }
    void ExcludeClip(QRectF r)
    {
        m_p.setTransform(Full());
        QPainterPath keep;
        if (m_p.hasClipping()) {
            keep = m_p.clipPath();
        } else {
            keep.addRect(Full().inverted().mapRect(QRectF(m_p.viewport())));
        }
        QPainterPath cut;
        cut.addRect(r.normalized());
        m_p.setClipPath(keep.subtracted(cut));
    }
    void ClipPath(int mode)
    {
        m_p.setTransform(Full());
        m_p.setClipPath(path, mode == 5 ? Qt::ReplaceClip : Qt::IntersectClip);
        path = QPainterPath();
    }
    void DrawPath(bool fill, bool stroke)
    {
        path.setFillRule(s.fill);
        m_p.setTransform(Full());
        m_p.setPen(stroke ? s.pen : QPen(Qt::NoPen));
        m_p.setBrush(fill ? s.brush : QBrush(Qt::NoBrush));
        if (Budget())
            m_p.drawPath(path);
        path = QPainterPath();
    }

private:
    static QPointF Clamp(QPointF p)
    {
        return QPointF(std::clamp(p.x(), -kMaxCoordinate, kMaxCoordinate), std::clamp(p.y(), -kMaxCoordinate, kMaxCoordinate));
    }
    bool Budget() { return ++m_draws <= 500'000; }
    bool Begin(bool fill)
    {
        if (!Budget())
            return false;
        m_p.setTransform(Full());
        m_p.setPen(s.pen);
        m_p.setBrush(fill ? s.brush : QBrush(Qt::NoBrush));
        m_p.setBackgroundMode(s.opaque ? Qt::OpaqueMode : Qt::TransparentMode);
        m_p.setBackground(s.bkColor);
        return true;
    }

    QPainter& m_p;
    std::vector<Object> m_objects;
    size_t m_lowestFree = 0;
    std::vector<DcState> m_stack;
    QTransform m_toImage;
    double m_pixelsPerMm = 96 / 25.4;
    qint64 m_draws = 0;
};

bool Cancelled(const std::atomic_bool* cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// The image a frame of `size` pixels is drawn into: no larger than need and our cap.
QSize RenderSize(QSize size, QSize need)
{
    QSize box(kMaxMetafileSide, kMaxMetafileSide);
    if (need.isValid() && !need.isEmpty())
        box = box.boundedTo(need);
    if (size.width() <= box.width() && size.height() <= box.height())
        return size;
    return size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage WhiteImage(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    if (!image.isNull())
        image.fill(Qt::white);
    return image;
}

constexpr int kMaxTrueSide = 32767;

QSize TrueSize(double w, double h)
{
    if (!(w >= 0.5) || !(h >= 0.5))
        return {};
    return QSize(int(std::min<double>(std::lround(std::min(w, 1e9)), kMaxTrueSide)),
                 int(std::min<double>(std::lround(std::min(h, 1e9)), kMaxTrueSide)));
}

// ---- WMF ----

QPointF YX(Bytes r, qint64 off)
{
    return QPointF(r.i16(off + 2), r.i16(off));
}

// Rectangles are stored bottom, right, top, left.
QRectF BRTL(Bytes r, qint64 off)
{
    return QRectF(QPointF(r.i16(off + 6), r.i16(off + 4)), QPointF(r.i16(off + 2), r.i16(off)));
}

QPolygonF Points16(Bytes b, qint64 off, qint64 count)
{
    QPolygonF poly;
    if (count <= 0 || !b.has(off, count * 4))
        return poly;
    poly.reserve(qsizetype(count));
    for (qint64 i = 0; i < count; ++i)
        poly.append(QPointF(b.i16(off + 4 * i), b.i16(off + 4 * i + 2)));
    return poly;
}

LogFont WmfFont(Bytes r)
{
    LogFont f;
    f.height = r.i16(0);
    f.escapement = r.i16(4);
    f.weight = r.i16(8);
    f.italic = r.u8(10), f.underline = r.u8(11), f.strikeOut = r.u8(12);
    qint64 len = 0;
    while (len < 32 && r.has(18 + len, 1) && r.u8(18 + len))
        ++len;
    f.face = Ansi(r.from(18), len);
    return f;
}

Picture RenderWmf(Bytes b, QSize need, const std::atomic_bool* cancel)
{
    qint64 off = 0;
    QRectF frame;
    QSize size;
    const bool placeable = b.u32(0) == 0x9AC6CDD7u;
    if (placeable) {
        const int left = b.i16(6), top = b.i16(8), right = b.i16(10), bottom = b.i16(12);
        int inch = b.u16(14);
        if (inch == 0)
            inch = 1440;
        frame = QRectF(QPointF(left, top), QPointF(right, bottom));
        size = TrueSize(std::abs(right - left) * 96.0 / inch, std::abs(bottom - top) * 96.0 / inch);
        off = 22;
    }
    const int type = b.u16(off);
    const int headerWords = b.u16(off + 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        return {};
    const int objects = b.u16(off + 10);
    off += 18;
    if (!placeable) {
        // Without the placeable header the first window the file sets is its frame.
        QPointF org(0, 0), ext;
        for (qint64 o = off; o + 6 <= b.n;) {
            const qint64 len = qint64(b.u32(o)) * 2;
            const int fn = b.u16(o + 4);
            if (len < 6 || fn == 0)
                break;
            const Bytes r = b.sub(o + 6, len - 6);
            if (fn == 0x020B && org == QPointF(0, 0))
                org = YX(r, 0);
            if (fn == 0x020C) {
                ext = YX(r, 0);
                break;
            }
            o += len;
        }
        if (ext.x() == 0 || ext.y() == 0)
            return {};
        frame = QRectF(org, QSizeF(ext.x(), ext.y()));
        size = TrueSize(std::abs(ext.x()), std::abs(ext.y()));
    }
    if (size.isEmpty() || frame.width() == 0 || frame.height() == 0)
        return {};

    QImage image = WhiteImage(RenderSize(size, need));
    if (image.isNull())
        return {};
    QPainter painter(&image);
    Player pl(painter, frame.normalized(), image.size(), objects);
    // The file's window maps onto the frame until it sets a viewport of its own.
    pl.s.mapMode = MM_ANISOTROPIC;
    pl.s.wOrg = pl.s.vOrg = frame.topLeft();
    pl.s.wExt = pl.s.vExt = QPointF(frame.width(), frame.height());

    qint64 records = 0;
    while (off + 6 <= b.n && records++ < kMaxRecords) {
        if ((records & 1023) == 0 && Cancelled(cancel))
            return {};
        const qint64 len = qint64(b.u32(off)) * 2;
        const int fn = b.u16(off + 4);
        if (len < 6 || !b.has(off, len) || fn == 0)
            break;
        const Bytes r = b.sub(off + 6, len - 6);
        off += len;
        switch (fn) {
        case 0x0201: pl.s.bkColor = ColorRef(r.u32(0)); break;
        case 0x0102: pl.s.opaque = r.u16(0) == 2; break;
        case 0x0106: pl.s.fill = r.u16(0) == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
        case 0x0209: pl.s.textColor = ColorRef(r.u32(0)); break;
        case 0x012E: pl.s.textAlign = r.u16(0); break;
        case 0x020B: pl.SetWindowOrg(YX(r, 0)); break;
        case 0x020C: pl.SetWindowExt(YX(r, 0)); break;
        case 0x020D: pl.SetViewportOrg(YX(r, 0)); break;
        case 0x020E: pl.SetViewportExt(YX(r, 0)); break;
        case 0x020F: pl.SetWindowOrg(pl.s.wOrg + YX(r, 0)); break;
        case 0x0211: pl.SetViewportOrg(pl.s.vOrg + YX(r, 0)); break;
        case 0x0410:
        case 0x0412: {
            const int yd = r.i16(0), yn = r.i16(2), xd = r.i16(4), xn = r.i16(6);
            if (xd && yd) {
                const QPointF e = fn == 0x0410 ? pl.s.wExt : pl.s.vExt;
                const QPointF scaled(e.x() * xn / xd, e.y() * yn / yd);
                fn == 0x0410 ? pl.SetWindowExt(scaled) : pl.SetViewportExt(scaled);
            }
            break;
        }
        case 0x001E: pl.Save(); break;
        case 0x0127: pl.Restore(r.i16(0)); break;
        case 0x0214: pl.MoveTo(YX(r, 0)); break;
        case 0x0213: pl.LineTo(YX(r, 0)); break;
        case 0x041B: pl.Rectangle(BRTL(r, 0)); break;
        case 0x0418: pl.Ellipse(BRTL(r, 0)); break;
        case 0x061C: pl.RoundRect(BRTL(r, 4), QSizeF(r.i16(2), r.i16(0))); break;
        case 0x0817:
        case 0x081A:
        case 0x0830:
            pl.Arc(BRTL(r, 8), YX(r, 4), YX(r, 0), fn == 0x0817 ? 0 : fn == 0x081A ? 2 : 1);
            break;
        case 0x0324: {
            const QPolygonF poly = Points16(r, 2, r.i16(0));
            if (!poly.isEmpty())
                pl.Polygons({poly});
            break;
        }
        case 0x0325: pl.Polyline(Points16(r, 2, r.i16(0)), false); break;
        case 0x0538: {
            const int n = r.u16(0);
            if (!r.has(2, qint64(n) * 2))
                break;
            std::vector<QPolygonF> polys;
            qint64 at = 2 + qint64(n) * 2;
            for (int i = 0; i < n; ++i) {
                const int count = r.u16(2 + 2 * i);
                QPolygonF poly = Points16(r, at, count);
                if (poly.size() != count)
                    break;
                polys.push_back(std::move(poly));
                at += qint64(count) * 4;
            }
            pl.Polygons(polys);
            break;
        }
        case 0x0521: {
            const int count = r.i16(0);
            const qint64 pad = (qint64(std::max(count, 0)) + 1) & ~1;
            if (count > 0 && r.has(2, pad + 4))
                pl.Text(YX(r, 2 + pad), Ansi(r.from(2), count), nullptr, 0);
            break;
        }
        case 0x0A32: {
            const int count = std::max(0, r.i16(4));
            const int options = r.u16(6);
            qint64 at = 8;
            QRectF box;
            const bool hasBox = (options & 6) && r.n >= 8 + 8 + count;
            if (hasBox) {
                box = QRectF(QPointF(r.i16(8), r.i16(10)), QPointF(r.i16(12), r.i16(14)));
                at = 16;
            }
            pl.Text(YX(r, 0), Ansi(r.from(at), count), hasBox ? &box : nullptr, options);
            break;
        }
        case 0x02FA: {
            Object o;
            o.kind = Object::Pen;
            const int style = r.u16(0);
            o.pen = MakePen(style, r.i16(2), ColorRef(r.u32(6)), false, style & 0xF00, style & 0xF000);
            pl.Create(std::move(o));
            break;
        }
        case 0x02FC: {
            Object o;
            o.kind = Object::Brush;
            o.brush = MakeBrush(r.u16(0), ColorRef(r.u32(2)), r.u16(6));
            pl.Create(std::move(o));
            break;
        }
        case 0x0142: {
            Object o;
            o.kind = Object::Brush;
            o.brush = PatternBrush(DecodePackedDib(r.from(4)));
            pl.Create(std::move(o));
            break;
        }
        case 0x02FB: {
            Object o;
            o.kind = Object::Font;
            o.font = WmfFont(r);
            pl.Create(std::move(o));
            break;
        }
        case 0x00F7:
        case 0x01F9:
        case 0x06FF: {
            // Palettes, old pattern brushes and regions still take a slot in the table.
            Object o;
            o.kind = Object::Other;
            pl.Create(std::move(o));
            break;
        }
        case 0x012D: pl.Select(r.u16(0)); break;
        case 0x01F0: pl.Delete(r.u16(0)); break;
        case 0x0416: pl.IntersectClip(BRTL(r, 0)); break;
        case 0x0415: pl.ExcludeClip(BRTL(r, 0)); break;
        case 0x041F: pl.SetPixel(YX(r, 4), ColorRef(r.u32(0))); break;
        case 0x061D: {
            const quint32 rop = r.u32(0);
            const QRectF rect(YX(r, 8), QSizeF(r.i16(6), r.i16(4)));
            pl.FillRect(rect, rop == 0x00000042 ? QBrush(Qt::black) : rop == 0x00FF0062 ? QBrush(Qt::white) : pl.s.brush);
            break;
        }
        case 0x0F43: {
            const QRectF src(QPointF(r.i16(12), r.i16(10)), QSizeF(r.i16(8), r.i16(6)));
            const QRectF dst(YX(r, 18), QSizeF(r.i16(16), r.i16(14)));
            const QImage dib = DecodePackedDib(r.from(22));
            pl.Image(dst, dib, QRectF(src.x(), dib.height() - src.y() - src.height(), src.width(), src.height()));
            break;
        }
        case 0x0B41: {
            const QRectF src(QPointF(r.i16(10), r.i16(8)), QSizeF(r.i16(6), r.i16(4)));
            const QRectF dst(YX(r, 16), QSizeF(r.i16(14), r.i16(12)));
            const QImage dib = DecodePackedDib(r.from(20));
            pl.Image(dst, dib, QRectF(src.x(), dib.height() - src.y() - src.height(), src.width(), src.height()));
            break;
        }
        case 0x0940: {
            const QSizeF sz(r.i16(10), r.i16(8));
            const QImage dib = DecodePackedDib(r.from(16));
            pl.Image(QRectF(YX(r, 12), sz), dib, QRectF(QPointF(r.i16(6), r.i16(4)), sz));
            break;
        }
        default:
            break;
        }
    }
    pl.Finish();
    return {std::move(image), size};
}

// ---- EMF ----

QPointF XY32(Bytes r, qint64 off)
{
    return QPointF(r.i32(off), r.i32(off + 4));
}

QRectF Rect32(Bytes r, qint64 off)
{
    return QRectF(XY32(r, off), XY32(r, off + 8));
}

QPolygonF Points(Bytes b, qint64 off, qint64 count, bool wide)
{
    const int step = wide ? 8 : 4;
    QPolygonF poly;
    if (count <= 0 || !b.has(off, count * step))
        return poly;
    poly.reserve(qsizetype(count));
    for (qint64 i = 0; i < count; ++i) {
        const qint64 at = off + i * step;
        poly.append(wide ? XY32(b, at) : QPointF(b.i16(at), b.i16(at + 2)));
    }
    return poly;
}

std::vector<QPolygonF> PolyPolygons(Bytes r, bool wide)
{
    std::vector<QPolygonF> polys;
    const qint64 n = r.u32(24);
    const qint64 total = r.u32(28);
    if (!r.has(32, n * 4))
        return polys;
    qint64 at = 32 + n * 4;
    qint64 used = 0;
    for (qint64 i = 0; i < n; ++i) {
        const qint64 count = r.u32(32 + 4 * i);
        used += count;
        if (used > total)
            break;
        QPolygonF poly = Points(r, at, count, wide);
        if (poly.size() != count)
            break;
        polys.push_back(std::move(poly));
        at += count * (wide ? 8 : 4);
    }
    return polys;
}

QImage EmfBitmap(Bytes r, qint64 offInfoField)
{
    const qint64 offInfo = r.u32(offInfoField), lenInfo = r.u32(offInfoField + 4);
    const qint64 offBits = r.u32(offInfoField + 8), lenBits = r.u32(offInfoField + 12);
    if (!lenInfo || !r.has(offInfo, lenInfo) || !r.has(offBits, lenBits))
        return {};
    return DecodeDib(r.sub(offInfo, lenInfo), r.sub(offBits, lenBits));
}

Picture RenderEmf(Bytes b, QSize need, const std::atomic_bool* cancel)
{
    if (b.u32(0) != 1 || b.u32(40) != 0x464D4520u)
        return {};
    const QRectF bounds = Rect32(b, 8);
    const QRectF frame = Rect32(b, 24);  // hundredths of a millimetre
    const int handles = b.u16(56);
    const double devX = b.i32(72), devY = b.i32(76), mmX = b.i32(80), mmY = b.i32(84);
    const bool reference = devX > 0 && devY > 0 && mmX > 0 && mmY > 0;
    const double pxPerMmX = reference ? devX / mmX : 96 / 25.4;
    const double pxPerMmY = reference ? devY / mmY : 96 / 25.4;
    QRectF frameDev(QPointF(frame.left() / 100 * pxPerMmX, frame.top() / 100 * pxPerMmY),
                    QPointF(frame.right() / 100 * pxPerMmX, frame.bottom() / 100 * pxPerMmY));
    QSize size = TrueSize(std::abs(frame.width()) / 2540.0 * 96, std::abs(frame.height()) / 2540.0 * 96);
    if (size.isEmpty()) {
        // No frame: the bounds in device pixels, which are inclusive.
        frameDev = QRectF(bounds.topLeft(), bounds.bottomRight() + QPointF(1, 1));
        size = TrueSize(std::abs(frameDev.width()), std::abs(frameDev.height()));
    }
    frameDev = frameDev.normalized();
    if (size.isEmpty() || frameDev.width() <= 0 || frameDev.height() <= 0)
        return {};

    QImage image = WhiteImage(RenderSize(size, need));
    if (image.isNull())
        return {};
    QPainter painter(&image);
    Player pl(painter, frameDev, image.size(), handles);
    pl.SetPixelsPerMm(pxPerMmX);

    qint64 off = 0;
    qint64 records = 0;
    while (off + 8 <= b.n && records++ < kMaxRecords) {
        if ((records & 1023) == 0 && Cancelled(cancel))
            return {};
        const quint32 type = b.u32(off);
        const qint64 len = b.u32(off + 4);
        if (len < 8 || !b.has(off, len) || type == 14)
            break;
        const Bytes r = b.sub(off, len);
        off += len;
        switch (type) {
        case 9: pl.SetWindowExt(XY32(r, 8)); break;
        case 10: pl.SetWindowOrg(XY32(r, 8)); break;
        case 11: pl.SetViewportExt(XY32(r, 8)); break;
        case 12: pl.SetViewportOrg(XY32(r, 8)); break;
        case 15: pl.SetPixel(XY32(r, 8), ColorRef(r.u32(16))); break;
        case 17: {
            const quint32 mode = r.u32(8);
            if (mode >= MM_TEXT && mode <= MM_ANISOTROPIC)
                pl.s.mapMode = int(mode);
            break;
        }
        case 18: pl.s.opaque = r.u32(8) == 2; break;
        case 19: pl.s.fill = r.u32(8) == 2 ? Qt::WindingFill : Qt::OddEvenFill; break;
        case 22: pl.s.textAlign = int(r.u32(8) & 0xFFFF); break;
        case 24: pl.s.textColor = ColorRef(r.u32(8)); break;
        case 25: pl.s.bkColor = ColorRef(r.u32(8)); break;
        case 27: pl.MoveTo(XY32(r, 8)); break;
        case 54: pl.LineTo(XY32(r, 8)); break;
        case 29: pl.ExcludeClip(Rect32(r, 8)); break;
        case 30: pl.IntersectClip(Rect32(r, 8)); break;
        case 33: pl.Save(); break;
        case 34: pl.Restore(r.i32(8)); break;
        case 35:
        case 36: {
            const QTransform x(r.f32(8), r.f32(12), r.f32(16), r.f32(20), r.f32(24), r.f32(28));
            const quint32 mode = type == 35 ? 4 : r.u32(32);
            if (mode == 1)
                pl.s.world = QTransform();
            else if (mode == 2)
                pl.s.world = x * pl.s.world;
            else if (mode == 3)
                pl.s.world = pl.s.world * x;
            else if (mode == 4)
                pl.s.world = x;
            break;
        }
        case 37: {
            const quint32 ih = r.u32(8);
            if (ih & 0x80000000u)
                pl.SelectStock(ih & 0x7FFFFFFFu);
            else
                pl.Select(ih);
            break;
        }
        case 38: {
            Object o;
            o.kind = Object::Pen;
            const quint32 style = r.u32(12);
            o.pen = MakePen(int(style), r.i32(16), ColorRef(r.u32(24)), false, int(style & 0xF00), int(style & 0xF000));
            pl.CreateAt(r.u32(8), std::move(o));
            break;
        }
        case 95: {
            Object o;
            o.kind = Object::Pen;
            const quint32 style = r.u32(28);
            const bool geometric = style & 0x10000;
            o.pen = r.u32(36) == 1 ? QPen(Qt::NoPen)
                                   : MakePen(int(style), double(r.u32(32)), ColorRef(r.u32(40)), !geometric,
                                             int(style & 0xF00), int(style & 0xF000));
            pl.CreateAt(r.u32(8), std::move(o));
            break;
        }
        case 39: {
            Object o;
            o.kind = Object::Brush;
            o.brush = MakeBrush(int(r.u32(12)), ColorRef(r.u32(16)), int(r.u32(20)));
            pl.CreateAt(r.u32(8), std::move(o));
            break;
        }
        case 94: {
            Object o;
            o.kind = Object::Brush;
            o.brush = PatternBrush(EmfBitmap(r, 16));
            pl.CreateAt(r.u32(8), std::move(o));
            break;
        }
        case 82: {
            Object o;
            o.kind = Object::Font;
            o.font.height = r.i32(12);
            o.font.escapement = r.i32(20);
            o.font.weight = r.i32(28);
            o.font.italic = r.u8(32), o.font.underline = r.u8(33), o.font.strikeOut = r.u8(34);
            qint64 chars = 0;
            while (chars < 32 && r.has(44 + 2 * chars, 2) && r.u16(44 + 2 * chars))
                ++chars;
            o.font.face = Utf16(r.from(44), chars);
            pl.CreateAt(r.u32(8), std::move(o));
            break;
        }
        case 40: pl.Delete(r.u32(8)); break;
        case 42: pl.Ellipse(Rect32(r, 8)); break;
        case 43: pl.Rectangle(Rect32(r, 8)); break;
        case 44: pl.RoundRect(Rect32(r, 8), QSizeF(r.i32(24), r.i32(28))); break;
        case 45:
        case 46:
        case 47:
            pl.Arc(Rect32(r, 8), XY32(r, 24), XY32(r, 32), type == 45 ? 0 : type == 46 ? 1 : 2);
            break;
        case 3:
        case 86: {
            const QPolygonF poly = Points(r, 28, r.u32(24), type == 3);
            if (!poly.isEmpty())
                pl.Polygons({poly});
            break;
        }
        case 4:
        case 87: pl.Polyline(Points(r, 28, r.u32(24), type == 4), false); break;
        case 6:
        case 89: pl.Polyline(Points(r, 28, r.u32(24), type == 6), true); break;
        case 2:
        case 85: pl.Bezier(Points(r, 28, r.u32(24), type == 2), false); break;
        case 5:
        case 88: pl.Bezier(Points(r, 28, r.u32(24), type == 5), true); break;
        case 8:
        case 91: pl.Polygons(PolyPolygons(r, type == 8)); break;
        case 7:
        case 90:
            for (const QPolygonF& poly : PolyPolygons(r, type == 7))
                pl.Polyline(poly, false);
            break;
        case 59:
            pl.inPath = true;
            pl.path = QPainterPath();
            break;
        case 60: pl.inPath = false; break;
        case 61:
            if (pl.inPath)
                pl.path.closeSubpath();
            break;
        case 68:
            pl.inPath = false;
            pl.path = QPainterPath();
            break;
        case 62: pl.DrawPath(true, false); break;
        case 63: pl.DrawPath(true, true); break;
        case 64: pl.DrawPath(false, true); break;
        case 67: pl.ClipPath(int(r.u32(8))); break;
        case 76:
        case 77: {
            const QRectF dst(XY32(r, 24), QSizeF(r.i32(32), r.i32(36)));
            const quint32 rop = r.u32(40);
            if (r.u32(88) == 0) {
                pl.FillRect(dst, rop == 0x00000042 ? QBrush(Qt::black) : rop == 0x00FF0062 ? QBrush(Qt::white) : pl.s.brush);
                break;
            }
            const QSizeF srcSize = type == 77 ? QSizeF(r.i32(100), r.i32(104)) : dst.size();
            pl.Image(dst, EmfBitmap(r, 84), QRectF(XY32(r, 44), srcSize));
            break;
        }
        case 81: {
            const QImage dib = EmfBitmap(r, 48);
            const QRectF src(XY32(r, 32), QSizeF(r.i32(40), r.i32(44)));
            const QRectF dst(XY32(r, 24), QSizeF(r.i32(72), r.i32(76)));
            pl.Image(dst, dib, QRectF(src.x(), dib.height() - src.y() - src.height(), src.width(), src.height()));
            break;
        }
        case 83:
        case 84: {
            const qint64 chars = r.u32(44);
            const qint64 at = r.u32(48);
            const quint32 options = r.u32(52);
            const QRectF box = Rect32(r, 56);
            const QString text = type == 84 ? Utf16(r.from(at), chars) : Ansi(r.from(at), chars);
            pl.Text(XY32(r, 36), text, box.isEmpty() ? nullptr : &box, int(options));
            break;
        }
        default:
            break;
        }
    }
    pl.Finish();
    return {std::move(image), size};
}

} // namespace

Picture RenderMetafile(QByteArrayView bytes, QSize need, const std::atomic_bool* cancel)
{
    const Bytes b{reinterpret_cast<const uchar*>(bytes.data()), bytes.size()};
    if (b.u32(0) == 1 && b.u32(40) == 0x464D4520u)
        return RenderEmf(b, need, cancel);
    return RenderWmf(b, need, cancel);
}

} // namespace corvane::imaging
