#pragma once
// The Convert Graphics dialog: the selected pictures of the current explorer window (or the
// previewed one) converted into one format with a chosen number of colours or JPEG quality,
// written into a folder picked in a tree. The conversion runs as a job.
#include <QDialog>
#include <QString>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QStatusBar;

namespace corvane::shellctl {
class TShellTree;
}

namespace corvane::core {
struct JobProgress;
}

namespace corvane::dialogs {
class TfrmJobProgress;
}

namespace corvane::graphics {

class TfrmConvert : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmConvert(QWidget* parent = nullptr);
    ~TfrmConvert() override;

    // Set by whoever opens the dialog: true converts CurrentFile alone.
    bool LaunchedFromPreview = false;
    // The previewed file's full path, read when LaunchedFromPreview is set.
    QString CurrentFile;
    // Opens the dialog modally for one file, as the preview window's Convert button does.
    int ExecuteForFile(const QString& path);

    QGroupBox* GroupBox1;
    shellctl::TShellTree* treeDest;
    QLabel* Label1;
    QLabel* lblSourceFolder;
    QGroupBox* grpSource;
    QListWidget* lstFiles;
    QGroupBox* grpFormat;
    QRadioButton* optFormat[6];  // BMP, GIF, JPEG, PCX, PNG, TIFF
    QGroupBox* grpColors;
    QRadioButton* optColors4;
    QRadioButton* optColors8;
    QRadioButton* optColors16;
    QRadioButton* optColors256;
    QRadioButton* optColors16M;
    QGroupBox* grpJPEGQuality;
    QSlider* trkJPEGQuality;
    QLabel* lblLow;
    QLabel* lblHigh;
    QPushButton* cmdConvert;
    QPushButton* cmdCancel;
    QStatusBar* Status1;

    void FormShow();
    void grpFormatClick();
    void cmdConvertClick();
    void cmdCancelClick();

    // The chosen format, 0 (BMP) to 5 (TIFF), and colour code, 0 ("4") to 4 ("16 Million").
    int FormatIndex() const;
    int ColorCode() const;
    // The folder the listed files are read from.
    QString SourceFolder() const { return m_sourceFolder; }
    bool Running() const { return m_running; }
    dialogs::TfrmJobProgress* ProgressWindow() const { return m_progress; }

protected:
    void showEvent(QShowEvent* e) override;
    void done(int result) override;

private:
    void layoutControls();
    void fillFiles();
    void showStatus(const core::JobProgress& p);

    QButtonGroup* m_formats;
    QString m_sourceFolder;
    bool m_running = false;
    dialogs::TfrmJobProgress* m_progress = nullptr;
};

extern TfrmConvert* frmConvert;

} // namespace corvane::graphics
