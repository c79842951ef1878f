#pragma once
// What the list and the tree bases share inside the control layer: the paint stages around a
// view's paint event, rows painted cell by cell, and the bookkeeping of their context menus.
#include "UTreeListDraw.h"

#include <QModelIndex>
#include <QPainter>
#include <QRect>
#include <QStyle>
#include <QStyleOptionViewItem>

class QAbstractItemView;
class QMenu;
class QObject;
class QWidget;

namespace corvane::shellctl::detail {

// A sub-element of an item as the delegate lays it out; the whole item when it is empty.
QRect itemSubRect(const QAbstractItemView* view, QStyleOptionViewItem opt, const TCustomDrawDelegate* delegate,
                  const QModelIndex& index, QStyle::SubElement element);

// Remembered for PopupComponent().
void setPopupComponent(QMenu* menu, QObject* component);

// The button a drag that starts now is held with.
Qt::MouseButton dragButton();

// The control's own pre-paint and post-paint stages, around a view's paint event.
class TPaintStages
{
public:
    TPaintStages(TCustomDrawHost& host, QWidget* viewport, const QRect& rect)
        : m_host(host), m_viewport(viewport), m_rect(rect)
    {
        notify(TCustomDraw::cdPrePaint);
    }
    ~TPaintStages() { notify(TCustomDraw::cdPostPaint); }
    TPaintStages(const TPaintStages&) = delete;
    TPaintStages& operator=(const TPaintStages&) = delete;

private:
    void notify(int stage)
    {
        QPainter painter(m_viewport);
        m_host.CustomDrawNotify(stage, &painter, m_rect, QModelIndex());
    }

    TCustomDrawHost& m_host;
    QWidget* m_viewport;
    QRect m_rect;
};

// A row of a tree-like view painted cell by cell: notified once, every cell painted with
// the same changes.
template <class PaintRow>
void paintNotifiedRow(TCustomDrawHost& host, TCustomDrawDelegate& delegate, QPainter* painter, const QRect& rect,
                      const QModelIndex& index, PaintRow paintRow)
{
    const TCustomDraw& cd = host.CustomDrawNotify(TCustomDraw::cdItemPrePaint, painter, rect, index);
    if (!cd.SkipDefault()) {
        delegate.BeginRow(&cd);
        paintRow();
        delegate.EndRow();
    }
    host.CustomDrawNotify(TCustomDraw::cdItemPostPaint, painter, rect, index);
}

} // namespace corvane::shellctl::detail
