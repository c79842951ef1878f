#pragma once
// The go-to-folder dialog: jumps the current explorer window's tree to a typed path.
#include <QDialog>
#include <QPointer>

class QLabel;
class QLineEdit;
class QPushButton;

namespace corvane::explorer {

class TfrmGoToFolder : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmGoToFolder(QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* txtFolder;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void FormActivate();
    void cmdOKClick();
    void cmdCancelClick();

protected:
    void showEvent(QShowEvent* e) override;
};

extern QPointer<TfrmGoToFolder> frmGoToFolder;

} // namespace corvane::explorer
