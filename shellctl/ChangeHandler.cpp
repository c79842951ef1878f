#include "ChangeHandler.h"

#include "platform/ChangeNotify.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <thread>
#include <utility>

namespace corvane::shellctl {

using namespace platform;

// Everything the worker uses, shared with it so that a worker which outlives its owner
// (it missed the quit time-out) still runs on valid memory.
struct TChangeHandlerThread::State {
    std::atomic<QObject*> Target;
    int Message;
    TAutoResetEvent CommandEvent;
    TAutoResetEvent DoneEvent;
    TAutoResetEvent Finished;
    std::atomic<bool> Terminated{false};
    std::atomic<int> Command{cmdAdd};
    std::atomic<int> SlotToRemove{-1};
    std::atomic<int> PendingHandle{INVALID_HANDLE_VALUE};
    std::atomic<int> Answer{-1};
    // Only the worker touches the slots.
    std::array<ChangeHandle, SlotCount> Slots;
    std::array<std::atomic<bool>, SlotCount> ReportOnItsWay;
    std::thread Thread;

    State(QObject* target, int message) : Target(target), Message(message)
    {
        Slots.fill(INVALID_HANDLE_VALUE);
        for (auto& r : ReportOnItsWay)
            r = false;
    }
    bool Valid() const { return CommandEvent.Valid() && DoneEvent.Valid() && Finished.Valid(); }
    void Free(int slot)
    {
        FindCloseChangeNotification(Slots[size_t(slot)]);
        Slots[size_t(slot)] = INVALID_HANDLE_VALUE;
    }
};

TChangeHandlerThread::TChangeHandlerThread(QObject* target, int message)
    : m_state(std::make_shared<State>(target, message))
{
    if (m_state->Valid())
        m_state->Thread = std::thread(&TChangeHandlerThread::run, m_state);
}

TChangeHandlerThread::~TChangeHandlerThread()
{
    State& s = *m_state;
    s.Target = nullptr;
    if (!s.Thread.joinable())
        return;
    s.Command = cmdQuit;
    s.Terminated = true;
    s.CommandEvent.Set();
    if (!s.Finished.Wait(QuitTimeout)) {
        // A worker stuck past the time-out keeps its state and handles; never close them under it.
        s.Thread.detach();
        return;
    }
    s.Thread.join();
    for (int i = 0; i < SlotCount; ++i) {
        if (s.Slots[size_t(i)] != INVALID_HANDLE_VALUE)
            s.Free(i);
    }
    FindCloseChangeNotification(s.PendingHandle.exchange(INVALID_HANDLE_VALUE));
}

void TChangeHandlerThread::run(std::shared_ptr<State> state)
{
    State& s = *state;
    std::vector<pollfd> waits;
    std::vector<int> slotOfWait;
    for (;;) {
        waits.clear();
        slotOfWait.clear();
        waits.push_back({s.CommandEvent.Fd(), POLLIN, 0});
        for (int i = 0; i < SlotCount; ++i) {
            if (s.Slots[size_t(i)] != INVALID_HANDLE_VALUE) {
                waits.push_back({s.Slots[size_t(i)], POLLIN, 0});
                slotOfWait.push_back(i);
            }
        }
        if (::poll(waits.data(), waits.size(), -1) < 0)
            continue;
        if (s.Terminated)
            break;
        if (waits[0].revents & POLLIN) {
            s.CommandEvent.Reset();
            const int c = s.Command;
            if (c == cmdQuit)
                break;
            if (c == cmdAdd) {
                auto free = std::find(s.Slots.begin(), s.Slots.end(), INVALID_HANDLE_VALUE);
                if (free == s.Slots.end()) {
                    s.Answer = -1;
                } else {
                    const int slot = int(free - s.Slots.begin());
                    *free = s.PendingHandle.exchange(INVALID_HANDLE_VALUE);
                    s.ReportOnItsWay[size_t(slot)] = false;
                    s.Answer = slot;
                }
            } else if (c == cmdRemove) {
                const int slot = s.SlotToRemove;
                if (slot >= 0 && slot < SlotCount && s.Slots[size_t(slot)] != INVALID_HANDLE_VALUE)
                    s.Free(slot);
            } else if (c == cmdRemoveAll) {
                for (int i = 0; i < SlotCount; ++i) {
                    if (s.Slots[size_t(i)] != INVALID_HANDLE_VALUE)
                        s.Free(i);
                }
            }
            s.DoneEvent.Set();
            continue;
        }
        for (size_t w = 1; w < waits.size(); ++w) {
            const int slot = slotOfWait[w - 1];
            if (waits[w].revents & (POLLERR | POLLNVAL | POLLHUP)) {
                s.Free(slot);
                continue;
            }
            if (!(waits[w].revents & POLLIN))
                continue;
            QObject* target = s.Target;
            if (target && !s.ReportOnItsWay[size_t(slot)].exchange(true))
                QCoreApplication::postEvent(target, new TChangeReportEvent(s.Message, slot));
            if (!FindNextChangeNotification(s.Slots[size_t(slot)]))
                s.Free(slot);
        }
    }
    s.Finished.Set();
}

bool TChangeHandlerThread::command(TCommand c)
{
    State& s = *m_state;
    if (!s.Thread.joinable())
        return false;
    s.Command = c;
    s.DoneEvent.Reset();
    s.CommandEvent.Set();
    return s.DoneEvent.Wait(CommandTimeout);
}

bool TChangeHandlerThread::AddWatch(const QByteArray& path, std::uint32_t filter, int& slot, bool subtree)
{
    State& s = *m_state;
    if (path.isEmpty() || !s.Thread.joinable())
        return false;
    ChangeHandle h = FindFirstChangeNotification(path, subtree, filter);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // A handle left pending by a command that timed out is not going to be taken any more.
    FindCloseChangeNotification(s.PendingHandle.exchange(h));
    if (!command(cmdAdd))
        return false;
    if (s.Answer == -1) {
        // The table is full and the handle stayed pending: close it rather than leak it.
        FindCloseChangeNotification(s.PendingHandle.exchange(INVALID_HANDLE_VALUE));
        return false;
    }
    slot = s.Answer;
    return true;
}

void TChangeHandlerThread::RemoveWatch(int slot)
{
    m_state->SlotToRemove = slot;
    command(cmdRemove);
}

void TChangeHandlerThread::RemoveAllWatches()
{
    command(cmdRemoveAll);
}

void TChangeHandlerThread::ReportHandled(int slot)
{
    if (slot >= 0 && slot < SlotCount)
        m_state->ReportOnItsWay[size_t(slot)] = false;
}

// ---- TFolderWatches ----

TFolderWatches::TFolderWatches(QObject* target)
    : m_target(target)
{
}

TFolderWatches::~TFolderWatches() = default;

void TFolderWatches::Sync(const std::vector<QByteArray>& paths, std::uint32_t filter)
{
    const QSet<QByteArray> wanted(paths.begin(), paths.end());
    bool dropped = filter != m_filter;
    for (auto it = m_slots.cbegin(); !dropped && it != m_slots.cend(); ++it)
        dropped = !wanted.contains(it.key());
    if (dropped) {
        Rebuild(paths, filter);
        return;
    }
    for (const QByteArray& p : paths) {
        if (m_slots.size() >= TChangeHandlerThread::SlotCount)
            break;
        if (p.isEmpty() || m_slots.contains(p) || m_refused.contains(p))
            continue;
        if (!m_thread)
            m_thread = std::make_unique<TChangeHandlerThread>(m_target, CM_CHANGENOTIFY);
        int slot = -1;
        if (m_thread->AddWatch(p, filter, slot, false))
            m_slots.insert(p, slot);
        else
            m_refused.insert(p);  // tried again at the next rebuild
    }
}

void TFolderWatches::Rebuild(const std::vector<QByteArray>& paths, std::uint32_t filter)
{
    const QHash<QByteArray, int> old = std::exchange(m_slots, {});
    m_refused.clear();
    m_filter = filter;
    const qsizetype wanted = std::min<qsizetype>(qsizetype(paths.size()), TChangeHandlerThread::SlotCount);
    if (!m_thread || old.size() + wanted > TChangeHandlerThread::SlotCount) {
        if (m_thread)
            m_thread->RemoveAllWatches();
        Sync(paths, filter);
        return;
    }
    // The new watches first, then the old ones go, so no change slips through in between.
    // An old slot that a new watch took had lost its handle already.
    Sync(paths, filter);
    QSet<int> taken;
    for (int slot : std::as_const(m_slots))
        taken.insert(slot);
    for (int slot : old) {
        if (!taken.contains(slot))
            m_thread->RemoveWatch(slot);
    }
}

void TFolderWatches::Clear()
{
    if (m_thread)
        m_thread->RemoveAllWatches();
    m_slots.clear();
    m_refused.clear();
}

void TFolderWatches::ReportHandled(int slot)
{
    if (m_thread)
        m_thread->ReportHandled(slot);
}

void TFolderWatches::RestartDelay(QTimer* timer, int delay)
{
    if (!timer->isActive() || !m_burst.isValid())
        m_burst.start();
    // Coarse timers may fire a little early; the delay is a promise to the user.
    timer->setTimerType(Qt::PreciseTimer);
    const qint64 left = qint64(delay) * MaxDeferral - m_burst.elapsed();
    timer->start(int(std::clamp<qint64>(left, 0, delay)));
}

TReportAction TakeChangeReport(QEvent* event, TFolderWatches* watches, bool& ignoreNext, bool dragRunning)
{
    if (event->type() != TChangeReportEvent::TypeOf(CM_CHANGENOTIFY))
        return TReportAction::NotAReport;
    if (!watches)
        return TReportAction::Dropped;
    watches->ReportHandled(static_cast<TChangeReportEvent*>(event)->WParam);
    if (ignoreNext || dragRunning) {
        ignoreNext = false;
        return TReportAction::Dropped;
    }
    return TReportAction::Refresh;
}

} // namespace corvane::shellctl
