#include "OpenWith.h"

#include "ShellDialogTexts.h"
#include "app/Utility.h"
#include "platform/NameCodec.h"
#include "platform/ShellOpen.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace corvane::app {

using namespace platform;

TfrmOpenWith::TfrmOpenWith(const QByteArray& path, QWidget* parent) : QDialog(parent), m_path(path)
{
    setWindowTitle(QString::fromUtf8(shelltexts::OpenWithCaption));
    auto* layout = new QVBoxLayout(this);
    auto* lbl = new QLabel(QString::fromUtf8(shelltexts::OpenWithText).arg(ReadableName(path.mid(path.lastIndexOf('/') + 1))), this);
    lbl->setTextFormat(Qt::PlainText);
    lstApps = new QListWidget(this);
    for (const AppChoice& a : ApplicationsFor(path)) {
        auto* item = new QListWidgetItem(a.name, lstApps);
        item->setData(Qt::UserRole, a.id);
    }
    lstApps->setCurrentRow(0);
    chkAlways = new QCheckBox(QString::fromUtf8(shelltexts::AlwaysUse), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TfrmOpenWith::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TfrmOpenWith::reject);
    connect(lstApps, &QListWidget::itemDoubleClicked, this, &TfrmOpenWith::accept);
    layout->addWidget(lbl);
    layout->addWidget(lstApps);
    layout->addWidget(chkAlways);
    layout->addWidget(buttons);
    resize(Scaled(420), Scaled(400));
}

void TfrmOpenWith::accept()
{
    QListWidgetItem* item = lstApps->currentItem();
    if (!item)
        return;
    QString error;
    if (!OpenWith(item->data(Qt::UserRole).toString(), m_path, chkAlways->isChecked(), &error))
        MsgBox(QString::fromUtf8(shelltexts::CannotOpen).arg(ReadableName(m_path)) + QStringLiteral("\n") + error,
               QString::fromUtf8(shelltexts::Error), MB_ICONEXCLAMATION);
    QDialog::accept();
}

} // namespace corvane::app
