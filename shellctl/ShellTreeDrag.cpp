// The folder tree as drag source and drop target.
#include "ShellDrag.h"
#include "ShellTree.h"

#include "platform/NameCodec.h"

#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmap>

#include <array>

namespace corvane::shellctl {

using namespace platform;

namespace {

constexpr std::uint32_t ItemEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

// A node that can be dragged and dropped on: with a record and a parent node.
TShTreeData* draggableData(QTreeWidgetItem* node)
{
    if (!node || !node->parent())
        return nullptr;
    TShTreeData* d = TCustomShellTree::NodeData(node);
    return d && d->ParentIShf() ? d : nullptr;
}

} // namespace

std::unique_ptr<QMimeData> TCustomShellTree::NodeDataObject(TShTreeNode* node) const
{
    TShTreeData* d = draggableData(node);
    if (!d)
        return nullptr;
    QString name;
    d->ParentIShf()->GetDisplayNameOf(d->RelIdList(), SHGDN_FORPARSING, name);
    return MakeDragData(d->ParentData() ? d->ParentData()->AbsIdList() : PItemIDList(), {d->RelIdList()}, {EncodeName(name)});
}

void TCustomShellTree::BeginDrag(QTreeWidgetItem* node, Qt::MouseButton)
{
    if (!(m_options & stoOleDrag) || m_drag.Running())
        return;
    SetDropHighlight(node);
    TShTreeData* d = draggableData(node);
    std::unique_ptr<QMimeData> data = d ? NodeDataObject(static_cast<TShTreeNode*>(node)) : nullptr;
    if (!data) {
        SetDropHighlight(nullptr);
        return;
    }
    std::uint32_t allowed = ItemEffects;
    const std::array<PItemIDList, 1> one{d->RelIdList()};
    if (Failed(d->ParentIShf()->GetAttributesOf(one, allowed)))
        allowed = ItemEffects;
    allowed &= ItemEffects;
    const bool refresh = allowed && m_drag.Run(this, std::move(data), allowed, node->icon(0).pixmap(iconSize()));
    SetDropHighlight(nullptr);
    if (refresh)
        RefreshTree();
}

std::unique_ptr<IDropTarget> TCustomShellTree::dropTargetAt(QTreeWidgetItem* node) const
{
    TShTreeData* d = draggableData(node);
    std::unique_ptr<IDropTarget> target;
    if (!d || Failed(GetDropTarget(window(), d->ParentIShf(), d->RelIdList(), target)))
        return nullptr;
    return target;
}

void TCustomShellTree::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_dragOver.Enter(event, m_drag.Running()))
        return;
    dragOver(event);
    event->accept();
}

void TCustomShellTree::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeWidgetItem* before = DropHighlight();
    dragOver(event);
    if (AutoScrollStep(this, event->position().toPoint(), m_dragOver.lastScroll) || before != DropHighlight())
        viewport()->repaint();
}

void TCustomShellTree::dragOver(QDragMoveEvent* event)
{
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* node = itemAt(pos);
    const std::uint32_t keys = m_dragOver.Keys(event);
    std::uint32_t effect = DROPEFFECT_NONE;
    std::unique_ptr<IDropTarget> target = dropTargetAt(node);
    if (target) {
        effect = ProbeDropEffect(*target, event->mimeData(), keys, viewport()->mapToGlobal(pos),
                                 EffectsOf(event->possibleActions()));
        SetDropHighlight(node);
    } else {
        // Nothing to drop on: the dragged node keeps its mark.
        SetDropHighlight(m_drag.Running() ? PressedNode() : nullptr);
    }
    AnswerDrag(event, effect);
}

void TCustomShellTree::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetDropHighlight(m_drag.Running() ? PressedNode() : nullptr);
    event->accept();
}

void TCustomShellTree::dropEvent(QDropEvent* event)
{
    const QPoint pos = event->position().toPoint();
    std::unique_ptr<IDropTarget> target = dropTargetAt(itemAt(pos));
    SetDropHighlight(m_drag.Running() ? PressedNode() : nullptr);
    if (!target) {
        event->ignore();
        return;
    }
    const std::uint32_t keys = m_dragOver.Keys(event);
    const std::uint32_t effect = EffectsOf(event->possibleActions()) & AllowedEffects(event->mimeData());
    FinishDrop(this, std::move(target), event, keys, viewport()->mapToGlobal(pos), effect, [this] { RefreshTree(); });
}

} // namespace corvane::shellctl
