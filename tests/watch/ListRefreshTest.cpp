// The list refreshes itself when its folder changes: one refresh per burst, after the delay
// its focus decides; its own renames are not refreshed again.
#include "WatchWindows.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <cstdio>
#include <memory>

using namespace corvane::shellctl;
using namespace corvane::test;

TEST(ListRefresh, BurstOfCreationsGivesOneRefreshAfterTheDelay)
{
    for (bool focused : {true, false}) {
        SCOPED_TRACE(focused ? "focused" : "not focused");
        TempDir dir{"first"};
        WatchWindow w(false);
        w.List->Folder().SetPath(dir.path());
        w.Focus(focused ? static_cast<QWidget*>(w.List->CurrentView()) : w.Other);
        ASSERT_EQ(w.ListFocused(), focused);
        w.Settle();
        w.ListRefreshes.clear();
        qint64 last = 0;
        for (int i = 0; i < 10; ++i) {
            if (i > 0)
                QTest::qWait(100);
            dir.addFile("f" + QByteArray::number(i));
            last = w.Clock.elapsed();
        }
        const int delay = focused ? FocusedRefreshDelay : UnfocusedRefreshDelay;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.ListRefreshes.empty(); }, delay + 5000));
        // Long enough for a second refresh, had a report come late.
        QTest::qWait(delay + 300);
        EXPECT_EQ(w.ListRefreshes.size(), 1u);
        EXPECT_GE(w.ListRefreshes.front() - last, delay);
        EXPECT_LT(w.ListRefreshes.front() - last, delay + 1500);
        EXPECT_EQ(w.List->Count(), 11);
    }
}

TEST(ListRefresh, SteadyStreamOfChangesStillRefreshes)
{
    // A folder that never rests (a download, a log) must not hold the view back for ever.
    TempDir dir;
    WatchWindow w(false);
    w.List->Folder().SetPath(dir.path());
    w.FocusList();
    w.Settle();
    w.ListRefreshes.clear();
    const qint64 end = w.Clock.elapsed() + FocusedRefreshDelay * TFolderWatches::MaxDeferral + 1000;
    int n = 0;
    while (w.Clock.elapsed() < end) {
        dir.addFile("s" + QByteArray::number(n++));
        QTest::qWait(100);
    }
    ASSERT_FALSE(w.ListRefreshes.empty());
    EXPECT_LT(w.ListRefreshes.front(), end - 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.List->Count() == n; }, 5000));
}

TEST(ListRefresh, OwnRenameIsNotRefreshedAgain)
{
    const struct {
        const char* how;
        bool throughList;
        size_t refreshes;
    } cases[] = {{"through the list", true, 0}, {"by another program", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir{"a.txt", "b.txt"};
        WatchWindow w(false);
        w.List->Folder().SetPath(dir.path());
        w.FocusList();
        w.Settle();
        w.ListRefreshes.clear();
        if (c.throughList) {
            int row = -1;
            for (int i = 0; i < w.List->Count(); ++i) {
                if (w.List->DataOfIndex(i)->FileName() == "a.txt")
                    row = i;
            }
            ASSERT_GE(row, 0);
            ASSERT_TRUE(w.List->ShellModel()->setData(w.List->ShellModel()->index(row, 0), "renamed.txt", Qt::EditRole));
        } else {
            ASSERT_EQ(std::rename(dir.filePath("a.txt").toLocal8Bit().constData(),
                                  dir.filePath("renamed.txt").toLocal8Bit().constData()),
                      0);
        }
        if (c.refreshes > 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !w.ListRefreshes.empty(); }, 5000));
        }
        QTest::qWait(FocusedRefreshDelay + 600);
        EXPECT_EQ(w.ListRefreshes.size(), c.refreshes);
        EXPECT_EQ(ListNames(w.List), (QStringList{"b.txt", "renamed.txt"}));
    }
}

TEST(ListRefresh, DynamicRefreshCanBeSwitchedOffAndOn)
{
    TempDir dir{"a"};
    WatchWindow w(false);
    w.List->Folder().SetPath(dir.path());
    w.FocusList();
    w.Settle();
    w.ListRefreshes.clear();
    const TShellListOptions on = w.List->Options();
    w.List->SetOptions(on & ~sloDynamicRefresh);
    dir.addFile("b");
    QTest::qWait(FocusedRefreshDelay + 600);
    EXPECT_TRUE(w.ListRefreshes.empty());
    EXPECT_EQ(w.List->Count(), 1);
    w.List->SetOptions(on);
    dir.addFile("c");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.List->Count() == 3; }, 5000));
}

TEST(ListRefresh, WatchedFolderThatGoesAwayEmptiesTheListQuietly)
{
    for (bool withFiles : {true, false}) {
        SCOPED_TRACE(withFiles ? "with files" : "empty");
        TempDir parent;
        parent.addFolder("gone");
        if (withFiles) {
            parent.addFile("gone/a");
            parent.addFile("gone/b");
        }
        WatchWindow w(false);
        w.List->Folder().SetPath(parent.filePath("gone"));
        w.FocusList();
        w.Settle();
        w.ListRefreshes.clear();
        ASSERT_TRUE(QDir(parent.filePath("gone")).removeRecursively());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !w.ListRefreshes.empty(); }, 5000));
        QTest::qWait(50);
        EXPECT_EQ(w.List->Count(), 0);
    }
}

TEST(WatchShutdown, ControlsGoWhileReportsAreOnTheirWay)
{
    TempDir dir{"a/", "b/"};
    for (int round = 0; round < 3; ++round) {
        auto tree = std::make_unique<TShellTree>();
        auto list = std::make_unique<TShellList>();
        tree->BaseFolder().SetPath(dir.path());
        list->Folder().SetPath(dir.path());
        QTest::qWait(20);
        for (int i = 0; i < 30; ++i) {
            dir.addFile("r" + QByteArray::number(round) + "_" + QByteArray::number(i));
            dir.addFolder("d" + QByteArray::number(round) + "_" + QByteArray::number(i));
        }
        if (round == 1)
            QCoreApplication::processEvents();
        list.reset();
        tree.reset();
        QCoreApplication::processEvents();
    }
    SUCCEED();
}
