#pragma once
// Long work runs as a job: a worker thread of its own, a cancel flag, a progress snapshot that the
// user interface polls a few times a second, and questions asked on the user-interface thread.
//
// The owner never waits for a worker: a worker stuck in a system call on a dead volume must not
// freeze a window. An owner that lets go of a running job hands it to ReleaseJob (JobPtr does so
// by itself): the job is cancelled and deletes itself once its worker returns; its result is then
// dropped. Work that can block on a disk therefore keeps everything it touches inside the job.
#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace corvane::core {

// A snapshot of a job's counters, published at most every progress interval.
struct JobProgress {
    qint64 totalBytes = 0;
    qint64 doneBytes = 0;
    qint64 totalItems = 0;
    qint64 doneItems = 0;
    QByteArray currentFile;  // raw path of the item being worked on
    QString text;            // what the job is doing, when a file name does not say it
    double bytesPerSecond = 0;
    bool scanning = false;   // still counting what there is to do
};

class Job : public QObject
{
    Q_OBJECT

public:
    ~Job() override;  // cancels; waits only for a job that an owner still holds (see ReleaseJob)

    void start();  // runs execute() on the job's own thread; finished() follows from that thread
    void run();    // runs execute() on the calling thread (tools and tests)
    bool wait(int msecs = -1);
    void cancel();  // from any thread; the work stops at its next check
    bool isCancelled() const { return m_cancel.load(std::memory_order_relaxed); }
    // The flag itself, for engines that take one.
    const std::atomic<bool>& cancelFlag() const { return m_cancel; }
    bool isFinished() const;
    bool isRunning() const;

    JobProgress progress() const;
    void setProgressInterval(int intervalMs);
    // Called on the worker with every snapshot as it is published; set before the job starts.
    // For tools and tests that act at a given point of the work.
    using ProgressHandler = std::function<void(const JobProgress&)>;
    void setProgressHandler(ProgressHandler handler) { m_onProgress = std::move(handler); }

    // Runs `ask` on the user-interface thread and returns its answer; the worker waits for it.
    // Gives `fallback` at once when the job is or gets cancelled while it waits, so a cancel never
    // hangs on a question nobody will answer.
    template <typename Answer, typename Ask>
    Answer ask(Ask ask, Answer fallback);

signals:
    // Emitted once from the thread that ran the job, after the final state is in place
    // (isFinished() is true and progress() and the results are final).
    void finished();

protected:
    explicit Job(QObject* parent = nullptr);

    virtual void execute() = 0;
    // Called on the worker after execute() (also after an exception): final bookkeeping.
    virtual void conclude() {}
    // An exception escaped execute(); the job is cancelled after this.
    virtual void failed(const QString& message);

    // Counters live on the worker and are copied under the mutex only when published.
    void setScanning(bool scanning);
    void addTotals(qint64 bytes, qint64 items);
    void addDone(qint64 bytes, qint64 items);
    void setCurrentFile(const QByteArray& path);
    void setText(const QString& text);
    void publishIfDue();  // cheap enough to call per block and per file
    void publishNow();
    // Time spent waiting for the user is no working time: the rate starts over from here.
    void restartRate();

    // Guards what subclasses publish alongside the counters (their results).
    std::mutex& resultMutex() const { return m_mutex; }

private:
    friend void ReleaseJob(std::unique_ptr<Job> job);
    void work();
    static bool postQuestion(std::function<void()> ask);

    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_released{false};

    JobProgress m_work;  // the worker's own counters
    qint64 m_intervalNs = 250'000'000;
    qint64 m_nextPublishNs = 0;
    qint64 m_rateSampleNs = 0;
    qint64 m_rateSampleBytes = 0;
    ProgressHandler m_onProgress;

    mutable std::mutex m_mutex;  // guards m_published, m_state and subclasses' results
    JobProgress m_published;
    enum class State { Idle, Running, Finished } m_state = State::Idle;
    std::condition_variable m_stateCv;
    std::thread m_thread;
};

// The slot a question's answer lands in. A question not yet shown is dropped when the job is
// cancelled; one on screen is always waited for, so the dialog never outlives what it shows.
struct JobAnswerSlot {
    enum State { Pending, Showing, Answered, Dropped };
    std::mutex mutex;
    std::condition_variable cv;
    State state = Pending;
};

// Lets go of a job without waiting: a finished one is deleted now, a running one is cancelled and
// deletes itself when its worker returns.
void ReleaseJob(std::unique_ptr<Job> job);

struct JobReleaser {
    void operator()(Job* job) const { ReleaseJob(std::unique_ptr<Job>(job)); }
};
template <typename T>
using JobPtr = std::unique_ptr<T, JobReleaser>;

// Jobs let go of while running and not yet ended; the program waits a little for them at exit.
int AbandonedJobCount();
bool WaitForAbandonedJobs(int msecs);

template <typename Answer, typename Ask>
Answer Job::ask(Ask askFn, Answer fallback)
{
    if (isCancelled())
        return fallback;
    auto slot = std::make_shared<JobAnswerSlot>();
    Answer answer = fallback;
    const bool posted = postQuestion([slot, &answer, &askFn] {
        {
            std::lock_guard lock(slot->mutex);
            if (slot->state != JobAnswerSlot::Pending)
                return;
            slot->state = JobAnswerSlot::Showing;
        }
        Answer a = askFn();
        std::lock_guard lock(slot->mutex);
        answer = std::move(a);
        slot->state = JobAnswerSlot::Answered;
        slot->cv.notify_all();
    });
    if (!posted)
        return fallback;
    std::unique_lock lock(slot->mutex);
    while (slot->state != JobAnswerSlot::Answered) {
        if (slot->state == JobAnswerSlot::Pending && isCancelled()) {
            slot->state = JobAnswerSlot::Dropped;
            return fallback;
        }
        slot->cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    restartRate();
    return answer;
}

} // namespace corvane::core
