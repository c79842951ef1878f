#pragma once
// The main window: menus, toolbars, run bar, drive buttons and the explorer windows.
#include "Globals.h"

#include <QMainWindow>
#include <QSet>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;

namespace corvane::explorer {
class TfrmChild;
}

namespace corvane::settings {
class TPFormSettings;
}

namespace corvane::app {

class TLaunchers;

class TfrmMain : public QMainWindow, public TMainFrame
{
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    QWidget* Window() override { return this; }
    settings::TPFormSettings& Settings() override { return *PFormSettings1; }
    QMdiArea* MdiArea() const { return m_mdi; }
    // Explorer windows: the children less the preview window.
    int ExplorerCount() const;
    std::vector<explorer::TfrmChild*> Explorers() const override;
    void ArrangeChildren();
    char LastArrangement = 0;

    // Hooks for the explorer windows.
    void ShowViewStyle(int style) override;
    void UpdatePasteState() override;
    void UpdateHistoryButtons();
    void SetSelectionCommandsEnabled(bool on) override;
    void SetNewFolderEnabled(bool on) override;
    // An item became selected in the list: what it is decides Open With, Unzip and Convert.
    void SelectionNarrowed(bool openWith, bool unzip, bool convert) override;
    void ChildClosed(explorer::TfrmChild* child) override;

    // The application's help file (the manual's contents page).
    QString HelpFile;
    // Every setting the program keeps between runs.
    settings::TPFormSettings* PFormSettings1;
    void PFormSettings1PreSave();
    // A new explorer window, not yet shown or arranged.
    explorer::TfrmChild* CreateExplorer();
    // The explorer window of the active child, none while the preview window is active.
    explorer::TfrmChild* ActiveExplorer() const override;

    // Navigation history of the current explorer window.
    void HistoryRecorded(int count) override;
    void actBackExecute();
    void actForwardExecute();
    void actUpExecute();
    void mnuBackPopup();
    void mnuForwardPopup();
    void JumpToHistoryEntry(QAction* item);

    // Actions.
    QAction *actCut, *actCopy, *actPaste, *actBack, *actForward, *actUp, *actLargeIcons, *actSmallIcons, *actList,
        *actDetails, *actPreview, *actDelete, *actNewWindow, *actCascade, *actTileHoriz, *actTileVert, *actRefresh, *actZip,
        *actUnzip, *actExpandDrive, *actCollapseDrive, *actExpandFolder, *actCollapseFolder, *actFileFilter, *actNoFilter,
        *actConvert;
    // Menu items that are not bound to an action.
    QAction *Folder1, *Shortcut1, *Open1, *OpenWithAssociate1, *CreateShortcut1, *Rename1, *GroupRename1, *Properties1,
        *ChangeDateTime1, *BatchCopy1, *FTP1, *Encrypt1, *Decrypt1, *Destroy1, *Exit1, *SelectAll1, *DeselectAll1,
        *InvertSelection1, *GoToFolder1, *ByName1, *BySize1, *ByType1, *ByDate1, *ByExtension1, *GraphicThumbnails1,
        *FolderSizes1, *Find1, *MapNetworkDrive1, *DisconnectNetworkDrive1, *SystemInformation1, *ControlPanel1,
        *ClipboardViewer1, *Calculator1, *DOSPrompt1, *FormatDiskette1, *CopyDiskette1, *Options1, *ConfigureUserTools1,
        *HelpContents1, *About1;
    QAction* mnuUserTool[9];
    QMenu *FFile1, *Edit1, *View1, *Tools1, *Window1, *Help1, *mnuBack, *mnuForward;
    QToolBar *ToolBar1, *ToolBar2;
    QComboBox* cboRun;
    QPushButton* cmdRun;
    QLabel* lblDrives;
    std::vector<QToolButton*> DriveButtons;

    // Commands on the current explorer window (MainCommands.cpp).
    void actCutExecute();
    void actCopyExecute();
    void actPasteExecute();
    void actDeleteExecute();
    void Rename1Click();
    void Open1Click();
    void OpenWithAssociate1Click();
    void Properties1Click();
    void CreateShortcut1Click();
    void Folder1Click();
    void Shortcut1Click();
    void Find1Click();
    void SelectAll1Click();
    void DeselectAll1Click();
    void InvertSelection1Click();
    void SortBy(int key);
    void actExpandFolderExecute();
    void actCollapseFolderExecute();
    void actExpandDriveExecute();
    void actCollapseDriveExecute();
    void actRefreshExecute();

    void actNewWindowExecute();
    void actTileHorizExecute();
    void actTileVertExecute();
    void actCascadeExecute();
    void CreateDriveButtons();

    // The user tools' menu items from their settings.
    void BuildUserToolsMenu();
    // The run bar and the Tools menu's launchers.
    TLaunchers* Launchers = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void createActions();
    void createMenus();
    void createToolBars();
    void FormShow();
    void tile(bool vertical);
    void cascade();
    void setViewStyle(int style);
    void fillWindowMenu();
    void showHelp();
    void showAbout();
    // Enables an item only when what it runs exists in this build.
    void setAvailable(QAction* a, bool on);
    void createSettings();
    void connectCommands();
    // Which pane of the active explorer window holds the focus: 1 tree, 2 list, 0 other.
    int focusedPane() const;
    void clipboardVerb(const QString& verb);
    void restoreExplorers();
    void updateBackForward();
    // Commands on an explorer window are off while none is open.
    void updateWindowCommands();
    void moveInHistory(int step);
    void fillHistoryMenu(QMenu* menu, bool back);
    // Creates the dialogs once and connects their menu items, the run bar and the launchers.
    void createDialogs();

    QMdiArea* m_mdi;
    QActionGroup* m_viewGroup;
    QList<QAction*> m_windowItems;
    QSet<QAction*> m_unbuilt;
    bool m_shown = false;
};

} // namespace corvane::app
