#pragma once
// The folder sizes report window: the folders below the chosen one with their files and bytes,
// sortable by any column, printed and exported as a comma-delimited file. The scan runs as a job
// while the window stays live; its progress and its Cancel are on the status bar.
#include "reports/engine/FolderReport.h"

#include "core/Job.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QLabel;
class QPrinter;
class QPushButton;
class QTableView;
class QTableWidget;
class QTimer;

namespace corvane::reports {

class TFolderSizeModel;

class TfrmFolderSize : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmFolderSize(QWidget* parent = nullptr);
    ~TfrmFolderSize() override;

    // Prepares the window for the folders (one for a folder of the file system, the volumes for
    // Computer) and shows it modally; the report runs when it shows. Volumes are each measured
    // on their own, without the volumes mounted inside them.
    void Execute(const std::vector<QByteArray>& roots, const QString& folderText, bool volumes = false);
    // What Execute does before it shows the window: an empty grid, no totals, no buttons.
    void Prepare(const std::vector<QByteArray>& roots, const QString& folderText, bool volumes = false);

    void RunReport();
    // Fills the grid and the totals line with a finished scan's rows, ordered by folder.
    void ShowRows(std::vector<FolderRow> rows);
    void CancelReport();
    bool Running() const { return m_job != nullptr; }
    // Prints the rows and the totals line, titled with the window caption.
    void PrintReport(QPrinter& printer);
    // Writes the report to the file; the system's message on failure, else empty text.
    QString ExportCsv(const QString& fileName);
    const FolderReport& Report() const { return m_report; }

    QTableView* Grid1;
    QTableWidget* Grid2;
    QLabel* Status1Panel0;
    QLabel* Status1Panel1;
    QCheckBox* chkOneFileSystem;
    QPushButton* cmdPrint;
    QPushButton* cmdExport;
    QPushButton* cmdClose;

signals:
    // The report has ended, complete or cancelled.
    void ReportEnded();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    void cmdPrintClick();
    void cmdExportClick();
    void reportFinished();
    void endReport(bool canceled);
    void clearGrid();
    void pollProgress();
    void setWidths();
    void syncGrid2Widths();
    void sizeStatusPanels();

    FolderReport m_report;
    TFolderSizeModel* m_model;
    QWidget* Status1;
    QTimer* m_poll;
    std::vector<QByteArray> m_roots;
    bool m_volumes = false;
    core::JobPtr<FolderSizeJob> m_job;
};

extern TfrmFolderSize* frmFolderSize;

// The Folder Sizes command: the report of the folder selected in the current explorer window's
// tree. The Desktop stands for Home and Computer for the volumes; a virtual folder without
// folders on disk behind it (Trash) gets a message instead.
void FolderSizes1Click();

} // namespace corvane::reports
