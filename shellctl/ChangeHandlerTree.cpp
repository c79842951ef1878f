// Change watching of the folder tree. inotify cannot watch a whole volume, so the tree
// watches what it shows: every folder whose children it has loaded, and the selected one.
#include "ChangeHandler.h"
#include "ShellTree.h"
#include "platform/ChangeNotify.h"

#include <QApplication>
#include <QSet>
#include <QTimer>

namespace corvane::shellctl {

using namespace platform;

namespace {

// The tags of the tree's delay timer.
constexpr int TagHandOver = 1;
constexpr int TagRefresh = 2;

// The in-place editor counts as the tree.
bool hasFocusWithin(const QWidget* w)
{
    const QWidget* f = QApplication::focusWidget();
    return f && (f == w || w->isAncestorOf(f));
}

} // namespace

std::uint32_t TCustomShellTree::watchFilter() const
{
    return (m_options & stoIncludeNonFolders) ? FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME
                                              : FILE_NOTIFY_CHANGE_DIR_NAME;
}

std::vector<QByteArray> TCustomShellTree::watchedFolders() const
{
    // Most wanted first, for when the table cannot hold them all: the selection and its
    // ancestors, then loaded folders the user can see, then loaded folders collapsed away.
    std::vector<QByteArray> shown, hidden;
    QSet<QByteArray> seen;
    auto add = [&](std::vector<QByteArray>& to, QTreeWidgetItem* node) {
        TShTreeData* d = NodeData(node);
        if (!d)
            return;
        QByteArray path = PathBytesFromIdList(d->AbsIdList());
        if (!path.isEmpty() && !seen.contains(path)) {
            seen.insert(path);
            to.push_back(path);
        }
    };
    for (QTreeWidgetItem* n = currentItem(); n; n = n->parent())
        add(shown, n);
    std::function<void(QTreeWidgetItem*, bool)> walk = [&](QTreeWidgetItem* node, bool visible) {
        auto* shell = static_cast<TShTreeNode*>(node);
        if (!shell->Data())
            return;
        const bool open = visible && node->isExpanded();
        if (shell->Filled)
            add(open ? shown : hidden, node);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i), open);
    };
    for (int i = 0; i < topLevelItemCount(); ++i)
        walk(topLevelItem(i), true);
    shown.insert(shown.end(), hidden.begin(), hidden.end());
    return shown;
}

void TCustomShellTree::StartWatching()
{
    if (!m_watches) {
        m_watches = std::make_unique<TFolderWatches>(this);
        // Loading, dropping, renaming, expanding and selecting folders change what is watched.
        auto due = [this] { scheduleWatchSync(); };
        connect(model(), &QAbstractItemModel::rowsInserted, this, due);
        connect(model(), &QAbstractItemModel::rowsRemoved, this, due);
        connect(model(), &QAbstractItemModel::modelReset, this, due);
        connect(model(), &QAbstractItemModel::dataChanged, this, due);
        connect(this, &QTreeWidget::itemExpanded, this, due);
        connect(this, &QTreeWidget::itemCollapsed, this, due);
        connect(this, &QTreeWidget::currentItemChanged, this, due);
    }
    m_watches->Rebuild(watchedFolders(), watchFilter());
}

void TCustomShellTree::StopWatching()
{
    if (m_watches)
        m_watches->Clear();
    m_watchRefreshOwed = false;
}

void TCustomShellTree::scheduleWatchSync()
{
    if (m_watchSyncDue || !m_watches || !(m_options & stoDynamicRefresh))
        return;
    // Once per pass of the event loop, however many nodes a fill adds.
    m_watchSyncDue = true;
    QTimer::singleShot(0, this, [this] {
        m_watchSyncDue = false;
        if (m_watches && (m_options & stoDynamicRefresh))
            m_watches->Sync(watchedFolders(), watchFilter());
    });
}

void TCustomShellTree::customEvent(QEvent* event)
{
    switch (TakeChangeReport(event, m_watches.get(), m_ignoreNextChange, m_drag.Running())) {
    case TReportAction::NotAReport:
        TCustomTreeView::customEvent(event);
        return;
    case TReportAction::Dropped:
        return;
    case TReportAction::Refresh:
        break;
    }
    m_watchRefreshOwed = true;
    // A hand-over waiting for the keyboard to settle keeps the timer; the refresh follows it.
    if (m_timer->isActive() && m_timerTag == TagHandOver)
        return;
    m_timerTag = TagRefresh;
    m_watches->RestartDelay(m_timer, hasFocusWithin(this) ? FocusedRefreshDelay : UnfocusedRefreshDelay);
}

void TCustomShellTree::watchTimerFired(int tag)
{
    if (!m_watchRefreshOwed || !m_watches)
        return;
    if (tag == TagRefresh) {
        m_watchRefreshOwed = false;
        // A watched folder may have been replaced under the same name: watch them all anew.
        if (m_options & stoDynamicRefresh)
            m_watches->Rebuild(watchedFolders(), watchFilter());
    } else if (!m_timer->isActive()) {
        m_timerTag = TagRefresh;
        m_watches->RestartDelay(m_timer, hasFocusWithin(this) ? FocusedRefreshDelay : UnfocusedRefreshDelay);
    }
}

} // namespace corvane::shellctl
