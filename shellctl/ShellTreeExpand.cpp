// Expanding a whole branch of the folder tree. Every folder is filled when it is expanded, so a
// branch (a whole volume, for Expand Drive) is walked a few folders per pass of the event loop:
// the window keeps answering, and Escape, a cancel command or closing the window stops the walk.
#include "ShellTree.h"

#include "platform/NameCodec.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPersistentModelIndex>
#include <QTimer>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace corvane::shellctl {

using namespace platform;

class TCustomShellTree::TExpander : public QObject
{
public:
    TExpander(TCustomShellTree& tree, TShTreeNode* start, bool sameVolume, std::function<void(bool)> done,
              std::function<void(int)> progress)
        : QObject(&tree), m_tree(tree), m_done(std::move(done)), m_progress(std::move(progress))
    {
        // The start is entered even when it is a link: the user chose it.
        struct stat st {};
        const QByteArray path = start->Data() ? EncodeName(start->Data()->Path()) : QByteArray();
        if (!path.isEmpty() && ::stat(path.constData(), &st) == 0) {
            m_seen.insert({st.st_dev, st.st_ino});
            m_device = st.st_dev;
            m_stayOnDevice = sameVolume;
        }
        m_stack.push_back({tree.indexFromItem(start), EnterSelf});
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] { pass(); });
        m_timer.start();
        qApp->installEventFilter(this);
    }

    std::function<void(bool)> TakeDone() { return std::exchange(m_done, nullptr); }

    void Stop()
    {
        m_timer.stop();
        qApp->removeEventFilter(this);
        m_stack.clear();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_Escape)
            return false;
        // Escape in the name editor ends the editing.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != m_tree.window() || m_tree.Editing())
            return false;
        m_tree.CancelExpand();
        return true;
    }

private:
    // The walk is depth first with one frame per level: the model then keeps only as many
    // persistent indexes up to date as the branch is deep, however many folders it has.
    static constexpr int EnterSelf = -1;
    struct Frame {
        QPersistentModelIndex node;
        int next;  // the child to look at next; EnterSelf before the node itself is expanded
    };

    void pass()
    {
        QElapsedTimer clock;
        clock.start();
        int entered = 0;
        // Painting once per pass instead of once per folder keeps a pass short.
        const bool updates = m_tree.updatesEnabled();
        m_tree.setUpdatesEnabled(false);
        while (!m_stack.empty() && (entered == 0 || clock.elapsed() < m_tree.ExpandPassBudget)) {
            Frame& frame = m_stack.back();
            // A refresh or a reset may have removed the node meanwhile.
            auto* node = frame.node.isValid() ? static_cast<TShTreeNode*>(m_tree.itemFromIndex(frame.node)) : nullptr;
            if (!node || !node->Data()) {
                m_stack.pop_back();
                continue;
            }
            if (frame.next == EnterSelf) {
                frame.next = 0;
                node->setExpanded(true);
                ++entered;
                continue;
            }
            if (frame.next >= node->childCount()) {
                m_stack.pop_back();
                continue;
            }
            auto* child = static_cast<TShTreeNode*>(node->child(frame.next++));
            if (!mayEnter(child))
                continue;
            child->setExpanded(true);
            ++entered;
            m_stack.push_back({m_tree.indexFromItem(child), 0});
        }
        m_tree.setUpdatesEnabled(updates);
        m_entered += entered;
        if (m_stack.empty()) {
            m_tree.endExpand(true, true);
            return;
        }
        // The callback may stop the expansion; the timer then no longer runs.
        if (m_progress)
            m_progress(m_entered);
    }

    bool mayEnter(TShTreeNode* node)
    {
        if (!node->Data() || (node->childCount() == 0 && node->childIndicatorPolicy() != QTreeWidgetItem::ShowIndicator))
            return false;
        // A link to a folder leads back up or elsewhere ("/proc/self/root", a link to "."):
        // following links would never end.
        if (node->Attributes & SFGAO_LINK)
            return false;
        const QByteArray path = EncodeName(node->Data()->Path());
        if (path.isEmpty())
            return true;  // a virtual folder: its items are what it holds
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
        if (m_stayOnDevice && st.st_dev != m_device)
            return false;
        // The same folder may be reachable twice (Home and its place on its volume; bind mounts).
        return m_seen.insert({st.st_dev, st.st_ino}).second;
    }

    TCustomShellTree& m_tree;
    std::function<void(bool)> m_done;
    std::function<void(int)> m_progress;
    int m_entered = 0;
    QTimer m_timer;
    std::vector<Frame> m_stack;
    std::set<std::pair<dev_t, ino_t>> m_seen;
    dev_t m_device = 0;
    bool m_stayOnDevice = false;
};

void TCustomShellTree::ExpandBelow(TShTreeNode* node, bool sameVolume, std::function<void(bool finished)> done,
                                   std::function<void(int entered)> progress)
{
    CancelExpand();
    if (!node) {
        if (done)
            done(true);
        return;
    }
    m_expander = new TExpander(*this, node, sameVolume, std::move(done), std::move(progress));
}

void TCustomShellTree::CancelExpand()
{
    endExpand(false, true);
}

void TCustomShellTree::endExpand(bool finished, bool notify)
{
    TExpander* expander = m_expander;
    if (!expander)
        return;
    m_expander = nullptr;
    expander->Stop();
    std::function<void(bool)> done = expander->TakeDone();
    // It may be the one running now (its timer or its Escape filter).
    if (notify) {
        expander->deleteLater();
        if (done)
            done(finished);
    } else {
        delete expander;
    }
}

void TCustomShellTree::CollapseBelow(TShTreeNode* node)
{
    CancelExpand();
    if (!node)
        return;
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    // Children before their parent; no recursion, so a deep branch cannot exhaust the stack.
    std::vector<std::pair<QTreeWidgetItem*, bool>> stack{{node, false}};
    while (!stack.empty()) {
        auto [item, childrenDone] = stack.back();
        stack.pop_back();
        if (childrenDone) {
            item->setExpanded(false);
            continue;
        }
        stack.emplace_back(item, true);
        for (int i = 0; i < item->childCount(); ++i)
            stack.emplace_back(item->child(i), false);
    }
    setUpdatesEnabled(updates);
}

} // namespace corvane::shellctl
