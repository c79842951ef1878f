#include "ThumbnailView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace corvane::imaging {

// What the view's background workers share with it. The workers hold it, not the view: a worker
// stuck reading a dead disk keeps only this alive, and the view closes without waiting.
struct ThumbnailLoader {
    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    int generation = 0;
    QSize box;                       // the picture's room in a cell
    std::vector<QString> paths;      // of this generation
    std::vector<char> taken;         // per path: handed to a worker already
    std::deque<int> queue;           // what to load next, most wanted first
    ThumbnailCache cache;
    QPointer<TThumbnailView> view;
    std::atomic_bool cancel{false};  // set with quit: a decoding under way stops early
    int workers = 0;

    void Run(std::shared_ptr<ThumbnailLoader> self);
};

void ThumbnailLoader::Run(std::shared_ptr<ThumbnailLoader> self)
{
    for (;;) {
        std::unique_lock lock(mutex);
        wake.wait(lock, [this] { return quit || !queue.empty(); });
        if (quit)
            return;
        const int index = queue.front();
        queue.pop_front();
        if (index < 0 || size_t(index) >= paths.size() || taken[size_t(index)])
            continue;
        taken[size_t(index)] = 1;
        const QString path = paths[size_t(index)];
        const int gen = generation;
        const QSize room = box;
        const ThumbnailCache store = cache;
        lock.unlock();

        QImage image = store.Load(path, ThumbnailCache::SizeFor(room), &cancel);
        if (!image.isNull() && (image.width() > room.width() || image.height() > room.height()))
            image = image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPointer<TThumbnailView> target = view;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [target, gen, index, image = std::move(image)]() mutable {
                if (target)
                    target->Deliver(gen, index, std::move(image));
            },
            Qt::QueuedConnection);
    }
    (void)self;
}

namespace {

constexpr int kWorkers = 2;

} // namespace

TThumbnailView::TThumbnailView(QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_loader(std::make_shared<ThumbnailLoader>())
{
    m_loader->view = this;
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setAutoFillBackground(true);
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(p);
    viewport()->setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Restart();
}

TThumbnailView::~TThumbnailView()
{
    std::lock_guard lock(m_loader->mutex);
    m_loader->quit = true;
    m_loader->cancel = true;
    m_loader->wake.notify_all();
}

void TThumbnailView::Clear()
{
    m_items.clear();
    m_selected = -1;
    Restart();
}

int TThumbnailView::Add(const QString& path)
{
    m_items.push_back({path, {}, false});
    {
        std::lock_guard lock(m_loader->mutex);
        m_loader->paths.push_back(path);
        m_loader->taken.push_back(0);
    }
    UpdateScrollBars();
    QueueVisibleFirst();
    viewport()->update();
    return int(m_items.size()) - 1;
}

QString TThumbnailView::Path(int index) const
{
    return index >= 0 && size_t(index) < m_items.size() ? m_items[size_t(index)].path : QString();
}

void TThumbnailView::SetThumbnailSize(int width, int height)
{
    m_cell = QSize(std::max(1, width), std::max(1, height));
    for (Item& item : m_items) {
        item.image = {};
        item.loaded = false;
    }
    Restart();
    UpdateScrollBars();
    EnsureVisible(m_selected);
    QueueVisibleFirst();
    viewport()->update();
}

void TThumbnailView::SetCaptionGap(int pixels)
{
    m_captionGap = std::max(0, pixels);
    SetThumbnailSize(m_cell.width(), m_cell.height());
}

void TThumbnailView::SetSelectionColor(QColor color)
{
    m_selectionColor = color;
    viewport()->update();
}

void TThumbnailView::SetCache(const ThumbnailCache& cache)
{
    std::lock_guard lock(m_loader->mutex);
    m_loader->cache = cache;
}

QSize TThumbnailView::PictureBox() const
{
    return QSize(m_cell.width(), std::max(1, m_cell.height() - m_captionGap));
}

void TThumbnailView::Restart()
{
    std::lock_guard lock(m_loader->mutex);
    ++m_loader->generation;
    m_loader->box = PictureBox();
    m_loader->paths.clear();
    m_loader->taken.clear();
    for (const Item& item : m_items) {
        m_loader->paths.push_back(item.path);
        m_loader->taken.push_back(0);
    }
    m_loader->queue.clear();
    // Workers start with the first work and stay for the view's life.
    while (m_loader->workers < kWorkers) {
        ++m_loader->workers;
        std::thread([loader = m_loader] { loader->Run(loader); }).detach();
    }
}

int TThumbnailView::Columns() const
{
    const int width = viewport()->width();
    return std::max(1, (width - Spacing) / (m_cell.width() + Spacing));
}

int TThumbnailView::Rows() const
{
    const int columns = Columns();
    return (Count() + columns - 1) / columns;
}

QRect TThumbnailView::CellRect(int index) const
{
    const int columns = Columns();
    const int x = Spacing + (index % columns) * (m_cell.width() + Spacing) - horizontalScrollBar()->value();
    const int y = Spacing + (index / columns) * (m_cell.height() + Spacing) - verticalScrollBar()->value();
    return QRect(QPoint(x, y), m_cell);
}

int TThumbnailView::IndexAt(QPoint point) const
{
    const int x = point.x() + horizontalScrollBar()->value() - Spacing;
    const int y = point.y() + verticalScrollBar()->value() - Spacing;
    if (x < 0 || y < 0)
        return -1;
    const int column = x / (m_cell.width() + Spacing), row = y / (m_cell.height() + Spacing);
    if (column >= Columns() || x % (m_cell.width() + Spacing) >= m_cell.width()
        || y % (m_cell.height() + Spacing) >= m_cell.height())
        return -1;
    const int index = row * Columns() + column;
    return index < Count() ? index : -1;
}

std::pair<int, int> TThumbnailView::VisibleRange() const
{
    if (m_items.empty())
        return {0, 0};
    const int rowHeight = m_cell.height() + Spacing;
    const int top = verticalScrollBar()->value();
    const int first = std::max(0, (top - Spacing) / rowHeight);
    const int last = (top + viewport()->height()) / rowHeight;
    const int columns = Columns();
    return {std::min(Count(), first * columns), std::min(Count(), (last + 1) * columns)};
}

bool TThumbnailView::ScreenLoaded() const
{
    const auto [first, end] = VisibleRange();
    for (int i = first; i < end; ++i)
        if (!m_items[size_t(i)].loaded)
            return false;
    return true;
}

bool TThumbnailView::IsLoaded(int index) const
{
    return index >= 0 && size_t(index) < m_items.size() && m_items[size_t(index)].loaded;
}

QImage TThumbnailView::Thumbnail(int index) const
{
    return index >= 0 && size_t(index) < m_items.size() ? m_items[size_t(index)].image : QImage();
}

void TThumbnailView::QueueVisibleFirst()
{
    const auto [first, end] = VisibleRange();
    const int screen = std::max(1, end - first);
    std::lock_guard lock(m_loader->mutex);
    m_loader->queue.clear();
    auto want = [&](int i) {
        if (!m_items[size_t(i)].loaded && !m_loader->taken[size_t(i)])
            m_loader->queue.push_back(i);
    };
    for (int i = first; i < end; ++i)
        want(i);
    // Then a screen below and one above, where scrolling goes next, then the rest in order.
    for (int i = end; i < std::min(Count(), end + screen); ++i)
        want(i);
    for (int i = first - 1; i >= std::max(0, first - screen); --i)
        want(i);
    for (int i = 0; i < Count(); ++i)
        if (i < first - screen || i >= end + screen)
            want(i);
    m_loader->wake.notify_all();
}

void TThumbnailView::Deliver(int generation, int index, QImage image)
{
    {
        std::lock_guard lock(m_loader->mutex);
        if (generation != m_loader->generation)
            return;
    }
    if (index < 0 || size_t(index) >= m_items.size())
        return;
    m_items[size_t(index)].image = std::move(image);
    m_items[size_t(index)].loaded = true;
    viewport()->update(CellRect(index).adjusted(-Spacing, -Spacing, Spacing, Spacing));
    emit ThumbnailLoaded(index);
}

void TThumbnailView::UpdateScrollBars()
{
    const int contentW = Spacing + Columns() * (m_cell.width() + Spacing);
    const int contentH = Spacing + Rows() * (m_cell.height() + Spacing);
    horizontalScrollBar()->setRange(0, std::max(0, contentW - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_cell.width() / 4 + 1);
    verticalScrollBar()->setRange(0, std::max(0, contentH - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(m_cell.height() / 4 + 1);
}

void TThumbnailView::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const QSize box = PictureBox();
    const auto [first, end] = VisibleRange();
    for (int i = first; i < end; ++i) {
        const QRect cell = CellRect(i);
        const QImage& image = m_items[size_t(i)].image;
        if (!image.isNull()) {
            // Fitted to the room above the caption gap, centred both ways in it.
            const QSize fit = image.size().scaled(box, Qt::KeepAspectRatio);
            const QRect target(cell.left() + (box.width() - fit.width()) / 2,
                               cell.top() + (box.height() - fit.height()) / 2, fit.width(), fit.height());
            p.drawImage(target, image);
        }
        if (OnImageDraw) {
            p.save();
            OnImageDraw(i, p, cell.top(), cell.left());
            p.restore();
        }
    }
    if (m_selected >= 0 && m_selected < Count()) {
        const int width = hasFocus() ? 3 : 1;
        const QRect cell = CellRect(m_selected);
        p.setPen(Qt::NoPen);
        p.setBrush(m_selectionColor);
        // The frame lies just outside the cell, in the spacing.
        const QRect outer = cell.adjusted(-width, -width, width, width);
        p.drawRect(QRect(outer.left(), outer.top(), outer.width(), width));
        p.drawRect(QRect(outer.left(), cell.bottom() + 1, outer.width(), width));
        p.drawRect(QRect(outer.left(), cell.top(), width, cell.height()));
        p.drawRect(QRect(cell.right() + 1, cell.top(), width, cell.height()));
    }
}

void TThumbnailView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    QueueVisibleFirst();
}

void TThumbnailView::scrollContentsBy(int, int)
{
    viewport()->update();
    QueueVisibleFirst();
}

void TThumbnailView::SetSelected(int index)
{
    if (index < 0 || index >= Count() || index == m_selected)
        return;
    m_selected = index;
    EnsureVisible(index);
    viewport()->update();
    if (OnImageSelect)
        OnImageSelect(index);
}

void TThumbnailView::EnsureVisible(int index)
{
    if (index < 0 || index >= Count())
        return;
    const QRect cell = CellRect(index).adjusted(-Spacing, -Spacing, Spacing, Spacing);
    QScrollBar* v = verticalScrollBar();
    if (cell.top() < 0)
        v->setValue(v->value() + cell.top());
    else if (cell.bottom() > viewport()->height())
        v->setValue(v->value() + cell.bottom() - viewport()->height());
}

void TThumbnailView::mousePressEvent(QMouseEvent* event)
{
    const int index = IndexAt(event->position().toPoint());
    if (index >= 0)
        SetSelected(index);
    QAbstractScrollArea::mousePressEvent(event);
}

void TThumbnailView::keyPressEvent(QKeyEvent* event)
{
    if (m_items.empty())
        return QAbstractScrollArea::keyPressEvent(event);
    const int columns = Columns();
    const int perPage = std::max(1, viewport()->height() / (m_cell.height() + Spacing)) * columns;
    int next = m_selected < 0 ? 0 : m_selected;
    switch (event->key()) {
    case Qt::Key_Left: next -= 1; break;
    case Qt::Key_Right: next += 1; break;
    case Qt::Key_Up: next -= columns; break;
    case Qt::Key_Down: next += columns; break;
    case Qt::Key_PageUp: next -= perPage; break;
    case Qt::Key_PageDown: next += perPage; break;
    case Qt::Key_Home: next = 0; break;
    case Qt::Key_End: next = Count() - 1; break;
    default:
        return QAbstractScrollArea::keyPressEvent(event);
    }
    if (m_selected < 0)
        next = 0;
    SetSelected(std::clamp(next, 0, Count() - 1));
}

void TThumbnailView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TThumbnailView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

} // namespace corvane::imaging
