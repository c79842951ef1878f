#pragma once
// The encrypt/decrypt dialog: the selected files of the current explorer window, a
// destination folder and a pass phrase. The engine does the work on a worker thread, so
// the window stays responsive and a long run can be cancelled.
#include "EncryptEngine.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <atomic>
#include <vector>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressDialog;
class QPushButton;

namespace corvane::shellctl {
class TShellTree;
}

namespace corvane::filetools {

class TfrmEncrypt : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmEncrypt(QWidget* parent = nullptr);
    ~TfrmEncrypt() override;

    // "E" encrypts, anything else decrypts; the caller sets it before showing.
    QString Mode = QStringLiteral("E");
    // Sets the mode and shows the dialog modally.
    int Execute(const QString& mode);

    QGroupBox* grpFiles;
    QLabel* lblSourceFolder;
    QListWidget* lstFiles;
    shellctl::TShellTree* treeDest;
    QLabel* lblKey;
    QLineEdit* txtKey;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QGroupBox* grpNote;
    QLabel* lblNote;

    void FormShow();
    void cmdOKClick();
    void cmdCancelClick();

    // The folder the listed files are read from, as the engine takes it.
    QString SourceFolder() const { return m_sourceFolder; }
    // The names of lstFiles in processing order, as the engine takes them.
    QStringList FileNames() const;
    bool Running() const { return m_running; }
    // The window that shows a long run's progress; null until the run has taken a while.
    QProgressDialog* ProgressWindow() const;
    // A run longer than this shows its progress.
    static constexpr int ProgressDelayMs = 500;

protected:
    void showEvent(QShowEvent* e) override;
    void done(int result) override;

private:
    CryptMode mode() const { return CryptModeFromLetter(Mode); }
    void layoutControls();
    void fillFiles();
    CryptRunResult runOnWorker(const CryptRunInput& input);
    void showMessage(const CryptMessage& message);
    void showProgress();
    void updateProgress();
    void setControlsEnabled(bool on);

    QString m_sourceFolder;
    bool m_running = false;
    std::atomic<bool> m_cancel{false};
    std::atomic<qsizetype> m_fileIndex{0};
    std::atomic<qint64> m_bytesDone{0};
    // The bytes of the files before each one and, last, of them all; the worker fills it
    // before it starts, so that a small file does not count as much as a big one.
    std::vector<qint64> m_bytesBefore;
    std::atomic<bool> m_sizesKnown{false};
    QPointer<QProgressDialog> m_progress;
};

// The one dialog, created at start-up.
extern TfrmEncrypt* frmEncrypt;

} // namespace corvane::filetools
