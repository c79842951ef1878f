// The main window's commands on the current explorer window: clipboard and delete verbs, rename,
// open, properties, links, new folder, selection, arranging, tree expansion and refresh.
#include "dialogs/Find.h"
#include "Globals.h"
#include "Mainform.h"
#include "dialogs/NewShortcut.h"
#include "dialogs/OpenWith.h"
#include "ShellUiTexts.h"
#include "dialogs/ShellVerbUi.h"

#include "explorer/Child.h"
#include "explorer/StatusBar.h"
#include "platform/Clipboard.h"
#include "platform/NameCodec.h"
#include "platform/Volumes.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"
#include "shellctl/UShellUtils.h"
#include "zip/Unzip.h"
#include "zip/Zip.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QMdiArea>
#include <QPointer>
#include <QToolButton>

namespace corvane::app {

using shellctl::TShTreeNode;

namespace {

int rowNamed(shellctl::TShellList* list, const QByteArray& name)
{
    for (int row = 0; row < list->Count(); ++row) {
        shellctl::TShListData* data = list->DataOfIndex(row);
        if (data && platform::EncodeName(data->FileName()) == name)
            return row;
    }
    return -1;
}

// Opens the folder in the current explorer window and selects the item there (none for an empty name).
void showItem(QWidget* frame, const QByteArray& folder, const QByteArray& name)
{
    shellctl::TShellList* list = CurShellList;
    platform::PItemIDList abs;
    if (!list || platform::Failed(shellctl::IdListFromPath(platform::DecodeName(folder), abs)))
        return;
    if (shellctl::BytewiseCompareIdLists(list->CurrentIdList(), abs) != 0)
        list->Folder().SetIdList(abs);
    frame->raise();
    frame->activateWindow();
    if (name.isEmpty())
        return;
    int row = rowNamed(list, name);
    if (row < 0) {
        // The item may be newer than the list.
        list->RefreshList();
        row = rowNamed(list, name);
    }
    if (row < 0)
        return;
    const QModelIndex index = list->Model()->index(row, 0);
    list->SelectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list->setCurrentIndex(index);
    list->CurrentView()->scrollTo(index);
    list->setFocus();
}

} // namespace

void TfrmMain::connectCommands()
{
    InstallShellVerbs();
    ShellVerbUi().OnOpenFolder = [](const platform::PItemIDList& abs) {
        if (CurShellList)
            CurShellList->Folder().SetIdList(abs);
    };
    // One find window per invocation; each lives until it is closed or the frame goes.
    ShellVerbUi().OnFind = [this](const QByteArray& folder) {
        auto* find = new TfrmFind(folder, this);
        find->setAttribute(Qt::WA_DeleteOnClose);
        find->OnShowItem = [this](const QByteArray& f, const QByteArray& n) { showItem(this, f, n); };
        find->show();
    };
    for (QAction* a : {actCut, actCopy, actDelete, actRefresh, actExpandFolder, actCollapseFolder, actExpandDrive, actCollapseDrive})
        setAvailable(a, true);
    for (QAction* a : {Open1, OpenWithAssociate1, CreateShortcut1, Rename1, Properties1, Folder1, SelectAll1, DeselectAll1,
                       InvertSelection1, ByName1, BySize1, ByType1, ByDate1, ByExtension1, Shortcut1, Find1})
        setAvailable(a, true);
    // Paste follows the clipboard, not the build.
    m_unbuilt.remove(actPaste);
    UpdatePasteState();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TfrmMain::UpdatePasteState);

    connect(actCut, &QAction::triggered, this, &TfrmMain::actCutExecute);
    connect(actCopy, &QAction::triggered, this, &TfrmMain::actCopyExecute);
    connect(actPaste, &QAction::triggered, this, &TfrmMain::actPasteExecute);
    connect(actDelete, &QAction::triggered, this, &TfrmMain::actDeleteExecute);
    connect(Rename1, &QAction::triggered, this, &TfrmMain::Rename1Click);
    connect(Open1, &QAction::triggered, this, &TfrmMain::Open1Click);
    connect(OpenWithAssociate1, &QAction::triggered, this, &TfrmMain::OpenWithAssociate1Click);
    connect(Properties1, &QAction::triggered, this, &TfrmMain::Properties1Click);
    connect(CreateShortcut1, &QAction::triggered, this, &TfrmMain::CreateShortcut1Click);
    connect(Folder1, &QAction::triggered, this, &TfrmMain::Folder1Click);
    connect(Shortcut1, &QAction::triggered, this, &TfrmMain::Shortcut1Click);
    connect(Find1, &QAction::triggered, this, &TfrmMain::Find1Click);
    connect(SelectAll1, &QAction::triggered, this, &TfrmMain::SelectAll1Click);
    connect(DeselectAll1, &QAction::triggered, this, &TfrmMain::DeselectAll1Click);
    connect(InvertSelection1, &QAction::triggered, this, &TfrmMain::InvertSelection1Click);
    connect(ByName1, &QAction::triggered, this, [this] { SortBy(1); });
    connect(BySize1, &QAction::triggered, this, [this] { SortBy(2); });
    connect(ByType1, &QAction::triggered, this, [this] { SortBy(3); });
    connect(ByDate1, &QAction::triggered, this, [this] { SortBy(4); });
    connect(ByExtension1, &QAction::triggered, this, [this] { SortBy(0); });
    connect(actExpandFolder, &QAction::triggered, this, &TfrmMain::actExpandFolderExecute);
    connect(actCollapseFolder, &QAction::triggered, this, &TfrmMain::actCollapseFolderExecute);
    connect(actExpandDrive, &QAction::triggered, this, &TfrmMain::actExpandDriveExecute);
    connect(actCollapseDrive, &QAction::triggered, this, &TfrmMain::actCollapseDriveExecute);
    connect(actRefresh, &QAction::triggered, this, &TfrmMain::actRefreshExecute);

    // The zip dialogs, made once; the list's focus and selection switch their commands on.
    zip::frmZip = new zip::TfrmZip(this);
    zip::frmUnzip = new zip::TfrmUnzip(this);
    for (QAction* a : {actZip, actUnzip}) {
        setAvailable(a, true);
        a->setEnabled(false);
    }
    connect(actZip, &QAction::triggered, this, [] { zip::frmZip->exec(); });
    // The context menus' packing and unpacking go to the same dialogs.
    ShellVerbUi().OnCreateZip = [](const platform::VerbTarget& t) {
        std::vector<zip::TfrmZip::Source> items;
        for (size_t i = 0; i < t.paths.size(); ++i)
            items.push_back({core::DecodeName(t.paths[i]), i < t.attrs.size() && (t.attrs[i] & platform::SFGAO_FOLDER)});
        zip::frmZip->ExecFor(std::move(items), core::DecodeName(core::ParentOf(t.paths.front())));
    };
    ShellVerbUi().OnExtract = [this](const QByteArray& archive) { zip::UnzipSelectedFile(core::DecodeName(archive), this); };
    connect(actUnzip, &QAction::triggered, this, [this] {
        const std::vector<shellctl::TShListData*> selected = CurShellList ? CurShellList->SelectedItems()
                                                                          : std::vector<shellctl::TShListData*>{};
        if (!selected.empty())
            zip::UnzipSelectedFile(selected.front()->Path(), this);
    });
}

void TfrmMain::UpdatePasteState()
{
    // Our own array, or what other file managers put there; pasted into an explorer window's folder.
    actPaste->setEnabled(!Explorers().empty() && platform::HasPasteableFiles(QGuiApplication::clipboard()->mimeData()));
}

int TfrmMain::focusedPane() const
{
    const QWidget* f = QApplication::focusWidget();
    if (!f || !ActiveExplorer())
        return 0;
    if (CurShellTree && (f == CurShellTree || CurShellTree->isAncestorOf(f)))
        return 1;
    if (CurShellList && (f == CurShellList || CurShellList->isAncestorOf(f)))
        return 2;
    return 0;
}

void TfrmMain::clipboardVerb(const QString& verb)
{
    if (!ActiveExplorer())
        return;
    if (CurShellList && CurShellList->SelCount() > 0)
        CurShellList->InvokeSelectionVerb(verb);
    else if (CurShellTree)
        CurShellTree->InvokeNodeVerb(CurShellTree->SelectedNode(), verb);
}

void TfrmMain::actCutExecute()
{
    clipboardVerb(QStringLiteral("cut"));
    UpdatePasteState();
}

void TfrmMain::actCopyExecute()
{
    clipboardVerb(QStringLiteral("copy"));
    UpdatePasteState();
}

void TfrmMain::actPasteExecute()
{
    // Into the tree's folder, whichever pane has the focus.
    if (ActiveExplorer() && CurShellTree)
        CurShellTree->InvokeNodeVerb(CurShellTree->SelectedNode(), QStringLiteral("paste"));
}

void TfrmMain::actDeleteExecute()
{
    clipboardVerb(QStringLiteral("delete"));
}

void TfrmMain::Rename1Click()
{
    if (!ActiveExplorer())
        return;
    if (CurShellList && CurShellList->SelCount() > 0) {
        const QList<int> rows = CurShellList->SelectedRows();
        CurShellList->setCurrentIndex(CurShellList->Model()->index(rows.first(), 0));
        CurShellList->EditCaption(rows.first());
    } else if (CurShellTree) {
        CurShellTree->EditNode(CurShellTree->currentItem());
    }
}

void TfrmMain::Open1Click()
{
    switch (focusedPane()) {
    case 2:
        CurShellList->OpenSelected();
        break;
    case 1:
        CurShellTree->InvokeNodeVerb(CurShellTree->SelectedNode(), QStringLiteral("open"));
        break;
    default:
        break;
    }
}

void TfrmMain::OpenWithAssociate1Click()
{
    // A program is chosen for one file: the first of the selection, however many are selected.
    shellctl::TShListData* first = ActiveExplorer() && CurShellList ? CurShellList->SelectedData() : nullptr;
    if (!first || first->Path().isEmpty())
        return;
    TfrmOpenWith dlg(platform::EncodeName(first->Path()), this);
    dlg.exec();
}

void TfrmMain::Properties1Click()
{
    switch (focusedPane()) {
    case 2:
        CurShellList->InvokeSelectionVerb(QStringLiteral("properties"));
        break;
    case 1:
        CurShellTree->InvokeNodeVerb(CurShellTree->SelectedNode(), QStringLiteral("properties"));
        break;
    default:
        break;
    }
}

void TfrmMain::CreateShortcut1Click()
{
    switch (focusedPane()) {
    case 2:
        CurShellList->InvokeSelectionVerb(QStringLiteral("link"));
        break;
    case 1:
        CurShellTree->InvokeNodeVerb(CurShellTree->SelectedNode(), QStringLiteral("link"));
        break;
    default:
        break;
    }
}

void TfrmMain::Folder1Click()
{
    if (ActiveExplorer() && CurShellTree)
        CurShellTree->CreateNewFolder();
}

void TfrmMain::Shortcut1Click()
{
    if (!ActiveExplorer() || !CurShellTree)
        return;
    const QByteArray folder = platform::EncodeName(CurShellTree->SelectedPath());
    if (folder.isEmpty())
        return;
    TfrmNewShortcut dlg(folder, this);
    if (dlg.exec() == QDialog::Accepted)
        showItem(this, folder, dlg.Created);
}

void TfrmMain::Find1Click()
{
    if (ActiveExplorer() && CurShellList)
        CurShellList->InvokeFolderVerb(QStringLiteral("find"));
}

void TfrmMain::SelectAll1Click()
{
    if (!CurShellList)
        return;
    CurShellList->setFocus();
    CurShellList->SelectAll();
}

void TfrmMain::DeselectAll1Click()
{
    if (!CurShellList)
        return;
    CurShellList->setFocus();
    QItemSelectionModel* sel = CurShellList->SelectionModel();
    // One item at a time, so the selection summary follows each change.
    for (int row : CurShellList->SelectedRows())
        sel->select(CurShellList->Model()->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void TfrmMain::InvertSelection1Click()
{
    if (!CurShellList)
        return;
    CurShellList->setFocus();
    QItemSelectionModel* sel = CurShellList->SelectionModel();
    const int n = CurShellList->Model()->rowCount();
    for (int row = 0; row < n; ++row)
        sel->select(CurShellList->Model()->index(row, 0), QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void TfrmMain::SortBy(int key)
{
    if (CurShellList)
        CurShellList->SetSortKey(key);
}

namespace {

// The root of the volume that holds the selected folder, selected in the tree (this runs the
// window's tree change); null when the selection has no file-system path.
TShTreeNode* selectDriveRoot(shellctl::TShellTree* tree)
{
    const QString path = tree->SelectedPath();
    if (path.isEmpty())
        return nullptr;
    tree->SelectPath(platform::DecodeName(platform::DisplayedVolumeOf(platform::EncodeName(path))));
    return tree->SelectedNode();
}

// While a branch expands: the text in the third panel (kept there while the window's own
// updates come and go) and a Cancel button at the right of the status bar. At the end the button
// goes and the panel is cleared, or shows the free space again after Expand Folder. A whole drive
// does not enter other volumes mounted inside it.
void expandWithProgress(shellctl::TShellTree* tree, TShTreeNode* node, bool wholeDrive, const char* text)
{
    const QPointer<explorer::TStatusBar> bar(CurStatusBar);
    QPointer<QToolButton> cancel;
    if (bar) {
        bar->SetPanelText(2, QString::fromUtf8(text));
        cancel = new QToolButton(bar);
        cancel->setObjectName(QStringLiteral("cmdCancelExpand"));
        cancel->setText(QString::fromUtf8(shelltexts::Cancel));
        cancel->setAutoRaise(true);
        const int width = cancel->sizeHint().width();
        cancel->setGeometry(bar->width() - width - 2, 2, width, bar->height() - 4);
        QObject::connect(cancel, &QToolButton::clicked, tree, &shellctl::TShellTree::CancelExpand);
        cancel->show();
        bar->repaint();
    }
    auto done = [bar, cancel, wholeDrive](bool) {
        // The button may be the one being clicked now.
        if (cancel) {
            cancel->hide();
            cancel->deleteLater();
        }
        if (!bar)
            return;
        bar->SetPanelText(2, QString());
        auto* window = qobject_cast<explorer::TfrmChild*>(bar->parentWidget());
        if (!wholeDrive && window)
            window->ShowDiskFree();
    };
    auto progress = [bar, text](int) {
        if (bar)
            bar->SetPanelText(2, QString::fromUtf8(text));
    };
    tree->ExpandBelow(node, wholeDrive, std::move(done), std::move(progress));
}

} // namespace

void TfrmMain::actExpandFolderExecute()
{
    if (CurShellTree)
        expandWithProgress(CurShellTree, CurShellTree->SelectedNode(), false, shelltexts::ExpandingFolder);
}

void TfrmMain::actCollapseFolderExecute()
{
    if (CurShellTree)
        CurShellTree->CollapseBelow(CurShellTree->SelectedNode());
}

// The whole volume of the selected folder, not entering other volumes mounted inside it. It runs
// from the event loop instead of with the window's redrawing stopped, so the window answers and
// the expansion can be cancelled.
void TfrmMain::actExpandDriveExecute()
{
    if (!CurShellTree)
        return;
    shellctl::TShellTree* tree = CurShellTree;
    if (TShTreeNode* root = selectDriveRoot(tree))
        expandWithProgress(tree, root, true, shelltexts::ExpandingDrive);
}

void TfrmMain::actCollapseDriveExecute()
{
    if (CurShellTree)
        CurShellTree->CollapseBelow(selectDriveRoot(CurShellTree));
}

void TfrmMain::actRefreshExecute()
{
    for (explorer::TfrmChild* child : Explorers()) {
        child->Tree1->RefreshTree();
        child->List1->RefreshList();
    }
}

} // namespace corvane::app
