#pragma once
// Change watching for the shell controls: a worker thread per control waits on the change
// notification handles of the folders the control shows and posts a report to the control
// for every change; the control coalesces reports with its delay timer and refreshes.
#include <QByteArray>
#include <QElapsedTimer>
#include <QEvent>
#include <QSet>
#include <QHash>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QObject;
class QTimer;

namespace corvane::shellctl {

// The report message of both controls (the platform's WM_USER + 0x65).
inline constexpr int CM_CHANGENOTIFY = 0x465;

// A change report as the control receives it: the first parameter is the slot, the second 0.
class TChangeReportEvent : public QEvent
{
public:
    TChangeReportEvent(int message, int slot) : QEvent(TypeOf(message)), WParam(slot) {}
    static QEvent::Type TypeOf(int message) { return QEvent::Type(QEvent::User + message); }
    const int WParam;
    const int LParam = 0;
};

class TChangeHandlerThread
{
public:
    static constexpr int SlotCount = 63;
    static constexpr int CommandTimeout = 2000;
    static constexpr int QuitTimeout = 30000;
    enum TCommand : int { cmdAdd = 0, cmdRemove = 1, cmdRemoveAll = 2, cmdQuit = 3 };

    // Reports go to target, which must outlive this object.
    TChangeHandlerThread(QObject* target, int message);
    // Stops the thread and closes every handle; never waits longer than the quit time-out.
    ~TChangeHandlerThread();
    TChangeHandlerThread(const TChangeHandlerThread&) = delete;
    TChangeHandlerThread& operator=(const TChangeHandlerThread&) = delete;

    // True when the folder is watched; slot then tells where.
    bool AddWatch(const QByteArray& path, std::uint32_t filter, int& slot, bool subtree);
    void RemoveWatch(int slot);
    void RemoveAllWatches();
    // The control has taken the report of a slot: further changes there report again.
    // Until then they are folded into the report on its way.
    void ReportHandled(int slot);

    // Runs on the worker after it has carried out a command and before it answers, with the
    // command and its number. Tests hold answers back with it; set it before any command.
    void SetBeforeAnswer(std::function<void(TCommand, quint64)> hook);
    // The number of the latest command given to the worker.
    quint64 LastCommandNumber() const;

private:
    struct State;
    static void run(std::shared_ptr<State> state);
    // Gives the worker a command and waits for the answer to that very command.
    bool command(TCommand c, int& answer, int slot = -1, int handle = -1);

    std::shared_ptr<State> m_state;
};

// The folders one control watches, kept in step with what it shows.
class TFolderWatches
{
public:
    explicit TFolderWatches(QObject* target);
    ~TFolderWatches();

    // Watches exactly these folders, the first ones first when the table cannot hold them all.
    // Dropping a folder (or changing the filter) rebuilds the whole set.
    void Sync(const std::vector<QByteArray>& paths, std::uint32_t filter);
    // Closes every watch and watches these folders again (folders may have been replaced).
    void Rebuild(const std::vector<QByteArray>& paths, std::uint32_t filter);
    void Clear();
    bool Watching(const QByteArray& path) const { return m_slots.contains(path); }
    int Count() const { return int(m_slots.size()); }
    void ReportHandled(int slot);
    // The folder watched in a slot; empty when the slot is not one of ours.
    QByteArray PathOfSlot(int slot) const;
    // A report of a slot came: its folder joins the reported ones.
    void NoteReport(int slot);
    // The folders reported changed since the last call.
    QSet<QByteArray> TakeReported() { return std::exchange(m_reported, {}); }

    // Starts or restarts the refresh delay for a report. A steady stream of reports never
    // holds the refresh back by more than MaxDeferral delays after the first one.
    void RestartDelay(QTimer* timer, int delay);
    static constexpr int MaxDeferral = 10;

private:
    QObject* m_target;
    std::unique_ptr<TChangeHandlerThread> m_thread;
    QHash<QByteArray, int> m_slots;
    QSet<QByteArray> m_refused;
    QSet<QByteArray> m_reported;
    std::uint32_t m_filter = 0;
    QElapsedTimer m_burst;
};

// What a control does with an event that may be a change report.
enum class TReportAction { NotAReport, Dropped, Refresh };
// Marks a report as handled. It is dropped while the control has no watches, when the control
// ignores its next change (the flag is then cleared) and while a drag from the control runs;
// otherwise its folder joins the watches' reported folders.
TReportAction TakeChangeReport(QEvent* event, TFolderWatches* watches, bool& ignoreNext, bool dragRunning);

// The refresh delays: a control with the keyboard focus refreshes sooner.
inline constexpr int FocusedRefreshDelay = 400;
inline constexpr int UnfocusedRefreshDelay = 2000;

} // namespace corvane::shellctl
