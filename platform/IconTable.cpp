#include "IconTable.h"

#include <QDir>

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace corvane::platform {

namespace {

int scaled(int px96)
{
    qreal dpi = 96;
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()); app && app->primaryScreen())
        dpi = app->primaryScreen()->logicalDotsPerInch();
    return qMax(px96, qRound(px96 * dpi / 96.0));
}

QPixmap drawFallback(IconTable::Fallback kind, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPen outline(QColor(60, 60, 60), qMax<qreal>(1.0, s / 16));
    p.setPen(outline);
    switch (kind) {
    case IconTable::Folder:
    case IconTable::FolderOpen: {
        QPainterPath tab;
        tab.addRoundedRect(QRectF(s * 0.06, s * 0.18, s * 0.4, s * 0.2), s * 0.05, s * 0.05);
        p.setBrush(QColor(214, 170, 60));
        p.drawPath(tab);
        p.setBrush(QColor(242, 200, 90));
        if (kind == IconTable::FolderOpen) {
            QPolygonF front;
            front << QPointF(s * 0.18, s * 0.42) << QPointF(s * 0.98, s * 0.42) << QPointF(s * 0.82, s * 0.86)
                  << QPointF(s * 0.02, s * 0.86);
            p.drawRect(QRectF(s * 0.06, s * 0.3, s * 0.84, s * 0.56));
            p.drawPolygon(front);
        } else {
            p.drawRoundedRect(QRectF(s * 0.06, s * 0.3, s * 0.88, s * 0.56), s * 0.05, s * 0.05);
        }
        break;
    }
    case IconTable::Home: {
        QPolygonF house;
        house << QPointF(s * 0.5, s * 0.08) << QPointF(s * 0.94, s * 0.48) << QPointF(s * 0.82, s * 0.48)
              << QPointF(s * 0.82, s * 0.92) << QPointF(s * 0.18, s * 0.92) << QPointF(s * 0.18, s * 0.48)
              << QPointF(s * 0.06, s * 0.48);
        p.setBrush(QColor(236, 236, 236));
        p.drawPolygon(house);
        p.setBrush(QColor(120, 80, 40));
        p.drawRect(QRectF(s * 0.42, s * 0.62, s * 0.16, s * 0.3));
        break;
    }
    case IconTable::Computer:
        p.setBrush(QColor(200, 200, 205));
        p.drawRect(QRectF(s * 0.08, s * 0.12, s * 0.84, s * 0.56));
        p.setBrush(QColor(70, 120, 190));
        p.drawRect(QRectF(s * 0.16, s * 0.2, s * 0.68, s * 0.4));
        p.setBrush(QColor(180, 180, 185));
        p.drawRect(QRectF(s * 0.3, s * 0.78, s * 0.4, s * 0.12));
        break;
    case IconTable::Trash:
        p.setBrush(QColor(190, 195, 200));
        p.drawRect(QRectF(s * 0.22, s * 0.28, s * 0.56, s * 0.64));
        p.drawRect(QRectF(s * 0.14, s * 0.16, s * 0.72, s * 0.1));
        break;
    case IconTable::Drive:
        p.setBrush(QColor(170, 175, 180));
        p.drawRoundedRect(QRectF(s * 0.06, s * 0.3, s * 0.88, s * 0.44), s * 0.06, s * 0.06);
        p.setBrush(QColor(60, 200, 80));
        p.drawEllipse(QRectF(s * 0.74, s * 0.46, s * 0.1, s * 0.1));
        break;
    case IconTable::Document:
    default: {
        QPolygonF page;
        page << QPointF(s * 0.18, s * 0.06) << QPointF(s * 0.62, s * 0.06) << QPointF(s * 0.82, s * 0.26)
             << QPointF(s * 0.82, s * 0.94) << QPointF(s * 0.18, s * 0.94);
        p.setBrush(Qt::white);
        p.drawPolygon(page);
        p.drawLine(QPointF(s * 0.62, s * 0.06), QPointF(s * 0.62, s * 0.26));
        p.drawLine(QPointF(s * 0.62, s * 0.26), QPointF(s * 0.82, s * 0.26));
        break;
    }
    }
    return pm;
}

void drawOverlay(QPainter& p, int size, IconTable::Overlay overlay)
{
    const qreal s = size * 0.45;
    QRectF box(0, size - s, s, s);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, qMax<qreal>(1.0, size / 24.0)));
    p.setBrush(Qt::white);
    p.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    if (overlay == IconTable::LinkOverlay) {
        // A curved arrow, as shortcut icons carry.
        QPainterPath arrow;
        arrow.moveTo(box.left() + s * 0.25, box.bottom() - s * 0.2);
        arrow.quadTo(box.left() + s * 0.25, box.top() + s * 0.35, box.left() + s * 0.7, box.top() + s * 0.35);
        p.setBrush(Qt::NoBrush);
        p.drawPath(arrow);
        QPolygonF head;
        head << QPointF(box.left() + s * 0.62, box.top() + s * 0.15) << QPointF(box.left() + s * 0.88, box.top() + s * 0.35)
             << QPointF(box.left() + s * 0.62, box.top() + s * 0.55);
        p.setBrush(Qt::black);
        p.drawPolygon(head);
    } else {
        p.setBrush(QColor(70, 120, 200));
        p.drawEllipse(box.adjusted(s * 0.25, s * 0.25, -s * 0.25, -s * 0.25));
    }
}

} // namespace

IconTable::IconTable()
{
    // Index 0 is the plain document, the answer when nothing better is known.
    indexFor(QStringLiteral("text-x-generic"), Document);
}

IconTable& IconTable::instance()
{
    static IconTable table;
    return table;
}

void IconTable::UseInstalledTheme()
{
    const QString shared = QStringLiteral("/usr/share/icons");
    if (!QIcon::themeSearchPaths().contains(shared))
        QIcon::setThemeSearchPaths(QIcon::themeSearchPaths() << shared);
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        for (const char* theme : {"Adwaita", "hicolor"}) {
            if (QDir(shared + QLatin1Char('/') + QLatin1String(theme)).exists()) {
                QIcon::setThemeName(QLatin1String(theme));
                break;
            }
        }
    }
    QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
}

int IconTable::indexFor(const QString& iconName, Fallback fallback, const QString& genericName)
{
    auto it = m_byName.constFind(iconName);
    if (it != m_byName.constEnd())
        return *it;
    int index = int(m_entries.size());
    m_entries.push_back({iconName, fallback, genericName, {}, false});
    m_byName.insert(iconName, index);
    return index;
}

QIcon IconTable::fallbackIcon(Fallback kind)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48})
        icon.addPixmap(drawFallback(kind, size));
    return icon;
}

QIcon IconTable::icon(int index)
{
    if (index < 0 || index >= int(m_entries.size()))
        index = 0;
    Entry& e = m_entries[size_t(index)];
    if (!e.resolved) {
        e.resolved = true;
        if (!e.name.isEmpty())
            e.icon = QIcon::fromTheme(e.name);
        // A type's icon missing from the theme: its family's (a PDF is an office document, a
        // script a script), then its media's, before one of ours is drawn.
        if (e.icon.isNull() && !e.generic.isEmpty())
            e.icon = QIcon::fromTheme(e.generic);
        if (e.icon.isNull() && e.fallback == Document)
            e.icon = QIcon::fromTheme(e.name.section(QLatin1Char('-'), 0, 0) + QStringLiteral("-x-generic"));
        if (e.icon.isNull())
            e.icon = fallbackIcon(e.fallback);
    }
    return e.icon;
}

int IconTable::smallSize()
{
    return scaled(16);
}

int IconTable::largeSize()
{
    return scaled(32);
}

QPixmap IconTable::pixmap(int index, bool large, Overlay overlay)
{
    if (index < 0 || index >= int(m_entries.size()))
        index = 0;
    quint64 key = (quint64(index) << 8) | (quint64(large) << 4) | quint64(overlay);
    auto it = m_pixmaps.constFind(key);
    if (it != m_pixmaps.constEnd())
        return *it;
    int size = large ? largeSize() : smallSize();
    QPixmap pm = icon(index).pixmap(size, size);
    if (pm.isNull())
        pm = drawFallback(m_entries[size_t(index)].fallback, size);
    if (overlay != NoOverlay) {
        pm = pm.copy();
        QPainter p(&pm);
        drawOverlay(p, size, overlay);
    }
    m_pixmaps.insert(key, pm);
    return pm;
}

} // namespace corvane::platform
