#pragma once
// The folder tree: the namespace from a base folder down, filled when nodes expand.
#include "ShellRecords.h"
#include "ShellDrag.h"
#include "UTreeList.h"

#include <QSet>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <vector>

class QMimeData;
class QTimer;

namespace corvane::shellctl {

class TCustomShellList;
class TShellCombo;
class TFolderWatches;

enum TShellTreeOption : unsigned {
    stoAutoFill = 1u << 0,
    stoVirtualFolders = 1u << 1,
    stoDesignInteractive = 1u << 2,
    stoDefaultKeyHandling = 1u << 3,
    stoContextMenus = 1u << 4,
    stoDynamicRefresh = 1u << 5,
    stoIncludeNonFolders = 1u << 6,
    stoOleDrag = 1u << 7,
    stoOleDrop = 1u << 8,
    stoShowHidden = 1u << 9,
};
using TShellTreeOptions = unsigned;
inline constexpr TShellTreeOptions DefaultShellTreeOptions = stoAutoFill | stoVirtualFolders | stoDefaultKeyHandling
                                                             | stoContextMenus | stoDynamicRefresh | stoOleDrag | stoOleDrop
                                                             | stoShowHidden;

// Milliseconds one pass of a branch expansion may take (ShellTreeExpand.cpp).
inline constexpr int DefaultExpandPassBudget = 30;

// (Sender, parent folder, parent absolute list, item, attributes, var allow)
using TShAddItemEvent = std::function<void(QObject*, const ShellFolderPtr&, const PItemIDList&, const PItemIDList&, std::uint32_t, bool&)>;

// One node of the tree; it owns its record (none for nodes added by other code).
class TShTreeNode : public QTreeWidgetItem
{
public:
    explicit TShTreeNode(std::unique_ptr<TShTreeData> data) : m_data(std::move(data)) {}
    TShTreeData* Data() const { return m_data.get(); }
    // The editor gets the lossless name; an edited text is a rename request.
    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;
    // The lossless name an editor of the node starts from.
    QString EditableName() const;
    bool Filled = false;
    // Loaded, but skipped by a refresh while collapsed: read again when next expanded.
    bool Stale = false;
    bool IconsSet = false;
    std::uint32_t Attributes = 0;

private:
    std::unique_ptr<TShTreeData> m_data;
};

class TCustomShellTree : public TCustomTreeView
{
    Q_OBJECT
public:
    explicit TCustomShellTree(QWidget* parent = nullptr);
    ~TCustomShellTree() override;

    TShellLocator& BaseFolder() { return m_baseFolder; }
    TShellLocator& CurrentFolder() { return m_current; }
    TShellTreeOptions Options() const { return m_options; }
    void SetOptions(TShellTreeOptions o);
    TCustomShellList* ShellList() const { return m_list; }
    void SetShellList(TCustomShellList* list);
    TShellCombo* ShellCombo() const { return m_combo; }
    void SetShellCombo(TShellCombo* combo) { m_combo = combo; }

    QString SelectedPath() const;
    TShTreeNode* SelectedNode() const;
    void SelectPath(const QString& path);
    void SelectIdList(const PItemIDList& target);
    void SetCurrentFolder(const TShellLocator& locator);
    void GoUp(int levels);
    void RefreshTree();
    void ResetTree();
    bool CreateNewFolder();
    void FillNode(const ShellFolderPtr& folder, TShTreeNode* node);
    platform::HResult AddShellNode(const ShellFolderPtr& folder, const PItemIDList& rel, TShTreeNode* parent,
                                   const PItemIDList& parentAbs);
    TShTreeNode* FindChildNode(TShTreeNode* node, const PItemIDList& rel) const;
    static TShTreeData* NodeData(QTreeWidgetItem* node);
    TShTreeNode* RootNode() const;
    void FlushPendingChange(bool alsoLinked);
    // Invokes the verb on the node, then refreshes; S_FALSE for the top node and nodes without a record.
    virtual platform::HResult InvokeNodeVerb(TShTreeNode* node, const QString& verb);
    // The shell context menu of one node, at a client point.
    void ShowContextMenu(TShTreeNode* node, QPoint point);
    // The loaded node of a folder, by its absolute list; null when the tree holds none.
    TShTreeNode* NodeOfIdList(const PItemIDList& abs) const;
    // The data of a drag of one node; null for a node without a record or parent.
    std::unique_ptr<QMimeData> NodeDataObject(TShTreeNode* node) const;
    // A drag of one of the tree's nodes is running.
    bool DragRunning() const { return m_drag.Running(); }
    // Starts in-place editing of a node's text when the node may be renamed.
    bool EditNode(QTreeWidgetItem* node);
    bool Editing() const { return m_editing; }
    // A name for a new folder in dir that does not exist yet, or empty (with the error).
    static QString CreateUniqueFolder(const QString& dir, QString* error);

    TShAddItemEvent OnAddItem;
    std::function<void(QObject*, TShTreeNode*)> OnChange;
    std::function<void(QObject*, TShTreeNode*, TShTreeData*)> OnDeleteItem;
    std::function<void(QObject*, TShTreeNode*)> OnInsertItem;
    std::function<void(QObject*)> OnFillStart;
    std::function<void(QObject*)> OnFillComplete;
    std::function<void(QObject*)> OnEnter;
    // Keys the tree leaves alone reach this event once.
    std::function<void(QObject*, QKeyEvent*)> OnKeyDown;
    // The help text of the highlighted context-menu command; empty when there is none.
    std::function<void(QObject*, const QString&)> OnPopupHint;

    // The hand-over delay and the refresh delays.
    static constexpr int HandOverDelay = 500;

protected:
    void focusInEvent(QFocusEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    bool KeyDown(QKeyEvent* e) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void NodeHook(QTreeWidgetItem* node, QPoint& point, QMenu*& menu) override;
    void BeginDrag(QTreeWidgetItem* node, Qt::MouseButton button) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend class TShTreeNode;
    void selectionChanged(QTreeWidgetItem* current);
    platform::HResult invokeNodeVerbMask(TShTreeNode* node, const QString& verb, std::uint32_t mask);
    void handOver(TShTreeNode* node);
    void timerFired();
    void refreshNode(TShTreeNode* node, TShTreeNode*& remembered, bool shown, const QSet<QByteArray>& reported);
    void rereadNode(TShTreeNode* node, TShTreeNode*& remembered);
    void refreshStale(QTreeWidgetItem* item);
    void volumesChanged();
    void hookStale();
    void sortChildren(TShTreeNode* node);
    void deleteNode(QTreeWidgetItem* node);
    void deleteChildren(QTreeWidgetItem* node);
    void nodeEdited(TShTreeNode* node, const QString& text);
    void ensureIcons(TShTreeNode* node);
    void baseFolderChanged();
    // Drag and drop (ShellTreeDrag.cpp).
    std::unique_ptr<platform::IDropTarget> dropTargetAt(QTreeWidgetItem* node) const;
    void dragOver(QDragMoveEvent* event);

    TShellLocator m_baseFolder;
    TShellLocator m_current;
    TShellTreeOptions m_options = DefaultShellTreeOptions;
    TCustomShellList* m_list = nullptr;
    TShellCombo* m_combo = nullptr;
    QTimer* m_timer;
    int m_timerTag = 0;
    int m_updating = 0;
    bool m_immediate = false;
    bool m_editing = false;
    bool m_settingText = false;
    bool m_refreshDue = false;
    bool m_ignoreNextChange = false;
    bool m_staleHooked = false;
    TShTreeNode* m_lastInserted = nullptr;
    TDragSource m_drag;
    TDragOverState m_dragOver;

    // Expanding a node and every node below it (ShellTreeExpand.cpp). The folders are filled a
    // few at a time from the event loop, so the window stays responsive; symbolic links to
    // folders are not entered, each folder is entered once, and with sameVolume no other volume
    // is entered. It stops when done, with CancelExpand, with Escape pressed in the tree's
    // window, and with the tree; done (not called when the tree goes) tells whether it ran to the
    // end. progress gets the number of folders entered so far after every pass.
public:
    void ExpandBelow(TShTreeNode* node, bool sameVolume, std::function<void(bool finished)> done = nullptr,
                     std::function<void(int entered)> progress = nullptr);
    void CancelExpand();
    bool Expanding() const { return m_expander != nullptr; }
    // Collapses the node and every node below it; a running expansion stops first.
    void CollapseBelow(TShTreeNode* node);
    // How long one pass of an expansion may run before the event loop gets its turn; each pass
    // expands at least one folder.
    int ExpandPassBudget = DefaultExpandPassBudget;

private:
    class TExpander;
    // Stops a running expansion; notify calls its done.
    void endExpand(bool finished, bool notify);
    TExpander* m_expander = nullptr;

    // Change watching (ChangeHandlerTree.cpp): the folders the tree has loaded, and the
    // selected one, are watched while stoDynamicRefresh is set.
public:
    void StartWatching();
    void StopWatching();
    // The watches (none before watching started), and whether they follow what the tree shows now.
    const TFolderWatches* Watches() const { return m_watches.get(); }
    bool WatchesUpToDate() const { return !m_watchSyncDue; }
    // The delay timer: the hand-over and the refresh after change reports.
    const QTimer* DelayTimer() const { return m_timer; }

protected:
    void customEvent(QEvent* event) override;

private:
    void scheduleWatchSync();
    void watchTimerFired(int tag);
    std::vector<QByteArray> watchedFolders() const;
    std::uint32_t watchFilter() const;
    std::unique_ptr<TFolderWatches> m_watches;
    bool m_watchSyncDue = false;
    bool m_watchRefreshOwed = false;
};

class TShellTree : public TCustomShellTree
{
    Q_OBJECT
public:
    using TCustomShellTree::TCustomShellTree;
};

} // namespace corvane::shellctl
