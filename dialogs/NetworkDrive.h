#pragma once
// Map and Disconnect Network Drive: small dialogs that mount a network address and unmount
// network mounts.
#include "core/Job.h"
#include "platform/LaunchMount.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace corvane::app {

// Asks for the user name, domain and password that a server wants.
platform::MountPasswordAnswer AskMountPassword(QWidget* parent, const platform::MountPasswordRequest& request);
int AskMountQuestion(QWidget* parent, const QString& message, const QStringList& choices);

class TfrmMapNetworkDrive : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmMapNetworkDrive(QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* cboAddress;
    QLabel* lblExamples;
    QLabel* lblStatus;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    // The mount under way, if any; closing lets go of it without waiting.
    core::JobPtr<platform::NetworkMountJob> Job;

    void FormActivate();
    void cmdOKClick();
    void cmdCancelClick();

    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void mountFinished();
    void setBusy(bool busy);
};

class TfrmDisconnectNetworkDrive : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmDisconnectNetworkDrive(QWidget* parent = nullptr);

    QLabel* Label1;
    QListWidget* lstDrives;
    QLabel* lblStatus;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    // The unmount under way, if any; closing lets go of it without waiting.
    core::JobPtr<platform::NetworkMountJob> Job;

    void FormActivate();
    void cmdOKClick();
    void cmdCancelClick();

    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void unmountFinished();
    void setBusy(bool busy);
};

} // namespace corvane::app
