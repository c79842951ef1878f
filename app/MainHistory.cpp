// The main window's Back, Forward and Up commands and their history menus, on the active
// explorer window.
#include "Mainform.h"

#include "explorer/Child.h"
#include "explorer/History.h"
#include "shellctl/ShellControls.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>

namespace corvane::app {

namespace {

// The explorer window whose history a Back or Forward menu shows.
constexpr char HistoryOwnerProperty[] = "corvaneHistoryOwner";

} // namespace

void TfrmMain::UpdateHistoryButtons()
{
    updateBackForward();
}

explorer::TfrmChild* TfrmMain::ActiveExplorer() const
{
    QMdiSubWindow* sub = m_mdi->activeSubWindow() ? m_mdi->activeSubWindow() : m_mdi->currentSubWindow();
    return sub ? qobject_cast<explorer::TfrmChild*>(sub->widget()) : nullptr;
}

void TfrmMain::HistoryRecorded(int count)
{
    actBack->setEnabled(count > 1);
    actForward->setEnabled(false);
}

void TfrmMain::updateBackForward()
{
    explorer::TfrmChild* child = ActiveExplorer();
    if (!child)
        return;
    int i = child->lstHistory->ItemIndex(), count = child->lstHistory->Count();
    actBack->setEnabled(i > 0);
    actForward->setEnabled(i >= 0 && i <= count - 2);
}

void TfrmMain::moveInHistory(int step)
{
    explorer::TfrmChild* child = ActiveExplorer();
    if (!child)
        return;
    // Moving through the history is not itself recorded.
    child->chkUserTreeChange = false;
    explorer::THistory* h = child->lstHistory;
    int target = h->ItemIndex() + step;
    if (h->ItemIndex() >= 0 && target >= 0 && target < h->Count()) {
        h->SetItemIndex(target);
        child->Tree1->SelectPath(h->Items().at(target));
        updateBackForward();
    }
    child->chkUserTreeChange = true;
}

void TfrmMain::actBackExecute()
{
    moveInHistory(-1);
}

void TfrmMain::actForwardExecute()
{
    moveInHistory(1);
}

void TfrmMain::actUpExecute()
{
    explorer::TfrmChild* child = ActiveExplorer();
    if (!child)
        return;
    QTreeWidgetItem* node = child->Tree1->currentItem();
    if (node && node->parent())
        child->Tree1->setCurrentItem(node->parent());
}

void TfrmMain::fillHistoryMenu(QMenu* menu, bool back)
{
    menu->clear();
    explorer::TfrmChild* child = ActiveExplorer();
    if (!child)
        return;
    // The menu stays open in the window's event loop; its entries belong to this window's history.
    menu->setProperty(HistoryOwnerProperty, QVariant::fromValue(QPointer<QObject>(child)));
    const QStringList& items = child->lstHistory->Items();
    const QString selected = child->Tree1->SelectedPath();
    const int index = child->lstHistory->ItemIndex();
    int k = 0;
    // Back lists the entries before the current one, nearest first; Forward the current one on.
    for (int i = back ? index - 1 : qMax(0, index); (back ? i >= 0 : i < items.size()) && k < 9; i += back ? -1 : 1) {
        if (items[i] == selected)
            continue;
        // An "&" of the path is shown, not taken as the item's accelerator.
        QAction* a = menu->addAction(QStringLiteral("&%1 %2").arg(++k).arg(QString(items[i]).replace(QLatin1Char('&'), QStringLiteral("&&"))));
        a->setData(i);
    }
}

void TfrmMain::mnuBackPopup()
{
    fillHistoryMenu(mnuBack, true);
}

void TfrmMain::mnuForwardPopup()
{
    fillHistoryMenu(mnuForward, false);
}

void TfrmMain::JumpToHistoryEntry(QAction* item)
{
    if (!item)
        return;
    // The entry is for the window whose history filled the menu; one closed meanwhile takes its entries along.
    QObject* owner = item->parent() ? item->parent()->property(HistoryOwnerProperty).value<QPointer<QObject>>().data() : nullptr;
    auto* child = owner ? qobject_cast<explorer::TfrmChild*>(owner) : ActiveExplorer();
    if (!child || child != ActiveExplorer())
        return;
    // The caption is "&", the number, a blank and the path.
    const QString path = item->text().mid(3).replace(QStringLiteral("&&"), QStringLiteral("&"));
    const int index = item->data().toInt();
    if (child->lstHistory->Items().value(index) != path)
        return;
    child->chkUserTreeChange = false;
    child->Tree1->SelectPath(path);
    child->lstHistory->SetItemIndex(index);
    child->chkUserTreeChange = true;
    updateBackForward();
}

} // namespace corvane::app
