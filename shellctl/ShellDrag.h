#pragma once
// What the tree and the list share as drag sources and drop targets: running a drag, the key
// state of a drag event, auto-scrolling near the edges, and carrying a drop out once the drag
// has ended.
#include "platform/DragDrop.h"

#include <QElapsedTimer>
#include <QPoint>
#include <functional>
#include <memory>

class QAbstractScrollArea;
class QDropEvent;
class QMimeData;
class QPixmap;
class QWidget;

namespace corvane::shellctl {

// A drag from a control: while it runs, the control's refreshes wait and its change reports are
// dropped; its end refreshes the control when needed.
class TDragSource
{
public:
    bool Running() const { return m_running; }
    // True while the drag runs; the refresh asked for is then done when it ends.
    bool Postpone()
    {
        if (m_running)
            m_refreshDue = true;
        return m_running;
    }
    // Runs the drag until the button is released or Escape is pressed. True when the items were
    // dropped or a refresh came due meanwhile.
    bool Run(QWidget* source, std::unique_ptr<QMimeData> data, std::uint32_t allowed, const QPixmap& pixmap);

private:
    bool m_running = false;
    bool m_refreshDue = false;
};

// What a control keeps while a drag is over it.
struct TDragOverState {
    QElapsedTimer lastScroll;
    std::uint32_t enterKeys = 0;

    // Notes the time and the keys; false (and the event refused) when the data carries nothing
    // to drop and the drag is not the control's own.
    bool Enter(QDropEvent* event, bool ownDrag);
    // The event's keys with the buttons held when the drag entered (they are up at the drop).
    std::uint32_t Keys(const QDropEvent* event) const;
};

// One line towards an edge when the point is within 26 pixels of the left or right or 20 of
// the top or bottom and 100 ms have passed since the last step. True when it scrolled.
bool AutoScrollStep(QAbstractScrollArea* view, QPoint viewportPos, QElapsedTimer& lastStep);

// Accepts the event with the effect (or refuses it for none).
void AnswerDrag(QDropEvent* event, std::uint32_t effect);

// What a drop on the target would do now: its DragEnter, DragOver and DragLeave in turn.
std::uint32_t ProbeDropEffect(platform::IDropTarget& target, const QMimeData* data, std::uint32_t keys, QPoint globalPos,
                              std::uint32_t offered);

// Answers a drop with what the target will do and carries the drop out once the drag has ended,
// so its questions and progress do not run inside the drag; then runs afterwards. With the right
// button the target asks first, so copying or linking is the answer given to the drag.
void FinishDrop(QWidget* context, std::unique_ptr<platform::IDropTarget> target, QDropEvent* event, std::uint32_t keys,
                QPoint globalPos, std::uint32_t effect, std::function<void()> then);

} // namespace corvane::shellctl
