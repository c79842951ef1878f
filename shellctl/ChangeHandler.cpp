#include "ChangeHandler.h"

#include "platform/ChangeNotify.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <mutex>
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

    // The command box, under Mail. Each command has a number; the answer names the command
    // it answers, so an answer that comes after its caller gave up is never taken for the
    // answer to the next command.
    std::mutex Mail;
    quint64 NextNumber = 0;
    quint64 Number = 0;
    int Command = cmdAdd;
    int SlotToRemove = -1;
    ChangeHandle PendingHandle = INVALID_HANDLE_VALUE;
    bool Taken = true;
    quint64 Abandoned = 0;  // the caller stopped waiting for this command
    quint64 AnswerNumber = 0;
    int Answer = -1;
    std::function<void(TCommand, quint64)> BeforeAnswer;

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
    // Under Mail: a handle in the box that no worker is going to take is closed.
    void DropPending()
    {
        FindCloseChangeNotification(std::exchange(PendingHandle, INVALID_HANDLE_VALUE));
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
    {
        std::lock_guard lock(s.Mail);
        s.DropPending();
        s.Number = ++s.NextNumber;
        s.Command = cmdQuit;
        s.Taken = false;
    }
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
    std::lock_guard lock(s.Mail);
    s.DropPending();
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
            quint64 number;
            int c, slotToRemove;
            ChangeHandle handle = INVALID_HANDLE_VALUE;
            std::function<void(TCommand, quint64)> hook;
            {
                std::lock_guard lock(s.Mail);
                if (s.Taken)
                    continue;
                s.Taken = true;
                number = s.Number;
                c = s.Command;
                slotToRemove = s.SlotToRemove;
                hook = s.BeforeAnswer;
                if (c == cmdAdd)
                    handle = std::exchange(s.PendingHandle, INVALID_HANDLE_VALUE);
            }
            if (c == cmdQuit)
                break;
            int answer = -1;
            if (c == cmdAdd) {
                auto free = std::find(s.Slots.begin(), s.Slots.end(), INVALID_HANDLE_VALUE);
                if (free != s.Slots.end() && handle != INVALID_HANDLE_VALUE) {
                    answer = int(free - s.Slots.begin());
                    *free = handle;
                    s.ReportOnItsWay[size_t(answer)] = false;
                    handle = INVALID_HANDLE_VALUE;
                }
            } else if (c == cmdRemove) {
                if (slotToRemove >= 0 && slotToRemove < SlotCount && s.Slots[size_t(slotToRemove)] != INVALID_HANDLE_VALUE)
                    s.Free(slotToRemove);
            } else if (c == cmdRemoveAll) {
                for (int i = 0; i < SlotCount; ++i) {
                    if (s.Slots[size_t(i)] != INVALID_HANDLE_VALUE)
                        s.Free(i);
                }
            }
            if (hook)
                hook(TCommand(c), number);
            {
                std::lock_guard lock(s.Mail);
                if (handle != INVALID_HANDLE_VALUE) {
                    // The table is full: the handle stays pending until the caller closes it.
                    if (s.PendingHandle == INVALID_HANDLE_VALUE)
                        s.PendingHandle = handle;
                    else
                        FindCloseChangeNotification(handle);
                }
                // Nobody waits for this answer any more: a watch it added would never be known.
                if (s.Abandoned == number && c == cmdAdd && answer >= 0) {
                    s.Free(answer);
                    answer = -1;
                }
                s.AnswerNumber = number;
                s.Answer = answer;
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
            // Re-armed before the report goes: a change the control makes or sees after taking
            // the report then signals again, where re-arming later would swallow it.
            const bool rearmed = FindNextChangeNotification(s.Slots[size_t(slot)]);
            QObject* target = s.Target;
            if (target && !s.ReportOnItsWay[size_t(slot)].exchange(true))
                QCoreApplication::postEvent(target, new TChangeReportEvent(s.Message, slot));
            if (!rearmed)
                s.Free(slot);
        }
    }
    s.Finished.Set();
}

bool TChangeHandlerThread::command(TCommand c, int& answer, int slot, int handle)
{
    State& s = *m_state;
    answer = -1;
    if (!s.Thread.joinable()) {
        FindCloseChangeNotification(handle);
        return false;
    }
    quint64 number;
    {
        std::lock_guard lock(s.Mail);
        // A handle left pending by a command that timed out, or by a full table, is not going
        // to be taken any more.
        s.DropPending();
        number = s.Number = ++s.NextNumber;
        s.Command = c;
        s.SlotToRemove = slot;
        s.PendingHandle = handle;
        s.Taken = false;
    }
    s.CommandEvent.Set();
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(CommandTimeout);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const bool woke = s.DoneEvent.Wait(int(std::max<decltype(left)>(left, 0)));
        std::lock_guard lock(s.Mail);
        if (s.AnswerNumber == number) {
            answer = s.Answer;
            return true;
        }
        if (!woke) {
            // Given up: a command the worker has not taken is taken back; one it is carrying
            // out ends without anybody waiting for it.
            if (!s.Taken && s.Number == number) {
                s.Taken = true;
                s.DropPending();
            } else {
                s.Abandoned = number;
            }
            return false;
        }
        // An answer to an earlier command that came late: wait on for this one's.
    }
}

bool TChangeHandlerThread::AddWatch(const QByteArray& path, std::uint32_t filter, int& slot, bool subtree)
{
    State& s = *m_state;
    if (path.isEmpty() || !s.Thread.joinable())
        return false;
    ChangeHandle h = FindFirstChangeNotification(path, subtree, filter);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    int answer = -1;
    if (!command(cmdAdd, answer, -1, h))
        return false;
    if (answer == -1) {
        // The table is full and the handle stayed pending: close it rather than leak it.
        std::lock_guard lock(s.Mail);
        s.DropPending();
        return false;
    }
    slot = answer;
    return true;
}

void TChangeHandlerThread::RemoveWatch(int slot)
{
    int answer;
    command(cmdRemove, answer, slot);
}

void TChangeHandlerThread::RemoveAllWatches()
{
    int answer;
    command(cmdRemoveAll, answer);
}

void TChangeHandlerThread::SetBeforeAnswer(std::function<void(TCommand, quint64)> hook)
{
    std::lock_guard lock(m_state->Mail);
    m_state->BeforeAnswer = std::move(hook);
}

quint64 TChangeHandlerThread::LastCommandNumber() const
{
    std::lock_guard lock(m_state->Mail);
    return m_state->Number;
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
    m_reported.clear();
}

void TFolderWatches::NoteReport(int slot)
{
    const QByteArray path = PathOfSlot(slot);
    if (!path.isEmpty())
        m_reported.insert(path);
}

void TFolderWatches::ReportHandled(int slot)
{
    if (m_thread)
        m_thread->ReportHandled(slot);
}

QByteArray TFolderWatches::PathOfSlot(int slot) const
{
    for (auto it = m_slots.cbegin(); it != m_slots.cend(); ++it) {
        if (it.value() == slot)
            return it.key();
    }
    return {};
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
    const int slot = static_cast<TChangeReportEvent*>(event)->WParam;
    watches->ReportHandled(slot);
    if (ignoreNext || dragRunning) {
        ignoreNext = false;
        return TReportAction::Dropped;
    }
    watches->NoteReport(slot);
    return TReportAction::Refresh;
}

} // namespace corvane::shellctl
