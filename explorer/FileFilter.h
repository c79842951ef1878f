#pragma once
// The file filter dialog: an include filter and exclusion patterns for the active explorer
// window, with the texts used before in the run; and the No Filter command.
#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QPushButton;

namespace corvane::explorer {

class TfrmChild;

// Gives a window the include filter and the exclusion text, refills its list once and
// rebuilds its caption.
void ApplyFilters(TfrmChild* child, const QString& filter, const QString& exclusions);

class TfrmFileFilters : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFileFilters(QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* cboFilter;
    QLabel* Label2;
    QComboBox* cboExclude;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void FormActivate();
    void cmdOKClick();
    void cmdCancelClick();
    // The two texts into an explorer window.
    void ApplyFilters(TfrmChild* child) const;
    // No Filter: both texts emptied and applied to the active explorer window.
    void actNoFilterExecute();

protected:
    void showEvent(QShowEvent* e) override;
};

extern QPointer<TfrmFileFilters> frmFileFilters;

} // namespace corvane::explorer
