// Change watching of the file list: its folder, rebuilt after every fill.
#include "ChangeHandler.h"
#include "ShellCombo.h"
#include "ShellList.h"
#include "ShellTree.h"
#include "platform/ChangeNotify.h"

#include <QApplication>
#include <QTimer>

namespace corvane::shellctl {

using namespace platform;

void TCustomShellList::StartWatching()
{
    m_timer->stop();
    if (!m_watches)
        m_watches = std::make_unique<TFolderWatches>(this);
    // The folders the last listing found behind the list (the Trash: the trash folders of the
    // volumes); folders outside the file system have none and are not watched.
    m_watches->Rebuild(m_watchPaths, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME);
}

void TCustomShellList::StopWatching()
{
    m_timer->stop();
    if (m_watches)
        m_watches->Clear();
}

void TCustomShellList::customEvent(QEvent* event)
{
    switch (TakeChangeReport(event, m_watches.get(), m_ignoreNextChange, m_drag.Running())) {
    case TReportAction::NotAReport:
        TCustomListView::customEvent(event);
        return;
    case TReportAction::Dropped:
        return;
    case TReportAction::Refresh:
        break;
    }
    QWidget* focus = QApplication::focusWidget();
    const bool focused = focus && (focus == this || isAncestorOf(focus));
    m_watches->RestartDelay(m_timer, focused ? FocusedRefreshDelay : UnfocusedRefreshDelay);
}

void TCustomShellList::timerFired()
{
    m_timer->stop();
    // A folder the linked tree or combo is about to hand over comes first; refreshing the
    // old one would be wasted.
    if (m_tree)
        m_tree->FlushPendingChange(false);
    if (m_combo)
        m_combo->FlushPendingChange(false);
    try {
        RefreshList();
    } catch (const EShellError&) {
        // Nobody asked for this refresh: a folder that went away leaves the list empty, without a word.
    }
    // The folder may have been replaced under the same name: watch it anew.
    if ((m_options & sloDynamicRefresh) && m_watches)
        StartWatching();
}

} // namespace corvane::shellctl
