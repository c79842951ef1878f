#include "Job.h"

#include "Clock.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <exception>

namespace corvane::core {

namespace {

std::mutex& abandonedMutex()
{
    static std::mutex m;
    return m;
}

std::condition_variable& abandonedCv()
{
    static std::condition_variable cv;
    return cv;
}

int& abandoned()
{
    static int n = 0;
    return n;
}

} // namespace

Job::Job(QObject* parent) : QObject(parent) {}

Job::~Job()
{
    cancel();
    if (m_thread.joinable())
        m_thread.join();
}

void Job::setProgressInterval(int intervalMs)
{
    m_intervalNs = qint64(std::max(intervalMs, 0)) * 1'000'000;
}

void Job::start()
{
    std::lock_guard lock(m_mutex);
    if (m_state != State::Idle)
        return;
    m_state = State::Running;
    m_thread = std::thread([this] { work(); });
}

void Job::run()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_state != State::Idle)
            return;
        m_state = State::Running;
    }
    work();
}

void Job::work()
{
    m_rateSampleNs = MonotonicNs();
    try {
        execute();
    } catch (const std::exception& e) {
        // Out of memory on a huge tree and the like: stop cleanly; what was done stays done.
        failed(QString::fromLocal8Bit(e.what()));
        cancel();
    }
    conclude();
    publishNow();
    bool released;
    {
        std::lock_guard lock(m_mutex);
        m_state = State::Finished;
        released = m_released.load();
    }
    m_stateCv.notify_all();
    // An owner may now delete the job; its destructor joins this thread, so the signal completes.
    emit finished();
    if (released) {
        // Nobody holds the job any more: it goes with its thread.
        m_thread.detach();
        deleteLater();
        std::lock_guard lock(abandonedMutex());
        --abandoned();
        abandonedCv().notify_all();
    }
}

bool Job::wait(int msecs)
{
    std::unique_lock lock(m_mutex);
    auto done = [this] { return m_state == State::Finished; };
    if (msecs < 0) {
        m_stateCv.wait(lock, done);
        return true;
    }
    return m_stateCv.wait_for(lock, std::chrono::milliseconds(msecs), done);
}

void Job::cancel()
{
    m_cancel.store(true, std::memory_order_relaxed);
}

bool Job::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return m_state == State::Finished;
}

bool Job::isRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_state == State::Running;
}

JobProgress Job::progress() const
{
    std::lock_guard lock(m_mutex);
    return m_published;
}

void Job::failed(const QString& message)
{
    setText(message);
}

void Job::setScanning(bool scanning)
{
    m_work.scanning = scanning;
}

void Job::addTotals(qint64 bytes, qint64 items)
{
    m_work.totalBytes += bytes;
    m_work.totalItems += items;
}

void Job::addDone(qint64 bytes, qint64 items)
{
    m_work.doneBytes += bytes;
    m_work.doneItems += items;
}

void Job::setCurrentFile(const QByteArray& path)
{
    m_work.currentFile = path;
}

void Job::setText(const QString& text)
{
    m_work.text = text;
}

void Job::publishIfDue()
{
    if (MonotonicNs() >= m_nextPublishNs)
        publishNow();
}

void Job::publishNow()
{
    const qint64 now = MonotonicNs();
    // The rate follows the last second or so, so a slow start does not drag it down for good.
    const qint64 span = now - m_rateSampleNs;
    if (span >= 1'000'000'000 || (span > 0 && m_work.bytesPerSecond == 0 && m_work.doneBytes > 0)) {
        m_work.bytesPerSecond = double(m_work.doneBytes - m_rateSampleBytes) * 1e9 / double(span);
        m_rateSampleNs = now;
        m_rateSampleBytes = m_work.doneBytes;
    }
    m_nextPublishNs = now + m_intervalNs;
    JobProgress shown = m_work;
    // Work found on the way (a merge counts every item it meets) never shows more done than all.
    if (shown.totalItems > 0)
        shown.doneItems = std::min(shown.doneItems, shown.totalItems);
    if (shown.totalBytes > 0)
        shown.doneBytes = std::clamp(shown.doneBytes, qint64(0), shown.totalBytes);
    {
        std::lock_guard lock(m_mutex);
        m_published = shown;
    }
    if (m_onProgress)
        m_onProgress(shown);
}

void Job::restartRate()
{
    m_rateSampleNs = MonotonicNs();
    m_rateSampleBytes = m_work.doneBytes;
}

bool Job::postQuestion(std::function<void()> ask)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    if (QThread::currentThread() == app->thread()) {
        ask();
        return true;
    }
    return QMetaObject::invokeMethod(app, std::move(ask), Qt::QueuedConnection);
}

void ReleaseJob(std::unique_ptr<Job> job)
{
    if (!job)
        return;
    job->cancel();
    {
        std::lock_guard lock(job->m_mutex);
        if (job->m_state == Job::State::Running && job->m_thread.joinable()) {
            job->m_released = true;
            std::lock_guard count(abandonedMutex());
            ++abandoned();
            job.release();
            return;
        }
    }
    // Idle, finished, or run on a caller's thread that has returned: nothing is left to wait for.
}

int AbandonedJobCount()
{
    std::lock_guard lock(abandonedMutex());
    return abandoned();
}

bool WaitForAbandonedJobs(int msecs)
{
    std::unique_lock lock(abandonedMutex());
    return abandonedCv().wait_for(lock, std::chrono::milliseconds(msecs), [] { return abandoned() == 0; });
}

} // namespace corvane::core
