#pragma once
// The program-wide references: the main window, the preview window, the dialogs and the
// controls of the current explorer window. Forms reach each other only through these.
#include <QPointer>
#include <QString>

#include <vector>

namespace corvane::shellctl {
class TShellTree;
class TShellList;
class TShellCombo;
} // namespace corvane::shellctl

namespace corvane::explorer {
class TfrmChild;
class THistory;
class TStatusBar;
} // namespace corvane::explorer

namespace corvane::settings {
class TPFormSettings;
}

class QWidget;

namespace corvane::app {

class TfrmMain;

// What the other forms may ask of the main window; they never see the window's class itself.
class TMainFrame
{
public:
    virtual QWidget* Window() = 0;
    // Every setting the program keeps between runs.
    virtual settings::TPFormSettings& Settings() = 0;
    virtual std::vector<explorer::TfrmChild*> Explorers() const = 0;
    // The explorer window of the active child, none while the preview window is active.
    virtual explorer::TfrmChild* ActiveExplorer() const = 0;

    // Hooks for the explorer windows.
    virtual void ShowViewStyle(int style) = 0;
    virtual void UpdatePasteState() = 0;
    virtual void SetSelectionCommandsEnabled(bool on) = 0;
    virtual void SetNewFolderEnabled(bool on) = 0;
    // An item became selected in the list: what it is decides Open With, Unzip and Convert.
    virtual void SelectionNarrowed(bool openWith, bool unzip, bool convert) = 0;
    virtual void ChildClosed(explorer::TfrmChild* child) = 0;
    virtual void HistoryRecorded(int count) = 0;

protected:
    ~TMainFrame() = default;
};

// What the explorer windows and the options dialog ask of the open preview window.
class TPreviewHost
{
public:
    // An item became selected in an explorer window's list; `size` is what the listing read.
    virtual void PreviewFile(const QString& path, bool isFolder, qint64 size) = 0;
    virtual void ClearPreview() = 0;
    // An item left an explorer window's list: the file and picture views go.
    virtual void PreviewItemDeleted() = 0;
    virtual void ApplyPreviewFont() = 0;

protected:
    ~TPreviewHost() = default;
};

extern TfrmMain* frmMain;
// The main window as the other forms see it; null before it exists and after it is gone.
TMainFrame* MainFrame();
// The preview window while it is open.
extern QPointer<QWidget> frmPreview;
// The open preview window's hooks, null when none is open.
TPreviewHost* PreviewHost();

// The controls of the explorer window activated most recently; empty when none is open.
extern QPointer<shellctl::TShellTree> CurShellTree;
extern QPointer<shellctl::TShellList> CurShellList;
extern QPointer<shellctl::TShellCombo> CurShellCombo;
extern QPointer<explorer::THistory> CurHistory;
extern QPointer<explorer::TStatusBar> CurStatusBar;

// Opens the Convert Graphics dialog for one file, the one the preview window shows (its Convert
// button); the dialog lives with the graphics forms.
void ConvertGraphic(const QString& currentFile);

} // namespace corvane::app
