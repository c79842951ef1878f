// Filling the file list with a 100,000-file folder in details view, sorted by name, until
// painted; next to QFileSystemModel with a QTreeView doing the same, and find(1) as the floor.
// Each mode runs in a process of its own, so that peak memory is the mode's alone.
//
//   build/bench/bench_list [--files=N] [--dir=PATH]          all modes, a table
//   build/bench/bench_list --mode=corvane|qfsm|find ...      one mode, one line
#include "shellctl/ShellList.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProcess>
#include <QTreeView>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long peakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void makeFolder(const QString& dir, int files)
{
    QDir().mkpath(dir);
    QString marker = dir + QStringLiteral("/.complete-%1").arg(files);
    if (QFile::exists(marker))
        return;
    for (int i = 0; i < files; ++i) {
        QByteArray name = QFile::encodeName(dir) + "/file" + QByteArray::number(i) + (i % 3 ? ".txt" : ".png");
        int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    for (int i = 0; i < files / 100; ++i)
        QDir().mkpath(dir + QStringLiteral("/folder%1").arg(i));
    QFile m(marker);
    m.open(QIODevice::WriteOnly);
}

// The list reads its folder on a worker; the fill ends when the items are in.
void waitForListing(corvane::shellctl::TShellList& list)
{
    if (!list.Listing())
        return;
    QEventLoop loop;
    QObject::connect(&list, &corvane::shellctl::TShellList::fillFinished, &loop, &QEventLoop::quit);
    loop.exec();
}

double runCorvane(const QString& dir, double& refreshMs, double& worstFrameMs)
{
    corvane::shellctl::TShellList list;
    list.SetViewStyle(corvane::shellctl::vsReport);
    list.resize(1000, 700);
    list.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    list.Folder().SetPath(dir);
    waitForListing(list);
    list.CurrentView()->viewport()->repaint();
    double fill = t.nsecsElapsed() / 1e6;

    QFile f(dir + QStringLiteral("/zz-added-file"));
    f.open(QIODevice::WriteOnly);
    f.close();
    t.restart();
    list.RefreshList();
    waitForListing(list);
    list.CurrentView()->viewport()->repaint();
    refreshMs = t.nsecsElapsed() / 1e6;
    QFile::remove(dir + QStringLiteral("/zz-added-file"));

    // Keyboard scrolling: page after page from the top, each repainted at once.
    list.CurrentView()->setFocus();
    worstFrameMs = 0;
    for (int i = 0; i < 200; ++i) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        t.restart();
        QApplication::sendEvent(list.CurrentView(), &key);
        list.CurrentView()->viewport()->repaint();
        worstFrameMs = std::max(worstFrameMs, t.nsecsElapsed() / 1e6);
    }
    return fill;
}

double runQfsm(const QString& dir, int expected)
{
    QFileSystemModel model;
    model.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    QTreeView view;
    view.setModel(&model);
    view.setSortingEnabled(true);
    view.sortByColumn(0, Qt::AscendingOrder);
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    QModelIndex root = model.setRootPath(dir);
    view.setRootIndex(root);
    // Loaded means every entry is in the model and sorted.
    while (model.rowCount(root) < expected) {
        if (model.canFetchMore(root))
            model.fetchMore(root);
        QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (t.elapsed() > 300000)
            break;
    }
    view.viewport()->repaint();
    return t.nsecsElapsed() / 1e6;
}

double runFind(const QString& dir)
{
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("find"), {dir, QStringLiteral("-maxdepth"), QStringLiteral("1"), QStringLiteral("-printf"),
                                     QStringLiteral("%s %T@ %f\\n")});
    p.waitForFinished(-1);
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int files = 100000;
    QString dir = QDir::tempPath() + QStringLiteral("/corvane-bench-100k");
    QString mode;
    for (const QString& a : app.arguments().mid(1)) {
        if (a.startsWith(QLatin1String("--files=")))
            files = a.mid(8).toInt();
        else if (a.startsWith(QLatin1String("--dir=")))
            dir = a.mid(6);
        else if (a.startsWith(QLatin1String("--mode=")))
            mode = a.mid(7);
    }
    makeFolder(dir, files);
    // Counted with readdir: a QDir listing would itself cost more memory than the list measured.
    int entries = 0;
    if (DIR* d = ::opendir(QFile::encodeName(dir).constData())) {
        while (dirent* e = ::readdir(d))
            entries += std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0;
        ::closedir(d);
    }
    if (mode == QLatin1String("corvane")) {
        double refresh = 0, frame = 0;
        double fill = runCorvane(dir, refresh, frame);
        std::printf("corvane %.1f %.1f %.1f %ld\n", fill, refresh, frame, peakKb());
        return 0;
    }
    if (mode == QLatin1String("qfsm")) {
        double ms = runQfsm(dir, entries);
        std::printf("qfsm %.1f %ld\n", ms, peakKb());
        return 0;
    }
    if (mode == QLatin1String("find")) {
        std::printf("find %.1f\n", runFind(dir));
        return 0;
    }
    // Warm the cache once, then each mode in its own process.
    runFind(dir);
    auto run = [&](const char* m) {
        QProcess p;
        p.start(app.applicationFilePath(), {QStringLiteral("--mode=") + QLatin1String(m), QStringLiteral("--dir=") + dir,
                                            QStringLiteral("--files=%1").arg(files)});
        p.waitForFinished(-1);
        return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed().split(QLatin1Char(' '));
    };
    QStringList c = run("corvane"), q = run("qfsm"), f = run("find");
    double fill = c.value(1).toDouble(), qfsm = q.value(1).toDouble(), find = f.value(1).toDouble();
    std::printf("Folder: %s (%d entries)\n", qPrintable(dir), entries);
    std::printf("%-34s %10s %12s\n", "", "time (ms)", "peak (MB)");
    std::printf("%-34s %10.1f %12.1f\n", "find -maxdepth 1 -printf", find, 0.0);
    std::printf("%-34s %10.1f %12.1f\n", "Corvane list, details, by name", fill, c.value(4).toDouble() / 1024);
    std::printf("%-34s %10.1f %12.1f\n", "QFileSystemModel + QTreeView", qfsm, q.value(2).toDouble() / 1024);
    std::printf("%-34s %10.1f\n", "Corvane RefreshList, one file more", c.value(2).toDouble());
    std::printf("%-34s %10.1f\n", "Corvane worst PageDown frame", c.value(3).toDouble());
    std::printf("fill / find = %.2fx   QFileSystemModel / fill = %.1fx   refresh / fill = %.2fx\n", fill / find, qfsm / fill,
                c.value(2).toDouble() / fill);
    std::printf("reproduce: build/bench/bench_list --files=%d\n", files);
    return 0;
}
