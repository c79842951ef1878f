#pragma once
// The group rename dialog: the selected files of the current explorer window get a new extension,
// replacing their last one or added to it. Each new name shows beside the old one while the user
// types.
#include "engine/GroupRenameEngine.h"

#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTreeWidget;

namespace corvane::filetools {

class TfrmGroupRename : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmGroupRename(QWidget* parent = nullptr);
    ~TfrmGroupRename() override;

    QLabel* lblFolder;
    QGroupBox* grpFiles;
    QTreeWidget* lstFiles;  // the name and, beside it, the new name
    QLabel* lblExt;
    QLineEdit* txtExt;
    QGroupBox* grpOptions;
    QRadioButton* optReplace;
    QRadioButton* optAdd;
    QPushButton* cmdRename;
    QPushButton* cmdCancel;
    QStatusBar* Status1;

    void FormShow();
    void cmdRenameClick();

    // The option group's item: 0 replaces the extension, 1 adds to it.
    int ItemIndex() const;
    // The file names of lstFiles, in order.
    QStringList FileNames() const;
    QString Folder() const { return m_folder; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void showNewNames();

    QButtonGroup* m_options;
    QString m_folder;
};

extern TfrmGroupRename* frmGroupRename;

} // namespace corvane::filetools
