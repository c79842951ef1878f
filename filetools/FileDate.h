#pragma once
// The date/time dialog: the selected files of the current explorer window, with their sizes and
// dates, get one modification date and time.
#include <QDialog>

class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimeEdit;
class QTreeWidget;

namespace corvane::filetools {

class TfrmFileDate : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFileDate(QWidget* parent = nullptr);
    ~TfrmFileDate() override;

    QLabel* lblFolder;
    QGroupBox* grpFiles;
    QTreeWidget* lstFiles;  // Name, Size, Date; the file name in the first column's user data
    QLabel* lblDate;
    QDateEdit* txtDate;
    QLabel* lblTime;
    QTimeEdit* txtTime;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // The main window's command: fills the dialog from the current explorer window, shows it.
    int Execute();
    void Prepare();
    void FormActivate();
    void cmdOKClick();

    QString Folder() const { return m_folder; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    QString m_folder;
};

extern TfrmFileDate* frmFileDate;

} // namespace corvane::filetools
