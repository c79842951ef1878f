#include "StatusBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace corvane::explorer {

TStatusBar::TStatusBar(int panels, QWidget* parent)
    : QWidget(parent), m_panels(size_t(panels))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TStatusBar::SetPanelText(int i, const QString& text)
{
    if (i < 0 || i >= PanelCount() || m_panels[size_t(i)].text == text)
        return;
    m_panels[size_t(i)].text = text;
    update();
}

void TStatusBar::SetPanelWidth(int i, int width)
{
    if (i < 0 || i >= PanelCount())
        return;
    m_panels[size_t(i)].width = qMax(0, width);
    update();
}

int TStatusBar::TextWidth(const QString& text) const
{
    return fontMetrics().horizontalAdvance(text);
}

QSize TStatusBar::sizeHint() const
{
    return {200, fontMetrics().height() + 8};
}

void TStatusBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    int x = 0;
    for (const Panel& panel : m_panels) {
        QRect r(x, 2, panel.width - 2, height() - 3);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   fontMetrics().elidedText(panel.text, Qt::ElideRight, r.width() - 4));
        x += panel.width;
    }
}

} // namespace corvane::explorer
