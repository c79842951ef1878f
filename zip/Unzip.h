#pragma once
// The extract dialog: lists one archive with a check box per entry, tests it, then extracts all
// entries or the checked ones into the folder chosen in its tree. Listing, test and extraction
// run on workers; the window stays responsive throughout.
#include "core/Job.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QGroupBox;
class QCheckBox;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableWidget;

namespace corvane::shellctl {
class TShellTree;
}

namespace corvane::zip {

class ZipJob;

class TfrmUnzip : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmUnzip(QWidget* parent = nullptr);
    ~TfrmUnzip() override;

    QGroupBox* grpZipFile;
    QTableWidget* Grid1;
    QPushButton* cmdSelectAll;
    QPushButton* cmdDeselectAll;
    QGroupBox* grpFiles;
    QRadioButton* optAllFiles;
    QRadioButton* optSelectedFiles;
    QGroupBox* GroupBox1;
    shellctl::TShellTree* treeDest;
    QGroupBox* grpOptions;
    QCheckBox* chkOverwrite;
    QCheckBox* chkSkipOlder;
    QCheckBox* chkPaths;
    QPushButton* cmdExtract;
    QPushButton* cmdCancel;
    QStatusBar* Status1;

    // Set by whoever opens the dialog: the archive is then the preview's file.
    bool LaunchedFromPreview = false;
    // The preview's file, handed over when LaunchedFromPreview.
    QString PreviewFile;

    void FormShow();
    void cmdExtractClick();
    void cmdSelectAllClick();
    void cmdDeselectAllClick();
    void cmdCancelClick();

    const QString& ArchivePath() const { return m_archive; }
    // The entries' full names to test and extract: empty for "All files".
    QStringList FilesToExtract() const;
    // Whether the archive's listing is still on its way.
    bool Listing() const { return bool(m_list); }

signals:
    // The listing has filled the grid.
    void Listed();

protected:
    void showEvent(QShowEvent* e) override;
    void reject() override;

private:
    void fillGrid();
    int checkedCount() const;

    QString m_archive;
    int m_entryCount = 0;
    bool m_running = false;
    bool m_encrypted = false;
    bool m_spanned = false;  // the archive is the last part of a spanned set
    core::JobPtr<ZipJob> m_list;
};

extern TfrmUnzip* frmUnzip;

// The main window's Unzip File command for a selected file: lists it first and reports a file
// that is not an archive in the "Zip Error" box instead of opening the dialog.
void UnzipSelectedFile(const QString& path, QWidget* parent);

} // namespace corvane::zip
