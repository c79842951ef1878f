#include "UImageCombo.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QStylePainter>

namespace corvane::shellctl {

namespace {

class ImageComboDelegate : public QStyledItemDelegate
{
public:
    explicit ImageComboDelegate(TCustomImageCombo* combo) : QStyledItemDelegate(combo), m_combo(combo) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        TImageComboItem* item = m_combo->Entry(index.row());
        bool selected = option.state & QStyle::State_Selected;
        p->fillRect(option.rect, selected ? option.palette.highlight() : option.palette.base());
        if (!item)
            return;
        draw(p, option.rect, item, item->Indent, selected, option.palette, m_combo);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        TImageComboItem* item = m_combo->Entry(index.row());
        int h = qMax(option.fontMetrics.height() + 2, item ? item->Image.deviceIndependentSize().toSize().height() : 0);
        return {QStyledItemDelegate::sizeHint(option, index).width(), h + 2};
    }

    static void draw(QPainter* p, const QRect& r, TImageComboItem* item, int indent, bool selected, const QPalette& pal,
                     TCustomImageCombo* combo)
    {
        int iw = 0;
        if (!item->Image.isNull()) {
            QSize is = item->Image.deviceIndependentSize().toSize();
            iw = is.width();
            p->drawPixmap(r.left() + combo->ImageLeft(indent), (r.top() + r.bottom() - is.height()) / 2, item->Image);
        }
        p->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
        int x = r.left() + combo->CaptionLeft(indent, iw);
        QRect text(x + 1, r.top(), combo->fontMetrics().horizontalAdvance(item->Caption) + 3, r.height());
        p->drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, item->Caption);
    }

private:
    TCustomImageCombo* m_combo;
};

} // namespace

TCustomImageCombo::TCustomImageCombo(QWidget* parent)
    : QComboBox(parent)
{
    setItemDelegate(new ImageComboDelegate(this));
    setMaxVisibleItems(8);
}

TCustomImageCombo::~TCustomImageCombo()
{
    ClearEntries();
}

void TCustomImageCombo::SetIndentPixels(int px)
{
    m_indentPixels = px;
    update();
    view()->viewport()->update();
}

std::unique_ptr<TImageComboItem> TCustomImageCombo::CreateItem(int index)
{
    return std::make_unique<TImageComboItem>(this, index);
}

TImageComboItem* TCustomImageCombo::AddEntry(const QString& caption, const QPixmap& image, int indent)
{
    auto item = CreateItem(EntryCount());
    item->Caption = caption;
    item->Image = image;
    item->Indent = indent;
    TImageComboItem* raw = item.get();
    m_items.push_back(std::move(item));
    // The caption is kept as the entry's text too, for accessibility and keyboard search.
    addItem(caption);
    return raw;
}

void TCustomImageCombo::ClearEntries()
{
    for (auto& item : m_items) {
        if (OnDeleteItem)
            OnDeleteItem(this, item.get());
    }
    clear();
    m_items.clear();
}

void TCustomImageCombo::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    TImageComboItem* item = Entry(currentIndex());
    if (!item)
        return;
    // The edit part draws the entry without its indent.
    QRect r = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
    ImageComboDelegate::draw(&painter, r, item, 0, false, palette(), this);
}

} // namespace corvane::shellctl
