// The file list as drag source and drop target.
#include "ShellDrag.h"
#include "ShellList.h"

#include "platform/IconTable.h"
#include "platform/NameCodec.h"

#include <QAbstractItemView>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmap>

namespace corvane::shellctl {

using namespace platform;

namespace {

constexpr std::uint32_t ItemEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

} // namespace

std::vector<int> TCustomShellList::dragRows() const
{
    std::vector<int> rows;
    const QList<int> selected = SelectedRows();
    // One selected item goes as it is; of several, those with a record.
    if (selected.size() == 1) {
        if (DataOfIndex(selected.front()))
            rows.push_back(selected.front());
        return rows;
    }
    for (int row : selected) {
        if (DataOfIndex(row))
            rows.push_back(row);
    }
    return rows;
}

std::unique_ptr<QMimeData> TCustomShellList::SelectionDataObject() const
{
    std::vector<PItemIDList> rels;
    for (int row : dragRows())
        rels.push_back(DataOfIndex(row)->RelIdList());
    return ItemsDataObject(rels);
}

std::unique_ptr<QMimeData> TCustomShellList::ItemsDataObject(const std::vector<PItemIDList>& rels) const
{
    if (rels.empty())
        return nullptr;
    std::vector<QByteArray> names;
    for (const PItemIDList& rel : rels) {
        QString name;
        if (m_currentFolder)
            m_currentFolder->GetDisplayNameOf(rel, SHGDN_FORPARSING, name);
        names.push_back(EncodeName(name));
    }
    return MakeDragData(m_currentAbs, rels, names);
}

void TCustomShellList::BeginDrag(Qt::MouseButton)
{
    if (!(m_options & sloOleDrag) || m_drag.Running() || !m_currentFolder)
        return;
    std::unique_ptr<QMimeData> data = SelectionDataObject();
    if (!data)
        return;
    std::vector<PItemIDList> rels;
    for (int row : dragRows())
        rels.push_back(DataOfIndex(row)->RelIdList());
    std::uint32_t allowed = ItemEffects;
    if (Failed(m_currentFolder->GetAttributesOf(rels, allowed)))
        allowed = 0;
    allowed &= ItemEffects;
    if (!allowed)
        return;
    QPixmap pixmap;
    if (const QModelIndex focused = currentIndex(); focused.isValid())
        pixmap = m_model->data(focused, Qt::DecorationRole).value<QPixmap>();

    const bool refresh = m_drag.Run(this, std::move(data), allowed, pixmap);
    SetDropHighlightRow(-1);
    if (refresh)
        FillList();
}

int TCustomShellList::rowAt(QPoint pos) const
{
    const QModelIndex index = CurrentView()->indexAt(pos);
    return index.isValid() ? index.row() : -1;
}

std::unique_ptr<IDropTarget> TCustomShellList::dropTargetAt(int row) const
{
    std::unique_ptr<IDropTarget> target;
    if (row >= 0) {
        TShListData* d = DataOfIndex(row);
        if (!d || Failed(GetDropTarget(window(), m_currentFolder, d->RelIdList(), target)))
            return nullptr;
        return target;
    }
    if (Failed(FolderDropTarget(window(), m_currentAbs, target)))
        return nullptr;
    return target;
}

void TCustomShellList::ViewDragEnter(QDragEnterEvent* event)
{
    if (!m_dragOver.Enter(event, m_drag.Running()))
        return;
    dragOver(event);
    // Accepted whatever the first answer, so the moves over other items keep coming.
    event->accept();
}

void TCustomShellList::ViewDragMove(QDragMoveEvent* event)
{
    dragOver(event);
    QAbstractItemView* view = CurrentView();
    AutoScrollStep(view, event->position().toPoint(), m_dragOver.lastScroll);
}

void TCustomShellList::dragOver(QDragMoveEvent* event)
{
    QAbstractItemView* view = CurrentView();
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos);
    const std::uint32_t keys = m_dragOver.Keys(event);
    std::uint32_t effect = EffectsOf(event->possibleActions());
    int highlight = -1;
    if (row >= 0 && !DataOfIndex(row)) {
        effect = DROPEFFECT_COPY;
    } else if (row < 0 && m_drag.Running()) {
        // Onto the list's own empty area: only the right button, and never a move.
        effect = (keys & MK_RBUTTON) ? DROPEFFECT_COPY : DROPEFFECT_NONE;
    } else if (std::unique_ptr<IDropTarget> target = dropTargetAt(row)) {
        effect = ProbeDropEffect(*target, event->mimeData(), keys, view->viewport()->mapToGlobal(pos), effect);
        if (effect != DROPEFFECT_NONE)
            highlight = row;
    } else {
        effect = DROPEFFECT_NONE;
    }
    SetDropHighlightRow(highlight);
    AnswerDrag(event, effect);
}

void TCustomShellList::ViewDragLeave(QDragLeaveEvent* event)
{
    SetDropHighlightRow(-1);
    event->accept();
}

void TCustomShellList::ViewDrop(QDropEvent* event)
{
    SetDropHighlightRow(-1);
    QAbstractItemView* view = CurrentView();
    const QPoint pos = event->position().toPoint();
    const int row = rowAt(pos);
    const std::uint32_t keys = m_dragOver.Keys(event);
    std::uint32_t effect = EffectsOf(event->possibleActions());
    std::unique_ptr<IDropTarget> target;
    if (row >= 0 && !DataOfIndex(row)) {
        event->ignore();
        return;
    }
    if (row < 0 && m_drag.Running()) {
        if (!(keys & MK_RBUTTON)) {
            event->ignore();
            return;
        }
        effect &= ~DROPEFFECT_MOVE;
    }
    target = dropTargetAt(row);
    if (!target) {
        event->ignore();
        return;
    }
    effect &= AllowedEffects(event->mimeData());
    FinishDrop(this, std::move(target), event, keys, view->viewport()->mapToGlobal(pos), effect, nullptr);
}

} // namespace corvane::shellctl
