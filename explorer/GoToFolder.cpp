#include "GoToFolder.h"

#include "ExplorerTexts.h"
#include "app/Globals.h"
#include "app/Utility.h"
#include "platform/Launch.h"
#include "shellctl/ShellControls.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane::explorer {

QPointer<TfrmGoToFolder> frmGoToFolder;

TfrmGoToFolder::TfrmGoToFolder(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint),
      Label1(new QLabel(QString::fromLatin1(texts::GoToFolderLabel).replace(QLatin1String("\r\n"), QLatin1String("\n")), this)),
      txtFolder(new QLineEdit(this)), cmdOK(new QPushButton(QString::fromLatin1(texts::Ok), this)),
      cmdCancel(new QPushButton(QString::fromLatin1(texts::Cancel), this))
{
    setObjectName(QStringLiteral("frmGoToFolder"));
    setWindowTitle(QString::fromLatin1(texts::GoToFolderCaption));
    setModal(true);
    Label1->setBuddy(txtFolder);
    cmdOK->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(app::Scaled(12), app::Scaled(12), app::Scaled(12), app::Scaled(12));
    layout->addWidget(Label1);
    layout->addWidget(txtFolder);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    setFixedSize(QSize(app::Scaled(342), app::Scaled(150)).expandedTo(sizeHint()));

    connect(cmdOK, &QPushButton::clicked, this, &TfrmGoToFolder::cmdOKClick);
    connect(cmdCancel, &QPushButton::clicked, this, &TfrmGoToFolder::cmdCancelClick);
}

void TfrmGoToFolder::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    FormActivate();
}

void TfrmGoToFolder::FormActivate()
{
    txtFolder->clear();
    txtFolder->setFocus();
}

void TfrmGoToFolder::cmdOKClick()
{
    shellctl::TShellTree* tree = app::CurShellTree;
    if (!tree) {
        accept();
        return;
    }
    const QString before = tree->SelectedPath();
    // "~", "~/x", trailing slashes and paths relative to the folder shown are accepted.
    tree->SelectPath(platform::ResolveTypedPath(txtFolder->text(), before));
    // The tree falls back to its first node, the desktop, for a path it cannot select.
    if (tree->SelectedNode() == tree->RootNode()) {
        app::MsgBox(QString::fromLatin1(texts::FolderMissing), QString::fromLatin1(texts::Error), app::MB_ICONEXCLAMATION);
        tree->SelectPath(before);
    }
    accept();
}

void TfrmGoToFolder::cmdCancelClick()
{
    reject();
}

} // namespace corvane::explorer
