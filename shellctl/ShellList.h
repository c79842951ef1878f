#pragma once
// The file list: the items of one shell folder in four view styles, filled, refreshed,
// sorted, opened and renamed as the explorer window needs.
#include "ShellDrag.h"
#include "ShellListModel.h"
#include "ShellRecords.h"
#include "UTreeList.h"
#include "core/Job.h"

#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QMimeData;
class QTimer;

namespace corvane::platform {
class FolderListingJob;
struct FolderListing;
struct ListedItem;
} // namespace corvane::platform

namespace corvane::shellctl {

class TCustomShellTree;
class TCustomShellCombo;
class TShTreeNode;
class TCustomShellList;
class TFolderWatches;

enum TShellListOption : unsigned {
    sloAutoFill = 1u << 0,
    sloNonFilesystemAncestors = 1u << 1,
    sloDesignInteractive = 1u << 2,
    sloDefaultKeyHandling = 1u << 3,
    sloContextMenus = 1u << 4,
    sloDontChangeFolder = 1u << 5,
    sloDontGoBelowBase = 1u << 6,
    sloDynamicRefresh = 1u << 7,
    sloHideFoldersWhenLinkedToTree = 1u << 8,
    sloOleDrag = 1u << 9,
    sloOleDrop = 1u << 10,
    sloFolderContextMenu = 1u << 11,
    sloShowHidden = 1u << 12,
};
using TShellListOptions = unsigned;
inline constexpr TShellListOptions DefaultShellListOptions = sloAutoFill | sloNonFilesystemAncestors | sloDefaultKeyHandling
                                                             | sloContextMenus | sloDynamicRefresh | sloOleDrag | sloOleDrop
                                                             | sloFolderContextMenu | sloShowHidden;

class TCustomShellList : public TCustomListView
{
    Q_OBJECT
public:
    explicit TCustomShellList(QWidget* parent = nullptr);
    ~TCustomShellList() override;

    TShellLocator& Folder() { return m_folder; }
    TShellListOptions Options() const { return m_options; }
    void SetOptions(TShellListOptions o);
    QString FileFilter() const { return m_fileFilter; }
    void SetFileFilter(const QString& filter);
    void SetLinkedTree(TCustomShellTree* tree);
    void SetLinkedCombo(TCustomShellCombo* combo);
    TCustomShellTree* LinkedTree() const { return m_tree; }

    // Both read the folder off the user-interface thread. A folder that answers at once is
    // shown before they return; otherwise the list shows itself busy, stays usable, and the
    // items come with OnFillComplete and fillFinished().
    void FillList();
    void RefreshList();
    // A fill or refresh is waiting for its folder.
    bool Listing() const;
    // The sizes of the files the list shows, as read with the listing.
    qint64 FileBytes() const;
    // How long FillList and RefreshList wait for a folder before showing the list busy.
    static void SetListingWait(int msecs);
    void GoUp(int levels);
    void OpenItem(int row);
    void OpenSelected();
    void SelectAll();
    int SortKey() const { return m_sortKey; }
    void SetSortKey(int key);
    TShListData* SelectedData() const;
    TShListData* DataOfIndex(int row) const;
    int Count() const;
    int SelectedShellCount() const;
    std::vector<TShListData*> SelectedItems() const;
    void FlushPendingChange(bool alsoLinked);
    void SetFolderFromNode(TShTreeNode* node);
    // Starts editing the focused item's caption when it may be renamed.
    bool EditCaption(int row);
    bool Editing() const;
    // The current folder's absolute list and folder object.
    const PItemIDList& CurrentIdList() const { return m_currentAbs; }
    ShellFolderPtr CurrentFolder() const { return m_currentFolder; }
    TShellListModel* ShellModel() const { return m_model; }
    // The width the details columns share.
    int ClientWidth() const;
    void SetColumnWidth(int column, int width);
    int ColumnWidth(int column) const;
    // Shell verbs on the selected items and on the list's own folder; mask as in CMInvokeCommandInfo.
    virtual void InvokeSelectionVerb(const QString& verb);
    virtual void InvokeFolderVerb(const QString& verb);
    void InvokeSelectionVerbMask(const QString& verb, std::uint32_t mask);
    // The shell context menu of the selected items, at a client point of the view.
    void ShowContextMenu(QPoint point);
    // The data of a drag of the selected items; null when no selected item has a record.
    std::unique_ptr<QMimeData> SelectionDataObject() const;
    // The data of a drag of these items of the current folder; null for none.
    std::unique_ptr<QMimeData> ItemsDataObject(const std::vector<PItemIDList>& rels) const;
    // The rows of the items with these relative lists, in the order given; -1 for those not shown.
    std::vector<int> RowsOf(const std::vector<PItemIDList>& rels) const;
    // A drag of the list's own items is running.
    bool DragRunning() const { return m_drag.Running(); }

    // Events.
    std::function<void(QObject*, const ShellFolderPtr&, const PItemIDList&, const PItemIDList&, std::uint32_t, bool&)> OnAddItem;
    std::function<void(QObject*, int, TShListData*)> OnDeleteItem;
    std::function<void(QObject*)> OnFillStart;
    std::function<void(QObject*)> OnFillComplete;
    std::function<void(QObject*)> OnFolderChanged;
    std::function<void(QObject*, bool&)> OnDblClickOpen;
    std::function<int(QObject*, TShListData*, TShListData*)> OnCompare;
    std::function<void(QObject*, int, bool)> OnSelectItem;
    std::function<void(QObject*, int)> OnColumnRightClick;
    std::function<void(QObject*)> OnEnter;
    std::function<void(QObject*)> OnExit;
    std::function<void(QObject*, QKeyEvent*)> OnKeyDown;
    std::function<void(QObject*, TCustomDraw&, int, TShListData*)> OnCustomDrawSh;
    std::function<void(QObject*, TCustomDraw&, int, TShListData*)> OnCustomDrawShEx;
    // The help text of the highlighted context-menu command; empty when there is none.
    std::function<void(QObject*, const QString&)> OnPopupHint;

signals:
    // After OnFillComplete, once a fill or refresh has ended.
    void fillFinished();

protected:
    void ViewStyleChanged() override;
    bool KeyDown(QKeyEvent* event) override;
    void ColClick(int column) override;
    void DoCustomDraw(TLvCustomDraw& aCD) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void ItemHook(const QModelIndex& item, const QPoint& point, QMenu*& menu) override;
    void BeginDrag(Qt::MouseButton button) override;
    void ViewDragEnter(QDragEnterEvent* event) override;
    void ViewDragMove(QDragMoveEvent* event) override;
    void ViewDragLeave(QDragLeaveEvent* event) override;
    void ViewDrop(QDropEvent* event) override;

private:
    void folderChanged();
    void NavigateTo(const PItemIDList& abs);
    enum class ListingKind { Fill, Refresh };
    void startListing(ListingKind kind, const PItemIDList& abs);
    void finishListing();
    // Drops a listing under way; its fill start gets its completion.
    void abandonListing();
    // OnFillComplete and fillFinished().
    void endFill();
    void showBusy(bool busy);
    void applyFill(platform::FolderListing listing);
    void applyRefresh(platform::FolderListing listing);
    void applyColumns(const platform::FolderListing& listing);
    std::vector<int> currentColumnWidths() const;
    bool admit(TShListData& data, std::uint32_t& attrs);
    // The list's admission rules and OnAddItem, for the model's new records.
    TShellListModel::Admit admitter();
    // With name keys made beforehand, one per row.
    void sort(const TShellListModel::NameKeys* nameKeys = nullptr);
    bool renameItem(int row, const QString& text);
    void removeAll();
    bool unwatched();
    void timerFired();
    bool invokeDefaultCommand(const std::vector<PItemIDList>& rels);
    std::vector<PItemIDList> selectedRels() const;
    // Drag and drop (ShellListDrag.cpp).
    std::vector<int> dragRows() const;
    // The row under a point of the current view; -1 for the empty area.
    int rowAt(QPoint pos) const;
    std::unique_ptr<platform::IDropTarget> dropTargetAt(int row) const;
    void dragOver(QDragMoveEvent* event);

    TShellListModel* m_model;
    TShellLocator m_folder;
    TShellListOptions m_options = DefaultShellListOptions;
    QString m_fileFilter;
    QStringList m_filterPatterns;
    TCustomShellTree* m_tree = nullptr;
    TCustomShellCombo* m_combo = nullptr;
    ShellFolderPtr m_currentFolder;
    PItemIDList m_currentAbs;
    // What the list showed before a fill, put back when the new folder cannot be read.
    PItemIDList m_previousAbs;
    ShellFolderPtr m_previousFolder;
    core::JobPtr<platform::FolderListingJob> m_listing;
    ListingKind m_listingKind = ListingKind::Fill;
    quint64 m_listingGeneration = 0;
    bool m_refreshAgain = false;
    QLabel* m_busyLabel = nullptr;
    // The standard columns' widths go to the shared stream when they change or the list goes.
    bool m_widthsGoBack = false;
    int m_sortKey = 1;
    bool m_keyWasSet = false;
    int m_updating = 0;
    bool m_refreshDue = false;
    bool m_ignoreNextChange = false;
    QTimer* m_timer;
    TDragSource m_drag;
    TDragOverState m_dragOver;

    // Change watching (ChangeHandlerList.cpp): the list's folder is watched while
    // sloDynamicRefresh is set.
public:
    void StartWatching();
    void StopWatching();
    // The watches (none before watching started) and the timer of the refresh after reports.
    const TFolderWatches* Watches() const { return m_watches.get(); }
    const QTimer* RefreshTimer() const { return m_timer; }

protected:
    void customEvent(QEvent* event) override;

private:
    std::unique_ptr<TFolderWatches> m_watches;
    std::vector<QByteArray> m_watchPaths;  // from the last fill
};

class TShellList : public TCustomShellList
{
    Q_OBJECT
public:
    using TCustomShellList::TCustomShellList;
};

} // namespace corvane::shellctl
