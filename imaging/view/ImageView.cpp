#include "ImageView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>

#include <algorithm>

namespace corvane::imaging {

namespace {

// Reductions up to this size are kept whole; above it only the visible part is drawn each time.
constexpr qint64 kMaxCachedPixels = 16ll << 20;

} // namespace

TImageView::TImageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pal.setColor(QPalette::Base, Qt::white);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

void TImageView::SetPicture(Picture picture)
{
    m_picture = std::move(picture);
    m_scaled = QImage();
    m_detailAsked = QSize();
    UpdateScrollBars();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    viewport()->update();
    emit ImageChange();
    CheckDetail();
}

void TImageView::Clear()
{
    SetPicture({});
}

void TImageView::SetDetail(QImage image)
{
    if (image.isNull() || m_picture.isNull() || image.width() <= m_picture.image.width())
        return;
    m_picture.image = std::move(image);
    m_scaled = QImage();
    viewport()->update();
}

void TImageView::SetZoom(int percent)
{
    if (percent <= 0 || percent == m_zoom)
        return;
    // Keep the point at the viewport's centre where it is.
    const QSize before = ShownSize();
    const QPointF centre((horizontalScrollBar()->value() + viewport()->width() / 2.0) / std::max(1, before.width()),
                         (verticalScrollBar()->value() + viewport()->height() / 2.0) / std::max(1, before.height()));
    m_zoom = percent;
    m_scaled = QImage();
    UpdateScrollBars();
    const QSize after = ShownSize();
    horizontalScrollBar()->setValue(int(centre.x() * after.width() - viewport()->width() / 2.0));
    verticalScrollBar()->setValue(int(centre.y() * after.height() - viewport()->height() / 2.0));
    viewport()->update();
    CheckDetail();
}

void TImageView::Fit()
{
    // The room the picture has once it fits: the viewport without scroll bars.
    const int zoom = FitZoom(m_picture.size, maximumViewportSize());
    if (zoom > 0)
        SetZoom(zoom);
}

QSize TImageView::ShownSize() const
{
    if (m_picture.isNull())
        return {};
    auto scale = [&](int v) { return int(std::clamp<qint64>(qint64(v) * m_zoom / 100, 1, 1 << 30)); };
    return QSize(scale(m_picture.size.width()), scale(m_picture.size.height()));
}

void TImageView::CheckDetail()
{
    if (!m_picture.isReduced())
        return;
    const QSize need = ShownSize().boundedTo(m_picture.size);
    const QSize have = m_picture.image.size();
    if ((need.width() > have.width() || need.height() > have.height()) && need != m_detailAsked) {
        m_detailAsked = need;
        emit DetailWanted(need);
    }
}

void TImageView::UpdateScrollBars()
{
    const QSize shown = ShownSize();
    const QSize room = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, shown.width() - room.width()));
    verticalScrollBar()->setRange(0, std::max(0, shown.height() - room.height()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setPageStep(room.height());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

// Where the picture lands in the viewport; a picture smaller than the view is centred.
QRect TImageView::ImageRect() const
{
    const QSize shown = ShownSize();
    const QSize room = viewport()->size();
    const int x = shown.width() < room.width() ? (room.width() - shown.width()) / 2 : -horizontalScrollBar()->value();
    const int y = shown.height() < room.height() ? (room.height() - shown.height()) / 2 : -verticalScrollBar()->value();
    return QRect(QPoint(x, y), shown);
}

void TImageView::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(viewport());
    const QRect target = ImageRect();
    const QImage& image = m_picture.image;
    if (target.size() == image.size()) {
        painter.drawImage(target.topLeft(), image);
        return;
    }
    const bool reduced = target.width() < image.width();
    if (reduced && qint64(target.width()) * target.height() <= kMaxCachedPixels) {
        if (m_scaled.size() != target.size())
            m_scaled = image.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        painter.drawImage(target.topLeft(), m_scaled);
        return;
    }
    // Enlarged (or huge): only what the viewport shows, mapped back to the image's pixels.
    const QRect visible = target.intersected(viewport()->rect());
    if (visible.isEmpty())
        return;
    const double sx = double(image.width()) / target.width();
    const double sy = double(image.height()) / target.height();
    const QRectF source((visible.x() - target.x()) * sx, (visible.y() - target.y()) * sy, visible.width() * sx,
                        visible.height() * sy);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(visible), image, source);
}

void TImageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void TImageView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void TImageView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_picture.isNull()) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    m_dragStart = event->position().toPoint();
    m_scrollStart = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    viewport()->setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void TImageView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = event->position().toPoint() - m_dragStart;
    horizontalScrollBar()->setValue(m_scrollStart.x() - delta.x());
    verticalScrollBar()->setValue(m_scrollStart.y() - delta.y());
    event->accept();
}

void TImageView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    viewport()->unsetCursor();
    event->accept();
}

void TImageView::Print(QPrinter& printer, double widthInches)
{
    if (m_picture.isNull())
        return;
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const QRect target = PrintRect(m_picture.size, printer.logicalDpiX(), printer.logicalDpiY(), widthInches);
    if (!target.isEmpty()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_picture.image);
    }
    painter.end();
}

} // namespace corvane::imaging
