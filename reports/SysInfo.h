#pragma once
// The system information sheet: a read-only text about this computer, which can be printed.
// The facts are read on a worker each time the window shows.
#include "reports/engine/SysInfo.h"

#include <QDialog>

class QPlainTextEdit;
class QPrinter;
class QPushButton;

namespace corvane::reports {

class TfrmSysInfo : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSysInfo(QWidget* parent = nullptr);

    // Where the facts are read from; the running system unless a test says otherwise.
    void SetSource(const SysInfoSource& source) { m_source = source; }
    void PrintSheet(QPrinter& printer);

    QPlainTextEdit* txtInfo;
    QPushButton* cmdPrint;
    QPushButton* cmdClose;

signals:
    // The sheet has been filled in.
    void SheetBuilt();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void cmdPrintClick();

    SysInfoSource m_source;
    int m_build = 0;
};

extern TfrmSysInfo* frmSysInfo;

} // namespace corvane::reports
