#pragma once
// The run box and the fixed launchers of the Tools menu.
#include <QObject>
#include <QString>

class QComboBox;

namespace corvane::app {

class TfrmMain;
class TfrmClipboardViewer;
class TfrmMapNetworkDrive;
class TfrmDisconnectNetworkDrive;

// Runs a run text in a folder: the program before the first blank with the parameters after
// it, a document or address with its default application; failing that the whole text
// through /bin/sh -c in a terminal window. False when nothing could be started.
bool RunCommandText(const QString& text, const QString& folder);
// The run history: the text goes on top unless it already is the first entry.
void AddRunHistory(QComboBox* box, const QString& text);

class TLaunchers : public QObject
{
    Q_OBJECT
public:
    // Connects the run bar and the Tools menu's launchers of the main window.
    explicit TLaunchers(TfrmMain* main);

    // The folder that started programs get: the current explorer window's folder.
    static QString CurrentFolder();

    void RunCommandLine();
    void cmdRunClick();
    void cboRunKeyPress();
    void DOSPrompt1Click();
    void ControlPanel1Click();
    void ClipboardViewer1Click();
    void Calculator1Click();
    void MapNetworkDrive1Click();
    void DisconnectNetworkDrive1Click();
    void FormatDiskette1Click();
    void CopyDiskette1Click();

    TfrmClipboardViewer* ClipboardViewer();
    TfrmMapNetworkDrive* frmMapNetworkDrive;
    TfrmDisconnectNetworkDrive* frmDisconnectNetworkDrive;

private:
    void refreshTrees();
    TfrmMain* m_main;
    TfrmClipboardViewer* m_clipboardViewer = nullptr;
};

} // namespace corvane::app
