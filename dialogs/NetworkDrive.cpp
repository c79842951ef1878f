#include "NetworkDrive.h"

#include "NetworkDriveTexts.h"
#include "app/Utility.h"
#include "platform/LaunchMount.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane::app {

namespace {

constexpr Qt::WindowFlags kDialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                         | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;

// Starts the job with its questions put to the owner; `done` runs once it has finished, unless
// the owner has let go of it by then.
template <typename Dialog>
void startJob(Dialog* owner, platform::NetworkMountJob* job, void (Dialog::*done)())
{
    owner->Job.reset(job);
    job->AskPassword = [owner](const platform::MountPasswordRequest& r) { return AskMountPassword(owner, r); };
    job->AskQuestion = [owner](const QString& m, const QStringList& c) { return AskMountQuestion(owner, m, c); };
    QObject::connect(job, &core::Job::finished, owner, [owner, job, done] {
        // A job let go of may have left its address to a newer one that is still running.
        if (owner->Job.get() == job && owner->Job->isFinished())
            (owner->*done)();
    }, Qt::QueuedConnection);
    job->start();
}

} // namespace

platform::MountPasswordAnswer AskMountPassword(QWidget* parent, const platform::MountPasswordRequest& request)
{
    QDialog dialog(parent, kDialogFlags);
    dialog.setWindowTitle(QString::fromLatin1(nettexts::PasswordCaption));
    auto* message = new QLabel(request.message, &dialog);
    message->setWordWrap(true);
    auto* user = new QLineEdit(request.defaultUser, &dialog);
    auto* domain = new QLineEdit(request.defaultDomain, &dialog);
    auto* password = new QLineEdit(&dialog);
    password->setEchoMode(QLineEdit::Password);
    auto* anonymous = new QCheckBox(QString::fromLatin1(nettexts::PasswordAnonymous), &dialog);
    auto* form = new QFormLayout;
    if (request.needUser)
        form->addRow(QString::fromLatin1(nettexts::PasswordUser), user);
    if (request.needDomain)
        form->addRow(QString::fromLatin1(nettexts::PasswordDomain), domain);
    if (request.needPassword)
        form->addRow(QString::fromLatin1(nettexts::PasswordPassword), password);
    for (QWidget* w : {static_cast<QWidget*>(user), static_cast<QWidget*>(domain), static_cast<QWidget*>(password)})
        w->setVisible(form->indexOf(w) >= 0);
    anonymous->setVisible(request.anonymousAllowed);
    QObject::connect(anonymous, &QCheckBox::toggled, &dialog, [=](bool on) {
        for (QWidget* w : {static_cast<QWidget*>(user), static_cast<QWidget*>(domain), static_cast<QWidget*>(password)})
            w->setEnabled(!on);
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(message);
    layout->addLayout(form);
    layout->addWidget(anonymous);
    layout->addWidget(buttons);
    platform::MountPasswordAnswer answer;
    if (dialog.exec() != QDialog::Accepted)
        return answer;
    answer.ok = true;
    answer.anonymous = anonymous->isChecked();
    answer.user = user->text();
    answer.domain = domain->text();
    answer.password = password->text();
    return answer;
}

int AskMountQuestion(QWidget* parent, const QString& message, const QStringList& choices)
{
    QMessageBox box(QMessageBox::Question, MsgBoxCaption(QString()), message, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> buttons;
    for (const QString& c : choices)
        buttons << box.addButton(c, QMessageBox::AcceptRole);
    box.exec();
    return int(buttons.indexOf(box.clickedButton()));
}

// --- Map Network Drive ---

TfrmMapNetworkDrive::TfrmMapNetworkDrive(QWidget* parent)
    : QDialog(parent, kDialogFlags), Label1(new QLabel(QString::fromLatin1(nettexts::NetworkAddress), this)),
      cboAddress(new QComboBox(this)), lblExamples(new QLabel(QString::fromLatin1(nettexts::NetworkExamples), this)),
      lblStatus(new QLabel(this)), cmdOK(new QPushButton(QString::fromLatin1(nettexts::Ok), this)),
      cmdCancel(new QPushButton(QString::fromLatin1(nettexts::Cancel), this))
{
    setObjectName(QStringLiteral("frmMapNetworkDrive"));
    setWindowTitle(QString::fromLatin1(nettexts::MapNetworkDriveCaption));
    setModal(true);
    cboAddress->setEditable(true);
    cboAddress->setInsertPolicy(QComboBox::NoInsert);
    Label1->setBuddy(cboAddress);
    lblExamples->setWordWrap(true);
    lblStatus->setWordWrap(true);
    cmdOK->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(cboAddress);
    layout->addWidget(lblExamples);
    layout->addWidget(lblStatus);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setFixedSize(QSize(Scaled(420), Scaled(170)).expandedTo(sizeHint()));

    connect(cmdOK, &QPushButton::clicked, this, &TfrmMapNetworkDrive::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmMapNetworkDrive::cmdCancelClick);
}

void TfrmMapNetworkDrive::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TfrmMapNetworkDrive::FormActivate()
{
    setBusy(false);
    lblStatus->clear();
    cboAddress->setFocus();
    cboAddress->lineEdit()->selectAll();
}

void TfrmMapNetworkDrive::setBusy(bool busy)
{
    cboAddress->setEnabled(!busy);
    cmdOK->setEnabled(!busy);
}

void TfrmMapNetworkDrive::cmdOKClick()
{
    const QString address = cboAddress->currentText().trimmed();
    if (!platform::IsNetworkAddress(address)) {
        MsgBox(QString::fromLatin1(nettexts::NetworkBadAddress), QString::fromLatin1(nettexts::Error), MB_ICONEXCLAMATION);
        return;
    }
    if (cboAddress->count() == 0 || cboAddress->itemText(0) != address)
        cboAddress->insertItem(0, address);
    cboAddress->setEditText(address);
    lblStatus->setText(QString::fromLatin1(nettexts::NetworkConnecting).arg(address));
    setBusy(true);
    startJob(this, platform::NetworkMountJob::Mount(address), &TfrmMapNetworkDrive::mountFinished);
}

void TfrmMapNetworkDrive::mountFinished()
{
    const bool ok = Job->Ok();
    const QString error = Job->Error();
    Job.reset();
    setBusy(false);
    lblStatus->clear();
    if (ok) {
        accept();
        return;
    }
    if (!error.isEmpty())
        MsgBox(QString::fromLatin1(nettexts::NetworkConnectFailed).arg(cboAddress->currentText().trimmed(), error),
               QString::fromLatin1(nettexts::Error), MB_ICONEXCLAMATION);
}

void TfrmMapNetworkDrive::cmdCancelClick()
{
    reject();
}

void TfrmMapNetworkDrive::reject()
{
    // A connection under way is given up; its result no longer matters.
    Job.reset();
    QDialog::reject();
}

// --- Disconnect Network Drive ---

TfrmDisconnectNetworkDrive::TfrmDisconnectNetworkDrive(QWidget* parent)
    : QDialog(parent, kDialogFlags), Label1(new QLabel(QString::fromLatin1(nettexts::NetworkDrives), this)),
      lstDrives(new QListWidget(this)), lblStatus(new QLabel(this)),
      cmdOK(new QPushButton(QString::fromLatin1(nettexts::Ok), this)),
      cmdCancel(new QPushButton(QString::fromLatin1(nettexts::Cancel), this))
{
    setObjectName(QStringLiteral("frmDisconnectNetworkDrive"));
    setWindowTitle(QString::fromLatin1(nettexts::DisconnectNetworkDriveCaption));
    setModal(true);
    Label1->setBuddy(lstDrives);
    lblStatus->setWordWrap(true);
    cmdOK->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(lstDrives, 1);
    layout->addWidget(lblStatus);
    layout->addLayout(buttons);
    setFixedSize(QSize(Scaled(420), Scaled(260)).expandedTo(sizeHint()));

    connect(cmdOK, &QPushButton::clicked, this, &TfrmDisconnectNetworkDrive::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmDisconnectNetworkDrive::cmdCancelClick);
    connect(lstDrives, &QListWidget::itemDoubleClicked, this, &TfrmDisconnectNetworkDrive::cmdOKClick);
}

void TfrmDisconnectNetworkDrive::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TfrmDisconnectNetworkDrive::FormActivate()
{
    lstDrives->clear();
    for (const platform::NetworkMountInfo& m : platform::NetworkMounts()) {
        auto* item = new QListWidgetItem(m.path.isEmpty() ? QStringLiteral("%1 (%2)").arg(m.name, m.uri)
                                                          : QStringLiteral("%1 (%2)").arg(m.name, m.path),
                                         lstDrives);
        item->setData(Qt::UserRole, m.uri);
        item->setToolTip(m.uri);
    }
    if (lstDrives->count() > 0)
        lstDrives->setCurrentRow(0);
    lblStatus->setText(lstDrives->count() == 0 ? QString::fromLatin1(nettexts::NetworkNone) : QString());
    setBusy(false);
    lstDrives->setFocus();
}

void TfrmDisconnectNetworkDrive::setBusy(bool busy)
{
    lstDrives->setEnabled(!busy);
    cmdOK->setEnabled(!busy && lstDrives->count() > 0);
}

void TfrmDisconnectNetworkDrive::cmdOKClick()
{
    QListWidgetItem* item = lstDrives->currentItem();
    if (!item || Job)
        return;
    lblStatus->setText(QString::fromLatin1(nettexts::NetworkDisconnecting).arg(item->text()));
    setBusy(true);
    startJob(this, platform::NetworkMountJob::Unmount(item->data(Qt::UserRole).toString()),
             &TfrmDisconnectNetworkDrive::unmountFinished);
}

void TfrmDisconnectNetworkDrive::unmountFinished()
{
    const bool ok = Job->Ok();
    const QString error = Job->Error();
    Job.reset();
    setBusy(false);
    lblStatus->clear();
    if (ok) {
        accept();
        return;
    }
    if (!error.isEmpty()) {
        const QString name = lstDrives->currentItem() ? lstDrives->currentItem()->text() : QString();
        MsgBox(QString::fromLatin1(nettexts::NetworkDisconnectFailed).arg(name, error), QString::fromLatin1(nettexts::Error),
               MB_ICONEXCLAMATION);
    }
}

void TfrmDisconnectNetworkDrive::cmdCancelClick()
{
    reject();
}

void TfrmDisconnectNetworkDrive::reject()
{
    Job.reset();
    QDialog::reject();
}

} // namespace corvane::app
