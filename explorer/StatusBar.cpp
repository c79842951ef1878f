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
        QRect r(x, 2, panel.width - 1, height() - 3);
        p.setPen(palette().color(QPalette::Mid));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(palette().color(QPalette::Light));
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
        p.setPen(palette().color(QPalette::WindowText));
        // The panel rule leaves five pixels beside a text: borders and a small inset.
        QRect text = r.adjusted(2, 0, -1, 0);
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   fontMetrics().elidedText(panel.text, Qt::ElideRight, text.width()));
        x += panel.width;
    }
}

} // namespace corvane::explorer
