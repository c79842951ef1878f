// The watch thread's protocol: slots, reports posted to the target, removal, a full
// table, reports folded while one is on its way, and shutdown.
#include "shellctl/ChangeHandler.h"
#include "platform/ChangeNotify.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <atomic>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace corvane::shellctl;
using namespace corvane::platform;
using corvane::test::TempDir;

namespace {

// Stands in for a control: records the slots of the reports it receives.
class Receiver : public QObject
{
public:
    std::vector<int> Slots;
    TChangeHandlerThread* Thread = nullptr;
    bool Acknowledge = true;

protected:
    void customEvent(QEvent* e) override
    {
        if (e->type() != TChangeReportEvent::TypeOf(CM_CHANGENOTIFY))
            return;
        auto* r = static_cast<TChangeReportEvent*>(e);
        EXPECT_EQ(r->LParam, 0);
        Slots.push_back(r->WParam);
        if (Acknowledge && Thread)
            Thread->ReportHandled(r->WParam);
    }
};

void touch(const QByteArray& path)
{
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
}

bool waitForSlot(Receiver& r, int slot)
{
    return QTest::qWaitFor([&] { return std::count(r.Slots.begin(), r.Slots.end(), slot) > 0; }, 30000);
}

int openFileCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

constexpr std::uint32_t Names = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;

} // namespace

TEST(ChangeHandlerThread, ReportsCarryTheSlotOfTheFolderThatChanged)
{
    TempDir a, b, c;
    Receiver r;
    TChangeHandlerThread t(&r, CM_CHANGENOTIFY);
    r.Thread = &t;
    int got[3] = {-1, -1, -1};
    ASSERT_TRUE(t.AddWatch(a.pathBytes(), Names, got[0], false));
    ASSERT_TRUE(t.AddWatch(b.pathBytes(), Names, got[1], false));
    ASSERT_TRUE(t.AddWatch(c.pathBytes(), Names, got[2], false));
    EXPECT_EQ(got[0], 0);
    EXPECT_EQ(got[1], 1);
    EXPECT_EQ(got[2], 2);
    touch(b.pathBytes() + "/x");
    ASSERT_TRUE(waitForSlot(r, 1));
    EXPECT_EQ(r.Slots, std::vector<int>{1});

    // Every watch gone: a change is not reported, a new watch takes the first slot again.
    t.RemoveAllWatches();
    r.Slots.clear();
    touch(a.pathBytes() + "/y");
    int fence = -1;
    ASSERT_TRUE(t.AddWatch(c.pathBytes(), Names, fence, false));
    EXPECT_EQ(fence, 0);
    touch(c.pathBytes() + "/z");
    ASSERT_TRUE(waitForSlot(r, 0));
    EXPECT_EQ(r.Slots, std::vector<int>{0});

    // One slot removed, the others stay.
    int second = -1;
    ASSERT_TRUE(t.AddWatch(a.pathBytes(), Names, second, false));
    t.RemoveWatch(fence);
    r.Slots.clear();
    touch(c.pathBytes() + "/gone");
    touch(a.pathBytes() + "/still");
    ASSERT_TRUE(waitForSlot(r, second));
    EXPECT_EQ(r.Slots, std::vector<int>{second});

    int unused = -1;
    EXPECT_FALSE(t.AddWatch(QByteArray(), Names, unused, false));
    EXPECT_FALSE(t.AddWatch(a.pathBytes() + "/missing", Names, unused, false));
    EXPECT_FALSE(t.AddWatch(a.pathBytes(), Names, unused, true));
}

TEST(ChangeHandlerThread, FullTableRefusesWithoutLeakingTheHandle)
{
    TempDir root;
    Receiver r;
    TChangeHandlerThread t(&r, CM_CHANGENOTIFY);
    for (int i = 0; i <= TChangeHandlerThread::SlotCount; ++i)
        root.addFolder(QByteArray::number(i));
    for (int i = 0; i < TChangeHandlerThread::SlotCount; ++i) {
        int slot = -1;
        ASSERT_TRUE(t.AddWatch(root.pathBytes() + '/' + QByteArray::number(i), Names, slot, false)) << i;
        EXPECT_EQ(slot, i);
    }
    const int before = openFileCount();
    int slot = 99;
    EXPECT_FALSE(t.AddWatch(root.pathBytes() + "/63", Names, slot, false));
    EXPECT_EQ(slot, 99);
    EXPECT_EQ(openFileCount(), before);
    // The last folder still reports through its slot.
    touch(root.pathBytes() + "/62/x");
    EXPECT_TRUE(waitForSlot(r, 62));
}

TEST(ChangeHandlerThread, BurstIsFoldedIntoTheReportOnItsWay)
{
    TempDir busy, fence;
    Receiver r;
    r.Acknowledge = false;
    TChangeHandlerThread t(&r, CM_CHANGENOTIFY);
    r.Thread = &t;
    int busySlot = -1, fenceSlot = -1;
    ASSERT_TRUE(t.AddWatch(busy.pathBytes(), Names, busySlot, false));
    ASSERT_TRUE(t.AddWatch(fence.pathBytes(), Names, fenceSlot, false));
    for (int i = 0; i < 200; ++i) {
        touch(busy.pathBytes() + "/f" + QByteArray::number(i));
        if (i % 20 == 0)
            QCoreApplication::processEvents();
    }
    touch(fence.pathBytes() + "/done");
    ASSERT_TRUE(waitForSlot(r, fenceSlot));
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count(r.Slots.begin(), r.Slots.end(), busySlot), 1);
    // Once the control has taken it, the next change reports again.
    t.ReportHandled(busySlot);
    r.Slots.clear();
    touch(busy.pathBytes() + "/after");
    EXPECT_TRUE(waitForSlot(r, busySlot));
}

TEST(ChangeHandlerThread, LateAnswerIsNotTakenForTheNextCommand)
{
    TempDir a, b, c;
    Receiver r;
    TChangeHandlerThread t(&r, CM_CHANGENOTIFY);
    r.Thread = &t;
    int slotA = -1;
    ASSERT_TRUE(t.AddWatch(a.pathBytes(), Names, slotA, false));
    // The worker answers the next command only once the command after it has been given.
    const quint64 late = t.LastCommandNumber() + 1;
    std::atomic<bool> heldBack{false};
    t.SetBeforeAnswer([&](TChangeHandlerThread::TCommand, quint64 number) {
        if (number != late)
            return;
        heldBack = true;
        while (t.LastCommandNumber() == late)
            std::this_thread::yield();
    });
    int slotB = 99;
    EXPECT_FALSE(t.AddWatch(b.pathBytes(), Names, slotB, false));  // past the wait: as if not added
    EXPECT_EQ(slotB, 99);
    EXPECT_TRUE(heldBack);
    int slotC = -1;
    ASSERT_TRUE(t.AddWatch(c.pathBytes(), Names, slotC, false));
    EXPECT_NE(slotC, slotA);

    // Each watched folder reports through the slot its own command was answered with; the
    // watch whose answer came too late reports nothing.
    touch(b.pathBytes() + "/x");
    touch(c.pathBytes() + "/x");
    ASSERT_TRUE(waitForSlot(r, slotC));
    touch(a.pathBytes() + "/x");
    ASSERT_TRUE(waitForSlot(r, slotA));
    EXPECT_EQ(r.Slots, (std::vector<int>{slotC, slotA}));
    // Removing by that slot removes that folder's watch and no other.
    t.RemoveWatch(slotC);
    r.Slots.clear();
    touch(c.pathBytes() + "/y");
    touch(a.pathBytes() + "/y");
    ASSERT_TRUE(waitForSlot(r, slotA));
    EXPECT_EQ(r.Slots, std::vector<int>{slotA});
}

TEST(ChangeHandlerThread, ShutdownWhileWaitingOrReporting)
{
    TempDir dir;
    // The process's one inotify instance stays once made.
    FindCloseChangeNotification(FindFirstChangeNotification(dir.pathBytes(), false, Names));
    const int before = openFileCount();
    {
        // Idle: the thread waits on its handles.
        Receiver r;
        TChangeHandlerThread t(&r, CM_CHANGENOTIFY);
        int slot = -1;
        ASSERT_TRUE(t.AddWatch(dir.pathBytes(), Names, slot, false));
    }
    {
        // Reports posted but not delivered when the thread and then its target go.
        auto r = std::make_unique<Receiver>();
        auto t = std::make_unique<TChangeHandlerThread>(r.get(), CM_CHANGENOTIFY);
        int slot = -1;
        ASSERT_TRUE(t->AddWatch(dir.pathBytes(), Names, slot, false));
        for (int i = 0; i < 50; ++i)
            touch(dir.pathBytes() + "/s" + QByteArray::number(i));
        t.reset();
        r.reset();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(openFileCount(), before);
}
