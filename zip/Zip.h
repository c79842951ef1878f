#pragma once
// The create-zip dialog: packs the items selected in the current explorer window, or its
// current folder, into an archive. The run is a job with a progress window.
#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStatusBar;
class QToolButton;

namespace corvane::zip {

class TfrmZip : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmZip(QWidget* parent = nullptr);
    ~TfrmZip() override;

    QLabel* Label2;
    QComboBox* txtZipFile;
    QToolButton* cmdBrowse;
    QLabel* Label1;
    QLabel* lblSourceFolder;
    QGroupBox* grpSource;
    QListWidget* lstFiles;
    QLabel* lblKey;
    QLineEdit* txtPassword;
    QLabel* lblEncryption;
    QComboBox* cboEncryption;
    QGroupBox* grpNote;
    QLabel* Label3;
    QGroupBox* grpAction;
    QRadioButton* optAdd;
    QRadioButton* optFreshen;
    QRadioButton* optUpdate;
    QGroupBox* grpOptions;
    QCheckBox* chkSubdirs;
    QCheckBox* chkPaths;
    QCheckBox* chkSpan;
    QLabel* lblMaxVolume;
    QSpinBox* txtMaxVolume;  // MaxVolumeSize in MB; 0: as much as each disk takes
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QStatusBar* Status1;

    // "L": the selected items of the explorer window's list; "T": its current folder.
    QString SourceKind;

    struct Source {
        QString path;
        bool folder;
    };
    // Opens the dialog for these items of `folder` (a context menu's choice) instead of the
    // explorer window's selection.
    int ExecFor(std::vector<Source> items, const QString& folder);

    void FormShow();
    void cmdOKClick();
    void cmdCancelClick();
    void cmdBrowseClick();

    // The file patterns the dialog hands to the zip component for what it lists.
    QStringList FileSpecs() const;
    // The archive the text names; a bare name is in the source folder.
    QString ArchivePath() const;

protected:
    void showEvent(QShowEvent* e) override;
    void reject() override;

private:
    std::vector<Source> m_sources;  // the items to pack, in list order
    QString m_sourceFolder;
    std::optional<std::pair<std::vector<Source>, QString>> m_given;
    bool m_running = false;
};

extern TfrmZip* frmZip;

} // namespace corvane::zip
