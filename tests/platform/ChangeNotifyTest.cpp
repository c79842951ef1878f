// The notification handles over inotify: what signals them, re-arming, folders that go
// away, several handles on one folder.
#include "platform/ChangeNotify.h"
#include "tests/support/StallFs.h"
#include "tests/support/TempDir.h"

#include <QFile>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::platform;
using corvane::test::StallFs;
using corvane::test::TempDir;

namespace {

bool signalled(ChangeHandle h, int ms)
{
    pollfd p{h, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1 && (p.revents & POLLIN);
}

void touch(const QByteArray& path)
{
    int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
}

// Events are handed on in order: once a fence folder's handle is signalled, every change
// made before it has been seen.
struct Fence {
    TempDir dir;
    ChangeHandle h = FindFirstChangeNotification(dir.pathBytes(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    int n = 0;
    ~Fence() { FindCloseChangeNotification(h); }
    void pass()
    {
        touch(dir.pathBytes() + "/f" + QByteArray::number(++n));
        ASSERT_TRUE(signalled(h, 5000));
        ASSERT_TRUE(FindNextChangeNotification(h));
    }
};

} // namespace

TEST(ChangeNotify, FilterDecidesWhatSignals)
{
    struct Case {
        const char* what;
        std::uint32_t filter;
        void (*change)(const QByteArray& dir);
        bool fires;
    };
    auto createFile = [](const QByteArray& d) { touch(d + "/new"); };
    auto makeFolder = [](const QByteArray& d) { ASSERT_EQ(::mkdir((d + "/sub").constData(), 0755), 0); };
    auto renameFile = [](const QByteArray& d) { ASSERT_EQ(::rename((d + "/old").constData(), (d + "/new").constData()), 0); };
    auto removeFolder = [](const QByteArray& d) { ASSERT_EQ(::rmdir((d + "/dir").constData()), 0); };
    auto writeFile = [](const QByteArray& d) { touch(d + "/old"); };
    const Case cases[] = {
        {"file created, file names", FILE_NOTIFY_CHANGE_FILE_NAME, createFile, true},
        {"folder made, file names", FILE_NOTIFY_CHANGE_FILE_NAME, makeFolder, false},
        {"folder made, folder names", FILE_NOTIFY_CHANGE_DIR_NAME, makeFolder, true},
        {"file created, folder names", FILE_NOTIFY_CHANGE_DIR_NAME, createFile, false},
        {"file renamed, both", FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, renameFile, true},
        {"folder removed, folder names", FILE_NOTIFY_CHANGE_DIR_NAME, removeFolder, true},
        {"file written, names", FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME, writeFile, false},
        {"file written, last write", FILE_NOTIFY_CHANGE_LAST_WRITE, writeFile, true},
    };
    Fence fence;
    ASSERT_NE(fence.h, INVALID_HANDLE_VALUE);
    for (const Case& c : cases) {
        TempDir dir{"old", "dir/"};
        ChangeHandle h = FindFirstChangeNotification(dir.pathBytes(), false, c.filter);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << c.what;
        c.change(dir.pathBytes());
        fence.pass();
        EXPECT_EQ(signalled(h, 0), c.fires) << c.what;
        EXPECT_TRUE(FindCloseChangeNotification(h));
    }
}

TEST(ChangeNotify, RearmedHandleWaitsForTheNextChange)
{
    TempDir dir;
    ChangeHandle h = FindFirstChangeNotification(dir.pathBytes(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Fence fence;
    for (int i = 0; i < 3; ++i)
        touch(dir.pathBytes() + "/a" + QByteArray::number(i));
    fence.pass();
    ASSERT_TRUE(signalled(h, 0));
    ASSERT_TRUE(FindNextChangeNotification(h));
    EXPECT_FALSE(signalled(h, 0));
    touch(dir.pathBytes() + "/b");
    EXPECT_TRUE(signalled(h, 5000));
    EXPECT_TRUE(FindCloseChangeNotification(h));
    EXPECT_FALSE(FindNextChangeNotification(h));
    EXPECT_FALSE(FindCloseChangeNotification(h));
}

TEST(ChangeNotify, FolderThatGoesAwaySignalsOnceAndCannotBeRearmed)
{
    TempDir parent{"gone/"};
    QByteArray gone = parent.pathBytes() + "/gone";
    ChangeHandle h = FindFirstChangeNotification(gone, false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_EQ(::rmdir(gone.constData()), 0);
    ASSERT_TRUE(signalled(h, 5000));
    // The watch is dropped after the folder's last event; it may take a moment to arrive.
    bool rearmed = true;
    for (int i = 0; i < 500 && rearmed; ++i) {
        rearmed = FindNextChangeNotification(h);
        if (rearmed)
            signalled(h, 10);
    }
    EXPECT_FALSE(rearmed);
    EXPECT_TRUE(FindCloseChangeNotification(h));
    // A new folder of the same name is a new watch.
    ASSERT_EQ(::mkdir(gone.constData(), 0755), 0);
    ChangeHandle again = FindFirstChangeNotification(gone, false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    touch(gone + "/x");
    EXPECT_TRUE(signalled(again, 5000));
    FindCloseChangeNotification(again);
}

TEST(ChangeNotify, HandlesOnOneFolderAreIndependent)
{
    // The tree and the list often watch the same folder.
    TempDir dir;
    ChangeHandle folders = FindFirstChangeNotification(dir.pathBytes(), false, FILE_NOTIFY_CHANGE_DIR_NAME);
    ChangeHandle files = FindFirstChangeNotification(dir.pathBytes(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_NE(folders, INVALID_HANDLE_VALUE);
    ASSERT_NE(files, INVALID_HANDLE_VALUE);
    touch(dir.pathBytes() + "/file");
    ASSERT_TRUE(signalled(files, 5000));
    Fence fence;
    fence.pass();
    EXPECT_FALSE(signalled(folders, 0));
    // Closing one leaves the other watching.
    EXPECT_TRUE(FindCloseChangeNotification(folders));
    ASSERT_TRUE(FindNextChangeNotification(files));
    touch(dir.pathBytes() + "/file2");
    EXPECT_TRUE(signalled(files, 5000));
    FindCloseChangeNotification(files);
}

TEST(ChangeNotify, WhatCannotBeWatched)
{
    TempDir dir{"file"};
    const struct {
        QByteArray path;
        bool subtree;
        int err;
    } cases[] = {
        {dir.pathBytes(), true, EINVAL},
        {dir.pathBytes() + "/missing", false, ENOENT},
        {dir.pathBytes() + "/file", false, ENOTDIR},
        {QByteArray(), false, EINVAL},
    };
    for (const auto& c : cases) {
        errno = 0;
        EXPECT_EQ(FindFirstChangeNotification(c.path, c.subtree, FILE_NOTIFY_CHANGE_FILE_NAME), INVALID_HANDLE_VALUE)
            << c.path.constData();
        EXPECT_EQ(errno, c.err) << c.path.constData();
    }
    EXPECT_FALSE(ChangeNotificationLimitReached());
}

TEST(ChangeNotify, WatchWaitingOnAVolumeThatDoesNotAnswerHoldsUpNoOtherWatch)
{
    StallFs fs{"a/"};
    ASSERT_TRUE(fs.ok());
    TempDir dir, other;
    ChangeHandle local = FindFirstChangeNotification(dir.pathBytes(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_NE(local, INVALID_HANDLE_VALUE);
    fs.Stall();
    std::atomic<ChangeHandle> stuck{INVALID_HANDLE_VALUE};
    std::thread adder([&] { stuck = FindFirstChangeNotification(fs.pathBytes("a"), false, FILE_NOTIFY_CHANGE_FILE_NAME); });
    // Should the watches wait for the stuck one, this lets the test end (and fail) rather than hang.
    std::mutex m;
    std::condition_variable cv;
    bool finished = false;
    std::thread guard([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(60), [&] { return finished; }))
            fs.Release();
    });
    ASSERT_TRUE(fs.WaitForBlocked(30000));

    // Meanwhile other folders still report, and watches come and go.
    touch(dir.pathBytes() + "/x");
    EXPECT_TRUE(signalled(local, 30000));
    ChangeHandle more = FindFirstChangeNotification(other.pathBytes(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    EXPECT_NE(more, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindCloseChangeNotification(more));
    EXPECT_TRUE(FindNextChangeNotification(local));
    EXPECT_EQ(fs.Blocked(), 1);  // all that while the add was still waiting

    fs.Release();
    adder.join();
    {
        std::lock_guard lock(m);
        finished = true;
    }
    cv.notify_all();
    guard.join();
    EXPECT_NE(stuck.load(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindCloseChangeNotification(stuck));
    EXPECT_TRUE(FindCloseChangeNotification(local));
}

TEST(ChangeNotify, AutoResetEvent)
{
    TAutoResetEvent e;
    ASSERT_TRUE(e.Valid());
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    e.Set();
    EXPECT_TRUE(e.Wait(1000));
    EXPECT_FALSE(e.Wait(0));
    e.Set();
    e.Reset();
    EXPECT_FALSE(e.Wait(10));
}
