// The main window's explorer windows: creating them, counting them, tiling and cascading them
// and the Window menu that lists them.
#include "Mainform.h"

#include "explorer/Child.h"
#include "explorer/StatusBar.h"
#include "platform/IconTable.h"
#include "preview/Preview.h"
#include "platform/IdListFormat.h"
#include "shellctl/ShellControls.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStyle>

namespace corvane::app {

explorer::TfrmChild* TfrmMain::CreateExplorer()
{
    auto* child = new explorer::TfrmChild;
    QMdiSubWindow* sub = m_mdi->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(platform::IconTable::instance().icon(platform::SHGetIconIndex(platform::EmptyIdList(), 0)));
    return child;
}

int TfrmMain::ExplorerCount() const
{
    return int(Explorers().size());
}

std::vector<explorer::TfrmChild*> TfrmMain::Explorers() const
{
    std::vector<explorer::TfrmChild*> out;
    for (QMdiSubWindow* w : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* c = qobject_cast<explorer::TfrmChild*>(w->widget()))
            out.push_back(c);
    }
    return out;
}

void TfrmMain::actNewWindowExecute()
{
    if (ExplorerCount() >= 4)
        return;
    setUpdatesEnabled(false);
    explorer::TfrmChild* child = CreateExplorer();
    auto* sub = qobject_cast<QMdiSubWindow*>(child->parentWidget());
    if (ExplorerCount() == 1) {
        sub->showMaximized();
    } else {
        sub->showNormal();
        ArrangeChildren();
    }
    // Active before it shows its first folder, so that folder starts the window's history.
    m_mdi->setActiveSubWindow(sub);
    child->ShowStartFolder();
    child->Tree1->scrollToTop();
    actNewWindow->setEnabled(ExplorerCount() < 4);
    m_mdi->setActiveSubWindow(sub);
    setUpdatesEnabled(true);
}

QMdiSubWindow* TfrmMain::createPreview()
{
    auto* preview = new preview::TfrmPreview;
    QMdiSubWindow* sub = m_mdi->addSubWindow(preview);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(actPreview->icon());
    frmPreview = preview;
    // Closed by its own close box: the command's mark follows. A window closed by the command
    // and not yet gone leaves the mark of the one opened since alone.
    connect(preview, &QObject::destroyed, this, [this, preview] {
        if (frmMain == this && (!frmPreview || frmPreview == preview))
            actPreview->setChecked(false);
    });
    return sub;
}

void TfrmMain::actPreviewExecute()
{
    if (frmPreview) {
        QWidget* closing = frmPreview;
        frmPreview = nullptr;
        actPreview->setChecked(false);
        if (auto* sub = qobject_cast<QMdiSubWindow*>(closing->parentWidget()))
            sub->close();
        return;
    }
    actPreview->setChecked(true);
    QMdiSubWindow* sub = createPreview();
    sub->showNormal();
    ArrangeChildren();
}

void TfrmMain::ChildClosed(explorer::TfrmChild*)
{
    // The closing window is still counted until it is gone.
    QMetaObject::invokeMethod(this, [this] {
        actNewWindow->setEnabled(ExplorerCount() < 4);
        updateWindowCommands();
    }, Qt::QueuedConnection);
    actNewWindow->setEnabled(true);
}

void TfrmMain::updateWindowCommands()
{
    const bool any = !Explorers().empty();
    // What the list's focus and selection decide comes back with them; here they only go off.
    const QList<QAction*> bySelection = {OpenWithAssociate1, ChangeDateTime1, Encrypt1, Decrypt1, Destroy1, actZip,
                                         actUnzip, actConvert, Folder1, Shortcut1};
    for (QAction* a : {actCut, actCopy, actDelete, actRefresh, actExpandFolder, actCollapseFolder, actExpandDrive,
                       actCollapseDrive, actUp, actLargeIcons, actSmallIcons, actList, actDetails, actFileFilter,
                       actNoFilter, Open1, CreateShortcut1, Rename1, GroupRename1, Properties1, SelectAll1,
                       DeselectAll1, InvertSelection1, GoToFolder1, ByName1, BySize1, ByType1, ByDate1, ByExtension1,
                       FolderSizes1, Find1, OpenWithAssociate1, ChangeDateTime1, Encrypt1, Decrypt1, Destroy1, actZip,
                       actUnzip, actConvert, Folder1, Shortcut1}) {
        if (!any)
            a->setEnabled(false);
        else if (!bySelection.contains(a))
            a->setEnabled(!m_unbuilt.contains(a));
    }
    if (!any) {
        actPaste->setEnabled(false);
        actBack->setEnabled(false);
        actForward->setEnabled(false);
    } else {
        UpdatePasteState();
    }
}

void TfrmMain::ArrangeChildren()
{
    if (LastArrangement == 'C')
        cascade();
    else
        tile(LastArrangement == 'V');
}

namespace {

// The windows that tiling and cascading place: shown and not minimized, oldest first.
QList<QMdiSubWindow*> arrangeable(QMdiArea* mdi)
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* w : mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (!w->isMinimized() && w->isVisible())
            windows.append(w);
    }
    return windows;
}

} // namespace

void TfrmMain::tile(bool vertical)
{
    const QList<QMdiSubWindow*> windows = arrangeable(m_mdi);
    if (windows.isEmpty())
        return;
    QRect area = m_mdi->viewport()->rect();
    const int n = int(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        QRect r;
        if (vertical) {
            int x0 = area.width() * i / n, x1 = area.width() * (i + 1) / n;
            r = QRect(x0, 0, x1 - x0, area.height());
        } else {
            int y0 = area.height() * i / n, y1 = area.height() * (i + 1) / n;
            r = QRect(0, y0, area.width(), y1 - y0);
        }
        w->setGeometry(r);
    }
}

void TfrmMain::actTileHorizExecute()
{
    tile(false);
    LastArrangement = 'H';
}

void TfrmMain::actTileVertExecute()
{
    tile(true);
    LastArrangement = 'V';
}

void TfrmMain::cascade()
{
    const QList<QMdiSubWindow*> windows = arrangeable(m_mdi);
    if (windows.isEmpty())
        return;
    // Each window one title bar lower and to the right; together they fill the area.
    QRect area = m_mdi->viewport()->rect();
    const int step = windows.first()->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, windows.first()) + 2;
    const int n = int(windows.size());
    QSize size(qMax(area.width() - (n - 1) * step, area.width() / 2), qMax(area.height() - (n - 1) * step, area.height() / 2));
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        if (w->isMaximized())
            w->showNormal();
        w->setGeometry(QRect(QPoint(i * step, i * step), size));
        w->raise();
    }
}

void TfrmMain::actCascadeExecute()
{
    cascade();
    LastArrangement = 'C';
}

void TfrmMain::fillWindowMenu()
{
    for (QAction* a : m_windowItems)
        delete a;
    m_windowItems.clear();
    QList<QMdiSubWindow*> windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (!windows.isEmpty())
        m_windowItems.append(Window1->addSeparator());
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        QAction* a = Window1->addAction(QStringLiteral("&%1 %2").arg(++n).arg(w->widget()->windowTitle().replace(QLatin1Char('&'), QStringLiteral("&&"))));
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_mdi->setActiveSubWindow(w); });
        m_windowItems.append(a);
    }
}

} // namespace corvane::app
