#include "UTreeListDraw.h"

#include <QLineEdit>

#include <QApplication>
#include <QPainter>

namespace corvane::shellctl {

void TCustomDraw::SetFont(const QFont& font)
{
    m_font = font;
    m_fontChanged = true;
}

void TCustomDraw::SetFontColor(const QColor& color)
{
    m_fontColor = color;
    m_fontChanged = true;
}

void TCustomDraw::SetBrushColor(const QColor& color)
{
    m_brush.setColor(color);
    m_brushChanged = true;
}

void TCustomDraw::Begin(int stage, QPainter* canvas, const QRect& rect, const QFont& font, const QColor& text,
                        const QColor& background)
{
    m_stage = stage;
    m_canvas = canvas;
    m_rect = rect;
    m_font = font;
    m_fontColor = text;
    m_brush.setColor(background);
    m_fontChanged = false;
    m_brushChanged = false;
    m_skipDefault = false;
}

TCustomDrawDelegate::TCustomDrawDelegate(TCustomDrawHost& host, QObject* parent)
    : QStyledItemDelegate(parent), m_host(host)
{
}

QSize TCustomDrawDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return m_itemSize.isValid() ? m_itemSize : QStyledItemDelegate::sizeHint(option, index);
}

void TCustomDrawDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    QStyledItemDelegate::setEditorData(editor, index);
    auto* line = qobject_cast<QLineEdit*>(editor);
    const QVariant keep = index.data(EditSelectionRole);
    if (!line || !keep.isValid())
        return;
    // The view selects the whole text once the editor is set up: ours comes after it.
    QMetaObject::invokeMethod(line, [line, length = keep.toInt()] { line->setSelection(0, length); }, Qt::QueuedConnection);
}

void TCustomDrawDelegate::InitOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    initStyleOption(option, index);
}

void TCustomDrawDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const
{
    if (m_row) {
        if (!m_row->SkipDefault())
            paintApplied(painter, option, index, *m_row);
        return;
    }
    const TCustomDraw& cd = m_host.CustomDrawNotify(TCustomDraw::cdItemPrePaint, painter, option.rect, index);
    if (!cd.SkipDefault())
        paintApplied(painter, option, index, cd);
    m_host.CustomDrawNotify(TCustomDraw::cdItemPostPaint, painter, option.rect, index);
}

void TCustomDrawDelegate::paintApplied(QPainter* painter, const QStyleOptionViewItem& option,
                                       const QModelIndex& index, const TCustomDraw& cd) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (cd.FontChanged()) {
        if (opt.font != cd.Font()) {
            opt.font = cd.Font();
            opt.fontMetrics = QFontMetrics(cd.Font());
        }
        opt.palette.setColor(QPalette::Text, cd.FontColor());
    }
    if (cd.BrushChanged())
        opt.backgroundBrush = cd.Brush();
    if (m_host.IsDropHighlighted(index))
        opt.state |= QStyle::State_Selected;
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

} // namespace corvane::shellctl
