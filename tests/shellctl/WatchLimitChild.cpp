// Runs in a user namespace of its own (unshare --user --map-root-user), where it may lower
// the inotify limits without touching the rest of the machine. Mode "watches": one more
// watch than in use is allowed; "instances": no new inotify instance is allowed.
// Prints what failed; exits 0 when the controls kept working.
#include "platform/ChangeNotify.h"
#include "shellctl/ChangeHandler.h"
#include "shellctl/ShellList.h"
#include "shellctl/ShellTree.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <cstdio>
#include <unistd.h>

using namespace corvane::shellctl;

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    if (!ok) {
        ++failures;
        std::printf("FAILED: %s\n", what);
    }
}

// Inotify instances and watches this process holds.
void inotifyUse(int& instances, int& watches)
{
    instances = watches = 0;
    for (const QString& fd : QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System)) {
        if (QFile::symLinkTarget(QStringLiteral("/proc/self/fd/") + fd) != QLatin1String("anon_inode:inotify")
            && !QFileInfo(QStringLiteral("/proc/self/fd/") + fd).symLinkTarget().endsWith(QLatin1String("inotify")))
            continue;
        ++instances;
        QFile info(QStringLiteral("/proc/self/fdinfo/") + fd);
        if (info.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : info.readAll().split('\n'))
                watches += line.startsWith("inotify wd:");
        }
    }
}

bool writeLimit(const char* name, int value)
{
    QFile f(QStringLiteral("/proc/sys/user/") + QLatin1String(name));
    return f.open(QIODevice::WriteOnly) && f.write(QByteArray::number(value) + '\n') > 0;
}

void addFile(const QString& path)
{
    QFile f(path);
    check(f.open(QIODevice::WriteOnly), "file created");
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    QTemporaryDir x, y;
    addFile(x.filePath("one"));
    addFile(y.filePath("one"));

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* list1 = new TShellList(&window);
    auto* list2 = new TShellList(&window);
    auto* tree = new TShellTree(&window);
    layout->addWidget(list1);
    layout->addWidget(list2);
    layout->addWidget(tree);
    window.show();
    QApplication::setActiveWindow(&window);
    check(QTest::qWaitForWindowActive(&window), "window active");
    list1->CurrentView()->setFocus();
    QCoreApplication::processEvents();

    int instances = 0, watches = 0;
    inotifyUse(instances, watches);
    if (mode == "watches")
        check(writeLimit("max_inotify_watches", watches + 1), "watch limit lowered");
    else if (mode == "instances")
        check(writeLimit("max_inotify_instances", instances), "instance limit lowered");
    else
        check(false, "mode given");

    list1->Folder().SetPath(x.path());
    list2->Folder().SetPath(y.path());
    tree->BaseFolder().SetPath(QDir::tempPath());
    tree->SelectPath(x.path());
    check(QTest::qWaitFor([&] { return tree->WatchesUpToDate(); }, 30000), "tree watches settle");
    check(list1->Count() == 1 && list2->Count() == 1, "lists filled");
    check(tree->SelectedPath() == x.path(), "tree selects");
    check(corvane::platform::ChangeNotificationLimitReached(), "limit noticed");

    addFile(x.filePath("two"));
    addFile(y.filePath("two"));
    if (mode == "watches") {
        // The one watch left went to the first list, which refreshes by itself.
        check(QTest::qWaitFor([&] { return list1->Count() == 2; }, 30000), "watched list refreshed by itself");
        check(!list2->Watches() || list2->Watches()->Count() == 0, "second list not watched");
    } else {
        QCoreApplication::processEvents();
        check(!list1->Watches() || list1->Watches()->Count() == 0, "nothing watched");
        check(!tree->Watches() || tree->Watches()->Count() == 0, "tree not watched");
        check(list1->Count() == 1, "no refresh");
    }
    // F5 still works everywhere.
    list1->RefreshList();
    list2->RefreshList();
    check(list1->Count() == 2 && list2->Count() == 2, "manual refresh");
    QDir(x.path()).mkdir(QStringLiteral("sub"));
    tree->RefreshTree();
    check(tree->currentItem() && tree->currentItem()->childCount() <= 1, "tree refresh");
    std::printf("%s: %d failure(s)\n", mode.constData(), failures);
    return failures == 0 ? 0 : 1;
}
