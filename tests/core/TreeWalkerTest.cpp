#include "core/TreeWalker.h"
#include "tests/support/TempDir.h"

#include <QSet>

#include <cerrno>
#include <sys/mount.h>

#include <gtest/gtest.h>

using namespace corvane;
using core::TreeWalker;
using core::WalkEntry;
using core::WalkStep;

namespace {

struct Walked {
    QSet<QByteArray> paths;  // relative to the root
    QList<int> errors;
    bool complete = false;
};

Walked walk(const QByteArray& root, TreeWalker::Options options = {}, const std::atomic<bool>* stop = nullptr,
            int stopAfter = -1)
{
    Walked w;
    TreeWalker walker(options, stop);
    walker.onError([&](const QByteArray&, int e, bool) { w.errors << e; });
    int n = 0;
    w.complete = walker.walk(root, [&](const WalkEntry& e) {
        w.paths.insert(e.path.mid(root.size() + 1));
        return ++n == stopAfter ? WalkStep::Stop : WalkStep::Continue;
    });
    return w;
}

} // namespace

TEST(TreeWalker, LinksAreNotFollowedAndOddNamesKeepTheirBytes)
{
    test::TempDir dir({"a/b/c.txt", "a/d/", QByteArray("bad\xff\tname")});
    dir.addSymlink("a/self", ".");
    dir.addSymlink("a/b/up", "..");
    dir.addSymlink("a/proc", "/proc/self/root");
    const Walked w = walk(dir.pathBytes());
    EXPECT_TRUE(w.complete);
    EXPECT_EQ(w.paths, (QSet<QByteArray>{"a", "a/b", "a/b/c.txt", "a/d", QByteArray("bad\xff\tname"), "a/self",
                                         "a/b/up", "a/proc"}));
    EXPECT_TRUE(w.errors.isEmpty());
}

TEST(TreeWalker, AFolderThatContainsItselfThroughABindMountIsNotEnteredAgain)
{
    test::TempDir dir({"top/file", "top/inner/"});
    const QByteArray top = dir.pathBytes() + "/top";
    const QByteArray inner = top + "/inner";
    if (::mount(top.constData(), inner.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_FAIL() << "bind mount failed (tests run as root): " << errno;
    const Walked w = walk(top);
    ::umount2(inner.constData(), MNT_DETACH);
    EXPECT_TRUE(w.complete);
    EXPECT_EQ(w.paths, (QSet<QByteArray>{"file", "inner"}));
    EXPECT_EQ(w.errors, QList<int>{ELOOP});
}

TEST(TreeWalker, StopsAtTheFlagOrAVisitAndReportsAnUnreadableRoot)
{
    test::TempDir dir({"a/1", "a/2", "a/3", "b/4"});
    std::atomic<bool> stop{true};
    EXPECT_FALSE(walk(dir.pathBytes(), {}, &stop).complete);
    EXPECT_TRUE(walk(dir.pathBytes(), {}, &stop).paths.isEmpty());

    const Walked byVisit = walk(dir.pathBytes(), {}, nullptr, 2);
    EXPECT_FALSE(byVisit.complete);
    EXPECT_EQ(byVisit.paths.size(), 2);

    const Walked missing = walk(dir.pathBytes() + "/nothing");
    EXPECT_FALSE(missing.complete);
    EXPECT_EQ(missing.errors, QList<int>{ENOENT});
}

TEST(TreeWalker, TotalsCountFilesFoldersAndBytes)
{
    test::TempDir dir;
    dir.addFile("a/one", QByteArray(1000, 'x'));
    dir.addFile("a/b/two", QByteArray(24, 'y'));
    dir.addSymlink("a/link", "one");
    TreeWalker walker({});
    int progressCalls = 0;
    walker.onProgress([&](const core::WalkProgress&) { ++progressCalls; });
    ASSERT_TRUE(walker.walk(dir.pathBytes(), [](const WalkEntry&) { return WalkStep::Continue; }));
    EXPECT_EQ(walker.totals().folders, 2);
    EXPECT_EQ(walker.totals().files, 3);
    EXPECT_EQ(walker.totals().bytes, 1024 + qint64(sizeof("one") - 1));
    EXPECT_GE(progressCalls, 1);  // the final figures always reach the listener
}
