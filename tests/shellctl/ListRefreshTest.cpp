// The list refreshes itself when its folder changes: one refresh per burst, after the delay
// its focus decides; its own renames are not refreshed again.
#include "WatchWindows.h"
#include "platform/ChangeNotify.h"
#include "platform/Namespace.h"
#include "platform/Trash.h"
#include "shellctl/ShellKeys.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <cstdio>
#include <memory>
#include <poll.h>
#include <set>

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
        w.ResetCounts();
        const int delay = focused ? FocusedRefreshDelay : UnfocusedRefreshDelay;
        const QTimer* timer = w.List->RefreshTimer();
        for (int i = 0; i < 10; ++i) {
            dir.addFile("f" + QByteArray::number(i));
            // Every report starts the whole delay again; nothing is refreshed while they come.
            ASSERT_TRUE(TakeReportsUntil(w.ListReports, i + 1));
            EXPECT_TRUE(timer->isActive());
            EXPECT_EQ(timer->interval(), delay);
            EXPECT_EQ(w.ListRefreshes, 0);
        }
        // The delay after the last report runs out: one refresh, and nothing more is due.
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.ListRefreshed > 0; }, delay + 30000));
        EXPECT_EQ(w.ListRefreshes, 1);
        EXPECT_FALSE(timer->isActive());
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
    w.ResetCounts();
    // Changes keep coming for longer than the longest deferral; a refresh still comes while
    // they do.
    QElapsedTimer clock;
    clock.start();
    const qint64 end = FocusedRefreshDelay * TFolderWatches::MaxDeferral + 1000;
    qint64 firstRefresh = -1;
    int n = 0;
    while (clock.elapsed() < end) {
        dir.addFile("s" + QByteArray::number(n++));
        QTest::qWait(100);
        if (firstRefresh < 0 && w.ListRefreshes > 0)
            firstRefresh = clock.elapsed();
    }
    ASSERT_GE(firstRefresh, 0);
    EXPECT_LT(firstRefresh, end - 500);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.List->Count() == n; }, 30000));
}

TEST(ListRefresh, OwnRenameIsNotRefreshedAgain)
{
    const struct {
        const char* how;
        bool throughList;
        int refreshes;
    } cases[] = {{"through the list", true, 0}, {"by another program", false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir{"a.txt", "b.txt"};
        WatchWindow w(false);
        w.List->Folder().SetPath(dir.path());
        w.FocusList();
        w.Settle();
        w.ResetCounts();
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
        // The report of the rename comes; it leads to a refresh only when another program renamed.
        ASSERT_TRUE(w.WaitForListReports(1));
        if (c.refreshes > 0) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return w.ListRefreshed > 0; }, 30000));
        }
        EXPECT_FALSE(w.List->RefreshTimer()->isActive());
        EXPECT_EQ(w.ListReports.Count, 1);
        EXPECT_EQ(w.ListRefreshes, c.refreshes);
        EXPECT_EQ(ListNames(w.List), (QStringList{"b.txt", "renamed.txt"}));
    }
}

// Editing that ends without a rename loses no live refresh: a refused name leaves no report
// ignored, and a refresh that came due while the caption was edited runs after Escape.
TEST(ListRefresh, EditingThatRenamesNothingLosesNoRefresh)
{
    {
        SCOPED_TRACE("refused name");
        TempDir dir{"a.txt", "b.txt"};
        WatchWindow w(false);
        w.List->Folder().SetPath(dir.path());
        w.FocusList();
        w.Settle();
        QString warning;
        SetShellWarningHook([&](const QString& t) { warning = t; });
        EXPECT_FALSE(w.List->ShellModel()->setData(w.List->ShellModel()->index(0, 0), "b.txt", Qt::EditRole));
        SetShellWarningHook(nullptr);
        EXPECT_FALSE(warning.isEmpty());
        dir.addFile("c.txt");
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.List->Count() == 3; }, 30000));
    }
    {
        SCOPED_TRACE("escape");
        TempDir dir{"a.txt"};
        WatchWindow w(false);
        w.List->SetOptions(w.List->Options() & ~sloDynamicRefresh);
        w.List->Folder().SetPath(dir.path());
        w.FocusList();
        ASSERT_TRUE(w.List->EditCaption(0));
        QLineEdit* editor = w.List->CurrentView()->viewport()->findChild<QLineEdit*>();
        ASSERT_TRUE(editor && editor->isVisible());
        dir.addFile("late.txt");
        w.List->RefreshList();
        EXPECT_EQ(w.List->Count(), 1);
        QTest::keyClick(editor, Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.List->Count() == 2; }, 30000));
    }
}

// The Trash has no path of its own, but its items change when anything is trashed or emptied:
// the list follows without F5.
TEST(ListRefresh, TrashFollowsItsFolders)
{
    const QByteArray trash = corvane::platform::HomeTrashPath();
    ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(trash + "/files")));
    ASSERT_TRUE(QDir().mkpath(QString::fromLocal8Bit(trash + "/info")));
    WatchWindow w(false);
    corvane::platform::PItemIDList abs;
    ASSERT_TRUE(corvane::platform::Succeeded(
        corvane::platform::SHGetSpecialFolderLocation(corvane::platform::CSIDL_BITBUCKET, abs)));
    w.List->Folder().SetIdList(abs);
    const int before = w.List->Count();
    QFile info(QString::fromLocal8Bit(trash + "/info/followed.txt.trashinfo"));
    ASSERT_TRUE(info.open(QIODevice::WriteOnly));
    info.write("[Trash Info]\nPath=/tmp/followed.txt\nDeletionDate=2026-12-11T05:00:00\n");
    info.close();
    QFile file(QString::fromLocal8Bit(trash + "/files/followed.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.List->Count() == before + 1; }, 30000));
    ASSERT_TRUE(file.remove());
    info.remove();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.List->Count() == before; }, 30000));
}

TEST(ListRefresh, DynamicRefreshCanBeSwitchedOffAndOn)
{
    using namespace corvane::platform;
    TempDir dir{"a"};
    WatchWindow w(false);
    w.List->Folder().SetPath(dir.path());
    w.FocusList();
    w.Settle();
    w.ResetCounts();
    const TShellListOptions on = w.List->Options();
    w.List->SetOptions(on & ~sloDynamicRefresh);
    EXPECT_EQ(w.List->Watches()->Count(), 0);
    // A watch of the test's own sees the change: by then the list would have had its report.
    ChangeHandle fence = FindFirstChangeNotification(dir.pathBytes(), false, FILE_NOTIFY_CHANGE_FILE_NAME);
    ASSERT_NE(fence, INVALID_HANDLE_VALUE);
    dir.addFile("b");
    pollfd p{fence, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 30000), 1);
    FindCloseChangeNotification(fence);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.ListReports.Count, 0);
    EXPECT_FALSE(w.List->RefreshTimer()->isActive());
    EXPECT_EQ(w.ListRefreshes, 0);
    EXPECT_EQ(w.List->Count(), 1);
    w.List->SetOptions(on);
    dir.addFile("c");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.List->Count() == 3; }, 30000));
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
        w.ResetCounts();
        ASSERT_TRUE(QDir(parent.filePath("gone")).removeRecursively());
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.ListRefreshed > 0; }, 30000));
        EXPECT_EQ(w.List->Count(), 0);
    }
}

namespace {

// Watches every change report the application delivers: to a living control, or not.
class ReportAudit : public QObject
{
public:
    std::set<QObject*> Alive;
    int Delivered = 0;
    int ToDeadControls = 0;

    ReportAudit() { QCoreApplication::instance()->installEventFilter(this); }
    ~ReportAudit() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* receiver, QEvent* e) override
    {
        if (e->type() == TChangeReportEvent::TypeOf(CM_CHANGENOTIFY))
            ++(Alive.count(receiver) ? Delivered : ToDeadControls);
        return false;
    }
};

} // namespace

TEST(WatchShutdown, ControlsGoWhileReportsAreOnTheirWay)
{
    TempDir dir{"a/", "b/"};
    ReportAudit audit;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* tree = new TShellTree(&window);
        auto* list = new TShellList(&window);
        layout->addWidget(tree);
        layout->addWidget(list);
        window.show();
        audit.Alive = {tree, list};
        tree->BaseFolder().SetPath(dir.path());
        list->Folder().SetPath(dir.path());
        ASSERT_TRUE(QTest::qWaitFor([&] { return tree->WatchesUpToDate(); }, 30000));
        ASSERT_TRUE(tree->Watches() && tree->Watches()->Watching(dir.pathBytes()));
        ASSERT_TRUE(list->Watches() && list->Watches()->Watching(dir.pathBytes()));
        const int before = audit.Delivered;
        for (int i = 0; i < 30; ++i) {
            dir.addFile("r" + QByteArray::number(round) + "_" + QByteArray::number(i));
            dir.addFolder("d" + QByteArray::number(round) + "_" + QByteArray::number(i));
        }
        // In one round the first reports are in before the controls go; in the others they
        // are still on their way.
        if (round == 1) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return audit.Delivered > before; }, 30000));
        }
        audit.Alive.erase(list);
        delete list;
        audit.Alive.erase(tree);
        delete tree;
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(audit.ToDeadControls, 0);
    EXPECT_GT(audit.Delivered, 0);
}
