#pragma once
// A grid of file-backed thumbnails: cells of a settable size with a gap for a caption below the
// picture, as many columns as fit, a framed selection, and pictures loaded in the background,
// the cells on screen first, so that scrolling never waits for a decoding.
#include "imaging/ThumbnailCache.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

namespace corvane::imaging {

struct ThumbnailLoader;

class TThumbnailView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit TThumbnailView(QWidget* parent = nullptr);
    ~TThumbnailView() override;

    void Clear();
    // Appends a thumbnail for the file; its picture loads when the cell is first needed.
    int Add(const QString& path);
    int Count() const { return int(m_items.size()); }
    QString Path(int index) const;

    int ThumbnailWidth() const { return m_cell.width(); }
    int ThumbnailHeight() const { return m_cell.height(); }
    // Sets the cell size and lays the view out again; the pictures are loaded anew at that size.
    void SetThumbnailSize(int width, int height);
    int CaptionGap() const { return m_captionGap; }
    void SetCaptionGap(int pixels);
    QColor SelectionColor() const { return m_selectionColor; }
    void SetSelectionColor(QColor color);
    // Pixels between neighbouring cells: room for the selection frame.
    static constexpr int Spacing = 6;

    int Columns() const;
    // Cell `index` in viewport coordinates.
    QRect CellRect(int index) const;
    // The cell under a viewport point, or -1.
    int IndexAt(QPoint point) const;
    int Selected() const { return m_selected; }
    void SetSelected(int index);  // calls OnImageSelect when the selection changes
    void EnsureVisible(int index);
    // The shown picture of cell `index` (null while it loads or when it cannot be read).
    QImage Thumbnail(int index) const;
    bool IsLoaded(int index) const;  // tried, whether or not it gave a picture
    // Whether every cell on screen has been tried.
    bool ScreenLoaded() const;

    // Where thumbnails are read from and written to; the shared cache by default.
    void SetCache(const ThumbnailCache& cache);

    // The caption of a cell, drawn after its picture: (index, canvas, top, left).
    std::function<void(int, QPainter&, int, int)> OnImageDraw;
    // The user selected a cell by mouse or keyboard.
    std::function<void(int)> OnImageSelect;

signals:
    void ThumbnailLoaded(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    friend struct ThumbnailLoader;
    struct Item {
        QString path;
        QImage image;
        bool loaded = false;
    };
    void UpdateScrollBars();
    void Restart();             // a new generation of loading: new size or new list
    void QueueVisibleFirst();   // hands the loader the cells on screen, then those near them
    void Deliver(int generation, int index, QImage image);
    QSize PictureBox() const;
    std::pair<int, int> VisibleRange() const;
    int Rows() const;

    std::vector<Item> m_items;
    QSize m_cell{100, 100};
    int m_captionGap = 20;
    QColor m_selectionColor = Qt::red;
    int m_selected = -1;
    std::shared_ptr<ThumbnailLoader> m_loader;
};

} // namespace corvane::imaging
