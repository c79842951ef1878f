#include "core/Job.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace corvane;
using corvane::core::Job;

namespace {

// Counts to `items`, asking one question halfway when asked to.
class CountingJob : public Job
{
public:
    explicit CountingJob(qint64 items, bool question = false) : m_items(items), m_question(question) {}
    int answer = -1;
    bool askedOnUiThread = false;

protected:
    void execute() override
    {
        addTotals(0, m_items);
        for (qint64 i = 0; i < m_items && !isCancelled(); ++i) {
            if (m_question && i == m_items / 2) {
                answer = ask([this] {
                    askedOnUiThread = QThread::currentThread() == qApp->thread();
                    return 42;
                }, 0);
            }
            addDone(1, 1);
            publishIfDue();
        }
    }

private:
    qint64 m_items;
    bool m_question;
};

// Blocks in open(2) on a FIFO until somebody opens its other end: a worker stuck in a system call.
class StuckJob : public Job
{
public:
    explicit StuckJob(QByteArray fifo) : m_fifo(std::move(fifo)) {}
    static std::atomic<int> destroyed;
    ~StuckJob() override { ++destroyed; }

protected:
    void execute() override
    {
        const int fd = ::open(m_fifo.constData(), O_RDONLY);
        if (fd >= 0)
            ::close(fd);
    }

private:
    QByteArray m_fifo;
};
std::atomic<int> StuckJob::destroyed{0};

} // namespace

TEST(Job, FinishedComesAfterTheFinalStateAndQuestionsAreAskedOnTheUiThread)
{
    CountingJob job(100'000, true);
    bool finishedSeen = false;
    qint64 doneAtFinish = -1;
    QObject::connect(&job, &Job::finished, qApp, [&] {
        finishedSeen = job.isFinished();
        doneAtFinish = job.progress().doneItems;
    });
    QSignalSpy spy(&job, &Job::finished);
    job.start();
    ASSERT_TRUE(spy.wait(30'000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(finishedSeen);
    EXPECT_EQ(doneAtFinish, 100'000);
    EXPECT_EQ(job.answer, 42);
    EXPECT_TRUE(job.askedOnUiThread);
}

TEST(Job, ACancelledJobDropsAQuestionNobodyHasSeenYet)
{
    CountingJob job(10, true);
    // The user-interface thread is busy (not processing events) while the job is cancelled, so the
    // question is still waiting in the queue: the worker must not hang on it.
    job.start();
    QThread::msleep(50);
    job.cancel();
    ASSERT_TRUE(job.wait(30'000));
    EXPECT_EQ(job.answer, 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(job.askedOnUiThread);
}

TEST(Job, LettingGoOfAStuckJobDoesNotWaitForIt)
{
    test::TempDir dir;
    const QByteArray fifo = dir.pathBytes() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    StuckJob::destroyed = 0;
    auto job = std::make_unique<StuckJob>(fifo);
    job->start();
    QTRY_VERIFY(job->isRunning());
    core::ReleaseJob(std::move(job));  // must return although the worker sits in open(2)
    EXPECT_EQ(core::AbandonedJobCount(), 1);
    EXPECT_EQ(StuckJob::destroyed, 0);
    // The disk answers at last: the job ends and goes by itself.
    const int writer = ::open(fifo.constData(), O_WRONLY);
    ASSERT_GE(writer, 0);
    ::close(writer);
    EXPECT_TRUE(core::WaitForAbandonedJobs(30'000));
    QTRY_COMPARE(StuckJob::destroyed.load(), 1);
}

TEST(Job, ReleasingAFinishedOrUnstartedJobDeletesItAtOnce)
{
    StuckJob::destroyed = 0;
    core::ReleaseJob(std::make_unique<StuckJob>(QByteArray()));
    EXPECT_EQ(StuckJob::destroyed, 1);
    {
        core::JobPtr<CountingJob> job(new CountingJob(10));
        job->run();
        EXPECT_TRUE(job->isFinished());
    }
    EXPECT_EQ(core::AbandonedJobCount(), 0);
}

namespace {

// Finds more work on the way than it counted first, as a merge of two folders does.
class OvershootingJob : public Job
{
protected:
    void execute() override
    {
        addTotals(100, 2);
        publishNow();
        addDone(150, 3);
        publishNow();
    }
};

} // namespace

TEST(Job, SnapshotsNeverShowMoreDoneThanTheWholeAndReachTheProgressHook)
{
    OvershootingJob job;
    std::vector<std::pair<qint64, qint64>> seen;  // done items and bytes of each snapshot
    job.setProgressHandler([&](const core::JobProgress& p) { seen.emplace_back(p.doneItems, p.doneBytes); });
    job.run();
    EXPECT_EQ(job.progress().doneItems, 2);
    EXPECT_EQ(job.progress().doneBytes, 100);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), std::make_pair(qint64(0), qint64(0)));
    EXPECT_EQ(seen.back(), std::make_pair(qint64(2), qint64(100)));
}
