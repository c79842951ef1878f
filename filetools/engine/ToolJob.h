#pragma once
// The job of the group rename, date/time, Destroy and batch copy tools: the work runs on a worker,
// and each failure waits on the user-interface thread until the user has read it, as it would in
// a run on that thread, so the messages come one at a time and in order.
#include "core/Job.h"

#include <QString>

#include <functional>
#include <mutex>

namespace corvane::filetools {

class ToolJob : public core::Job
{
    Q_OBJECT
public:
    // The work; it reports through the job's helpers and checks isCancelled().
    using Work = std::function<void(ToolJob&)>;
    explicit ToolJob(Work work) : m_work(std::move(work)) {}

    // Shows a failure; called on the user-interface thread while the work waits. Without it, or
    // without an event loop to run it, messages are only collected.
    std::function<void(const QString&)> OnMessage;
    // Asks a Yes/No question on the user-interface thread; without it the answer is No.
    std::function<bool(const QString&)> OnConfirm;

    // For the work, on the worker.
    void report(const QString& message);
    bool confirm(const QString& question);
    void totals(qint64 bytes, qint64 items) { addTotals(bytes, items); }
    void done(qint64 bytes, qint64 items) { addDone(bytes, items); publishIfDue(); }
    void current(const QByteArray& path) { setCurrentFile(path); }
    void status(const QString& text) { setText(text); publishIfDue(); }
    void flush() { publishNow(); }
    void scanningState(bool on) { setScanning(on); }

    // Every message reported, in order; final once finished.
    QStringList Messages() const;

protected:
    void execute() override { m_work(*this); }

private:
    Work m_work;
    QStringList m_messages;  // guarded by resultMutex()
};

} // namespace corvane::filetools
