#pragma once
// The batch copy window: the current folder's whole tree is copied below a destination chosen in
// a folder tree, repeating the source's path there.
#include <QDialog>

class QLabel;
class QPushButton;

namespace corvane::shellctl {
class TShellTree;
}

namespace corvane::filetools {

class TfrmBatchCopy : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmBatchCopy(QWidget* parent = nullptr);
    ~TfrmBatchCopy() override;

    QLabel* lblSourceCaption;
    QLabel* lblSource;
    QLabel* lblDest;
    shellctl::TShellTree* treeDest;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void FormShow();
    void cmdOKClick();
    QString Source() const { return m_source; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void updateOK();
    QString m_source;
};

extern TfrmBatchCopy* frmBatchCopy;

} // namespace corvane::filetools
