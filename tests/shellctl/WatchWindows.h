#pragma once
// Small windows holding the watching controls, with a record of their refreshes and of the
// change reports they take.
#include "shellctl/ChangeHandler.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane::test {

// Counts the change reports delivered to the objects it watches.
class ReportCounter : public QObject
{
public:
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == shellctl::TChangeReportEvent::TypeOf(shellctl::CM_CHANGENOTIFY))
            ++Count;
        return false;
    }
};

// Runs the event loop without its timers until the counter has seen n reports in all: a
// refresh delay cannot run out meanwhile, however slowly the reports come.
inline bool TakeReportsUntil(const ReportCounter& counter, int n)
{
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::atomic<bool> expired{false};
    // Should the reports never come, the waiting loop is woken to give up.
    std::thread guard([&] {
        std::unique_lock lock(m);
        if (!cv.wait_for(lock, std::chrono::seconds(30), [&] { return done; })) {
            expired = true;
            QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::User));
        }
    });
    while (counter.Count < n && !expired)
        QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers | QEventLoop::WaitForMoreEvents);
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_all();
    guard.join();
    return counter.Count >= n;
}

// A tree linked to a list, or a list alone, beside a line edit that can take the focus.
struct WatchWindow {
    QWidget Window;
    shellctl::TShellTree* Tree = nullptr;
    shellctl::TShellList* List = nullptr;
    QLineEdit* Other = nullptr;
    // Refreshes begun and ended.
    int TreeRefreshes = 0, ListRefreshes = 0;
    int TreeRefreshed = 0, ListRefreshed = 0;
    ReportCounter TreeReports, ListReports;

    explicit WatchWindow(bool withTree)
    {
        auto* layout = new QVBoxLayout(&Window);
        if (withTree) {
            Tree = new shellctl::TShellTree(&Window);
            layout->addWidget(Tree);
        }
        List = new shellctl::TShellList(&Window);
        Other = new QLineEdit(&Window);
        layout->addWidget(List);
        layout->addWidget(Other);
        Window.resize(500, 600);
        Window.show();
        QApplication::setActiveWindow(&Window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
        if (Tree) {
            Tree->SetShellList(List);
            Tree->OnFillStart = [this](QObject*) { ++TreeRefreshes; };
            Tree->OnFillComplete = [this](QObject*) { ++TreeRefreshed; };
            Tree->installEventFilter(&TreeReports);
        }
        List->OnFillStart = [this](QObject*) { ++ListRefreshes; };
        List->OnFillComplete = [this](QObject*) { ++ListRefreshed; };
        List->installEventFilter(&ListReports);
    }

    void Focus(QWidget* w)
    {
        w->setFocus();
        QCoreApplication::processEvents();
    }
    void FocusList() { Focus(List->CurrentView()); }
    bool ListFocused() const
    {
        QWidget* f = QApplication::focusWidget();
        return f && List->isAncestorOf(f);
    }
    // Lets the controls bring their watches up to date.
    void Settle()
    {
        if (Tree) {
            EXPECT_TRUE(QTest::qWaitFor([this] { return Tree->WatchesUpToDate(); }, 30000));
        }
    }
    void ResetCounts()
    {
        TreeRefreshes = ListRefreshes = TreeRefreshed = ListRefreshed = 0;
        TreeReports.Count = ListReports.Count = 0;
    }
    // Waits (running the event loop) until the control has taken n reports in all.
    bool WaitForListReports(int n) { return QTest::qWaitFor([&] { return ListReports.Count >= n; }, 30000); }
    bool WaitForTreeReports(int n) { return QTest::qWaitFor([&] { return TreeReports.Count >= n; }, 30000); }
};

inline QStringList ListNames(shellctl::TShellList* list)
{
    QStringList names;
    for (int i = 0; i < list->Count(); ++i)
        names << list->DataOfIndex(i)->FileName();
    names.sort();
    return names;
}

inline QStringList ChildNames(QTreeWidgetItem* node)
{
    QStringList names;
    for (int i = 0; node && i < node->childCount(); ++i)
        names << node->child(i)->text(0);
    names.sort();
    return names;
}

} // namespace corvane::test
