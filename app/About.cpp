#include "About.h"

#include "AppTexts.h"
#include "Utility.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane::app {

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(texts::About));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0, 255, 255));
    setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QString::fromLatin1(texts::ProductName), this);
    QFont f = name->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() * 2);
    name->setFont(f);
    name->setStyleSheet(QStringLiteral("color: navy;"));
    name->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(QString::fromLatin1(texts::Version), this);
    version->setAlignment(Qt::AlignCenter);
    auto* ok = new QPushButton(QString::fromLatin1(texts::Ok), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    setFixedSize(Scaled(300), Scaled(160));
}

} // namespace corvane::app
