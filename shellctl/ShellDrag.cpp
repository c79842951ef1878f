#include "ShellDrag.h"

#include <QAbstractScrollArea>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmap>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>

namespace corvane::shellctl {

using namespace platform;

namespace {

constexpr int ScrollInterval = 100;
constexpr int SideMargin = 26;
constexpr int TopBottomMargin = 20;

bool step(QScrollBar* bar, QAbstractSlider::SliderAction action)
{
    if (!bar || bar->maximum() <= bar->minimum())
        return false;
    const int before = bar->value();
    bar->triggerAction(action);
    return bar->value() != before;
}

} // namespace

bool TDragSource::Run(QWidget* source, std::unique_ptr<QMimeData> data, std::uint32_t allowed, const QPixmap& pixmap)
{
    auto* drag = new QDrag(source);
    drag->setMimeData(data.release());
    if (!pixmap.isNull())
        drag->setPixmap(pixmap);
    m_running = true;
    m_refreshDue = false;
    // The default is decided by the target (move on one volume, copy across).
    const Qt::DropAction result = drag->exec(DropActionsOf(allowed), Qt::IgnoreAction);
    m_running = false;
    const bool refresh = result != Qt::IgnoreAction || m_refreshDue;
    m_refreshDue = false;
    return refresh;
}

bool TDragOverState::Enter(QDropEvent* event, bool ownDrag)
{
    lastScroll.start();
    enterKeys = KeyStateOf(event->buttons(), event->modifiers());
    if (!ownDrag && DroppedFiles(event->mimeData()).empty()) {
        event->ignore();
        return false;
    }
    return true;
}

std::uint32_t TDragOverState::Keys(const QDropEvent* event) const
{
    return KeyStateOf(event->buttons(), event->modifiers()) | (enterKeys & (MK_LBUTTON | MK_RBUTTON));
}

bool AutoScrollStep(QAbstractScrollArea* view, QPoint pos, QElapsedTimer& lastStep)
{
    if (lastStep.isValid() && lastStep.elapsed() <= ScrollInterval)
        return false;
    const QSize size = view->viewport()->size();
    bool scrolled = false;
    if (pos.x() < SideMargin)
        scrolled |= step(view->horizontalScrollBar(), QAbstractSlider::SliderSingleStepSub);
    else if (pos.x() > size.width() - SideMargin)
        scrolled |= step(view->horizontalScrollBar(), QAbstractSlider::SliderSingleStepAdd);
    if (pos.y() < TopBottomMargin)
        scrolled |= step(view->verticalScrollBar(), QAbstractSlider::SliderSingleStepSub);
    else if (pos.y() > size.height() - TopBottomMargin)
        scrolled |= step(view->verticalScrollBar(), QAbstractSlider::SliderSingleStepAdd);
    lastStep.start();
    return scrolled;
}

void AnswerDrag(QDropEvent* event, std::uint32_t effect)
{
    const Qt::DropAction action = DropActionOf(effect);
    if (action == Qt::IgnoreAction) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

std::uint32_t ProbeDropEffect(IDropTarget& target, const QMimeData* data, std::uint32_t keys, QPoint globalPos,
                              std::uint32_t offered)
{
    std::uint32_t effect = offered;
    target.DragEnter(data, keys, globalPos, effect);
    effect = offered;
    target.DragOver(keys, globalPos, effect);
    target.DragLeave();
    return effect;
}

void FinishDrop(QWidget* context, std::unique_ptr<IDropTarget> target, QDropEvent* event, std::uint32_t keys,
                QPoint globalPos, std::uint32_t effect, std::function<void()> then)
{
    std::uint32_t answer = ProbeDropEffect(*target, event->mimeData(), keys, globalPos, effect);
    if (answer == DROPEFFECT_NONE && (keys & MK_RBUTTON))
        answer = effect & (DROPEFFECT_COPY | DROPEFFECT_LINK);
    AnswerDrag(event, answer);
    if (answer == DROPEFFECT_NONE)
        return;
    // The event's data lives only as long as the drag.
    std::shared_ptr<QMimeData> copy = CopyDropData(event->mimeData());
    std::shared_ptr<IDropTarget> t = std::move(target);
    QTimer::singleShot(0, context, [t, copy, keys, globalPos, effect, alive = QPointer<QWidget>(context), then = std::move(then)] {
        ProbeDropEffect(*t, copy.get(), keys, globalPos, effect);
        std::uint32_t e = effect;
        // The drop may ask and show progress in event loops of its own, where the control may go.
        t->Drop(copy.get(), keys, globalPos, e);
        if (then && alive)
            then();
    });
}

} // namespace corvane::shellctl
