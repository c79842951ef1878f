#include "Launchers.h"

#include "AppTexts.h"
#include "ClipboardViewer.h"
#include "Globals.h"
#include "Mainform.h"
#include "dialogs/NetworkDrive.h"
#include "Utility.h"
#include "explorer/Child.h"
#include "platform/Launch.h"
#include "platform/NameCodec.h"
#include "shellctl/ShellControls.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::app {

namespace {

void errorBox(const char* text)
{
    MsgBox(QString::fromLatin1(text), QString::fromLatin1(texts::Error), MB_ICONEXCLAMATION);
}

// Whether the command interpreter could be started in the folder.
bool folderUsable(const QString& folder)
{
    const QByteArray bytes = platform::EncodeName(folder);
    struct stat st;
    return ::stat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode) && ::access(bytes.constData(), X_OK) == 0;
}

} // namespace

bool RunCommandText(const QString& text, const QString& folder)
{
    const QString dir = folder.isEmpty() ? QDir::homePath() : folder;
    const platform::RunText run = platform::SplitRunText(text);
    if (platform::ShellOpen(run.program, run.parameters, dir))
        return true;
    // The command interpreter runs the whole text; a folder it cannot enter is a failure.
    if (!folderUsable(dir))
        return false;
    return platform::RunInTerminal(text, dir);
}

void AddRunHistory(QComboBox* box, const QString& text)
{
    if (box->count() > 0 && box->itemText(0) == text)
        return;
    box->insertItem(0, text);
    box->setEditText(text);
}

TLaunchers::TLaunchers(TfrmMain* main)
    : QObject(main), frmMapNetworkDrive(new TfrmMapNetworkDrive(main)),
      frmDisconnectNetworkDrive(new TfrmDisconnectNetworkDrive(main)), m_main(main)
{
    main->cboRun->setInsertPolicy(QComboBox::NoInsert);
    connect(main->cmdRun, &QPushButton::clicked, this, &TLaunchers::cmdRunClick);
    connect(main->cboRun->lineEdit(), &QLineEdit::returnPressed, this, &TLaunchers::cboRunKeyPress);
    connect(main->DOSPrompt1, &QAction::triggered, this, &TLaunchers::DOSPrompt1Click);
    connect(main->ControlPanel1, &QAction::triggered, this, &TLaunchers::ControlPanel1Click);
    connect(main->ClipboardViewer1, &QAction::triggered, this, &TLaunchers::ClipboardViewer1Click);
    connect(main->Calculator1, &QAction::triggered, this, &TLaunchers::Calculator1Click);
    connect(main->MapNetworkDrive1, &QAction::triggered, this, &TLaunchers::MapNetworkDrive1Click);
    connect(main->DisconnectNetworkDrive1, &QAction::triggered, this, &TLaunchers::DisconnectNetworkDrive1Click);
    connect(main->FormatDiskette1, &QAction::triggered, this, &TLaunchers::FormatDiskette1Click);
    connect(main->CopyDiskette1, &QAction::triggered, this, &TLaunchers::CopyDiskette1Click);
}

QString TLaunchers::CurrentFolder()
{
    return CurShellTree ? CurShellTree->SelectedPath() : QString();
}

void TLaunchers::RunCommandLine()
{
    const QString text = m_main->cboRun->currentText();
    // An empty run box starts nothing, not even an empty terminal.
    if (text.trimmed().isEmpty())
        return;
    if (RunCommandText(text, CurrentFolder()))
        AddRunHistory(m_main->cboRun, text);
    else
        errorBox(texts::UnableToRunCommand);
}

void TLaunchers::cmdRunClick()
{
    RunCommandLine();
}

void TLaunchers::cboRunKeyPress()
{
    RunCommandLine();
}

void TLaunchers::DOSPrompt1Click()
{
    const QString folder = CurrentFolder();
    if (!platform::OpenTerminal(folder.isEmpty() ? QDir::homePath() : folder))
        errorBox(texts::UnableToRunDosPrompt);
}

void TLaunchers::ControlPanel1Click()
{
    const QString program = platform::FindDesktopProgram(platform::DesktopProgram::Settings);
    if (!program.isEmpty())
        platform::StartDetached(program, {}, QDir::homePath());
}

TfrmClipboardViewer* TLaunchers::ClipboardViewer()
{
    if (!m_clipboardViewer) {
        m_clipboardViewer = new TfrmClipboardViewer(m_main);
        m_clipboardViewer->move(m_main->geometry().center() - m_clipboardViewer->rect().center());
    }
    return m_clipboardViewer;
}

void TLaunchers::ClipboardViewer1Click()
{
    TfrmClipboardViewer* viewer = ClipboardViewer();
    viewer->ClipboardChanged();
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

void TLaunchers::Calculator1Click()
{
    const QString program = platform::FindDesktopProgram(platform::DesktopProgram::Calculator);
    if (program.isEmpty() || !platform::StartDetached(program, {}, QDir::homePath()))
        errorBox(texts::UnableToRunCalculator);
}

void TLaunchers::FormatDiskette1Click()
{
    const QString program = platform::FindDesktopProgram(platform::DesktopProgram::Disks);
    if (!program.isEmpty())
        platform::StartDetached(program, {}, QDir::homePath());
}

void TLaunchers::CopyDiskette1Click()
{
    // There is no diskette copier to start; the menu item stays disabled.
}

void TLaunchers::refreshTrees()
{
    for (explorer::TfrmChild* child : m_main->Explorers())
        child->Tree1->RefreshTree();
}

void TLaunchers::MapNetworkDrive1Click()
{
    if (frmMapNetworkDrive->exec() == QDialog::Accepted)
        refreshTrees();
}

void TLaunchers::DisconnectNetworkDrive1Click()
{
    // The trees are refreshed too, so that no node is left pointing at the gone mount.
    if (frmDisconnectNetworkDrive->exec() == QDialog::Accepted)
        refreshTrees();
}

} // namespace corvane::app
