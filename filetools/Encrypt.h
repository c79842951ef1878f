#pragma once
// The encrypt/decrypt dialog: the selected files of the current explorer window, a
// destination folder and a pass phrase. The run is a job, so the window stays responsive and
// a long run can be cancelled.
#include "engine/EncryptEngine.h"

#include <QDialog>
#include <QPointer>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace corvane::shellctl {
class TShellTree;
}

namespace corvane::dialogs {
class TfrmJobProgress;
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
    dialogs::TfrmJobProgress* ProgressWindow() const;
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
    void setControlsEnabled(bool on);

    QString m_sourceFolder;
    bool m_running = false;
    dialogs::TfrmJobProgress* m_progress = nullptr;  // while a run goes on
};

// The one dialog, created at start-up.
extern TfrmEncrypt* frmEncrypt;

} // namespace corvane::filetools
