#include "Splash.h"

#include "AppTexts.h"
#include "Utility.h"
#include "platform/IconTable.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

namespace corvane::app {

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setFixedSize(Scaled(405), Scaled(198));
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

void TfrmSplash::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, width(), height());
    g.setColorAt(0, QColor(16, 52, 110));
    g.setColorAt(1, QColor(40, 140, 170));
    p.fillRect(rect(), g);
    int icon = height() / 2;
    p.drawPixmap(height() / 6, (height() - icon) / 2,
                 platform::IconTable::fallbackIcon(platform::IconTable::Folder).pixmap(icon, icon));
    QFont f = font();
    f.setPixelSize(height() / 4);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    QRect text = rect().adjusted(height() / 6 + icon + height() / 8, 0, 0, -height() / 8);
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, QString::fromLatin1(texts::ProductName));
    f.setPixelSize(height() / 12);
    f.setBold(false);
    p.setFont(f);
    p.drawText(text.adjusted(0, height() / 3, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QString::fromLatin1(texts::Version));
}

} // namespace corvane::app
