// Copies a tree of small files and one big file through RunFileOperation, with the real progress
// dialog on screen, and with cp -r on the same data in the same run. Prints the best of N for
// each, their ratio, and how often the dialog showed new progress while it was visible.
//
//   build/bench/bench_copydialog [--dir FOLDER] [--repeat N] [--big-mb MB] [--files N]
//
// The data (real, incompressible bytes; nothing sparse) is made in a temporary folder inside
// FOLDER (default: the current folder) and removed at the end. The page cache cannot be dropped
// here: runs take turns at going first and each starts on a synced disk. The engine syncs each
// file before renaming it into place, so "cp -r; sync" is shown beside plain cp -r.
#include "app/Utility.h"
#include "bench/support/CopyBenchData.h"
#include "dialogs/FileOpDialogs.h"
#include "dialogs/JobProgress.h"
#include "platform/FileOperation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace corvane;
using namespace corvane::bench;

namespace {

// Watches the progress dialog from the user-interface thread: every change of what it shows
// (current file, byte or item text, bar) is one update. The copy runs on its own thread, so the
// 10 ms look does not slow it.
struct DialogWatch {
    QTimer timer;
    QElapsedTimer clock;
    qint64 shownMs = -1;
    qint64 lastChangeMs = -1;
    qint64 longestGapMs = 0;
    int updates = 0;
    QString last;

    DialogWatch()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] { look(); });
    }
    void start()
    {
        clock.start();
        timer.start();
    }
    void look()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dlg = qobject_cast<dialogs::TfrmJobProgress*>(w);
            if (!dlg || !dlg->isVisible())
                continue;
            const qint64 now = clock.elapsed();
            if (shownMs < 0)
                shownMs = now;
            const QString state = dlg->lblFile->text() + QLatin1Char('|') + dlg->lblBytes->text() + QLatin1Char('|')
                                  + QString::number(dlg->prgBytes->value());
            if (state != last) {
                last = state;
                ++updates;
                if (lastChangeMs >= 0)
                    longestGapMs = std::max(longestGapMs, now - lastChangeMs);
                lastChangeMs = now;
            }
        }
    }
};

struct DialogRun {
    double seconds = 0;
    double visibleSeconds = 0;
    int updates = 0;
    double longestGap = 0;
    double perSecond() const { return visibleSeconds > 0 ? updates / visibleSeconds : 0; }
};

DialogRun copyThroughDialog(const std::string& source, const std::string& target)
{
    DialogWatch watch;
    app::MsgBoxRecord box;
    app::SetMsgBoxRecorder(&box);
    const auto start = Clock::now();
    watch.start();
    const platform::FileOpResult r = app::RunFileOperation(
        platform::CopyFiles({QByteArray::fromStdString(source)}, QByteArray::fromStdString(target)),
        QStringLiteral("Copying"));
    DialogRun d;
    d.seconds = secondsSince(start);
    const qint64 endMs = watch.clock.elapsed();
    watch.timer.stop();
    app::SetMsgBoxRecorder(nullptr);
    if (r.status != platform::FileOpResult::Completed || !r.skipped.empty() || !box.text.isEmpty()) {
        std::fprintf(stderr, "the copy through the dialog did not complete: %s\n", box.text.toUtf8().constData());
        std::exit(1);
    }
    d.updates = watch.updates;
    if (watch.shownMs >= 0) {
        d.visibleSeconds = double(endMs - watch.shownMs) / 1000.0;
        d.longestGap = double(std::max(watch.longestGapMs, endMs - watch.lastChangeMs)) / 1000.0;
    }
    return d;
}

struct Row {
    std::string what;
    double cp = 0, cpSync = 0;
    DialogRun corvane;  // the fastest run
    // Over every run: the rate of updates while the dialog showed, the slowest run's rate
    // (of those that showed it for a second or more) and the longest wait for new progress.
    int updates = 0;
    double visible = 0;
    double slowestRate = -1;
    double longestGap = 0;
};

Row compare(const std::string& what, const std::string& data, const std::string& work, int repeat)
{
    Row row{what, 1e9, 1e9, {}};
    row.corvane.seconds = 1e9;
    const std::string name = data.substr(data.rfind('/') + 1);
    for (int i = 0; i < repeat; ++i) {
        const std::string n = what.substr(0, 3) + std::to_string(i);
        DialogRun d;
        auto corvane = [&] {
            run("sync && mkdir -p '" + work + "/corvane" + n + "'");
            d = copyThroughDialog(data, work + "/corvane" + n);
            run("sync");
            // Untimed: the copy must equal the original.
            run("diff -r -q '" + data + "' '" + work + "/corvane" + n + "/" + name + "' > /dev/null");
        };
        // Who goes first finds the disk idlest: take turns.
        if (i % 2)
            corvane();
        run("sync");
        const double cp = timed("cp -r '" + data + "' '" + work + "/cp" + n + "'");
        const double cpSync = cp + timed("sync");
        if (i % 2 == 0)
            corvane();
        // Untimed: free the space again, so many runs of a big file fit, and let the disk settle.
        run("rm -rf '" + work + "/corvane" + n + "' '" + work + "/cp" + n + "' && sync");
        std::printf("  %s, run %d: cp -r %.2f s, cp -r; sync %.2f s, Corvane %.2f s, %d updates in %.1f s shown\n",
                    what.c_str(), i + 1, cp, cpSync, d.seconds, d.updates, d.visibleSeconds);
        std::fflush(stdout);
        row.updates += d.updates;
        row.visible += d.visibleSeconds;
        if (d.visibleSeconds >= 1.0)
            row.slowestRate = row.slowestRate < 0 ? d.perSecond() : std::min(row.slowestRate, d.perSecond());
        row.longestGap = std::max(row.longestGap, d.longestGap);
        row.cp = std::min(row.cp, cp);
        row.cpSync = std::min(row.cpSync, cpSync);
        if (d.seconds < row.corvane.seconds)
            row.corvane = d;
    }
    return row;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string dir = ".";
    int repeat = 3;
    long bigMb = 2048;
    int files = 10000;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--dir") && hasValue)
            dir = argv[++i];
        else if (!std::strcmp(argv[i], "--repeat") && hasValue)
            repeat = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--big-mb") && hasValue)
            bigMb = std::max(1L, std::atol(argv[++i]));
        else if (!std::strcmp(argv[i], "--files") && hasValue)
            files = std::max(1, std::atoi(argv[++i]));
        else {
            std::printf("usage: %s [--dir FOLDER] [--repeat N] [--big-mb MB] [--files N]\n", argv[0]);
            return std::strcmp(argv[i], "--help") ? 2 : 0;
        }
    }
    QApplication app(argc, argv);

    const CopyData data = makeCopyData(dir, "copydialog-bench", files, bigMb);
    const std::string& root = data.root;

    std::printf("Reproduce: QT_QPA_PLATFORM=%s %s --dir '%s' --repeat %d --big-mb %ld --files %d\n",
                qgetenv("QT_QPA_PLATFORM").constData(), argv[0], dir.c_str(), repeat, bigMb, files);
    std::vector<Row> rows;
    rows.push_back(compare(std::to_string(files) + " small files", root + "/tree", root + "/work", repeat));
    rows.push_back(compare("one file of " + std::to_string(bigMb) + " MB", root + "/big/big.bin", root + "/work", repeat));
    run("rm -rf '" + root + "'");

    std::printf("\nBest of %d runs:\n", repeat);
    std::printf("%-24s %8s %12s %8s %6s %12s %10s %11s %8s\n", "data", "cp -r", "cp -r; sync", "Corvane", "ratio",
                "ratio (sync)", "updates/s", "slowest run", "max gap");
    for (const Row& r : rows) {
        const bool shown = r.visible > 0;
        std::printf("%-24s %7.2fs %11.2fs %7.2fs %5.2fx %11.2fx %10s %11s %8s\n", r.what.c_str(), r.cp, r.cpSync,
                    r.corvane.seconds, r.corvane.seconds / r.cp, r.corvane.seconds / r.cpSync,
                    shown ? QByteArray::number(r.updates / r.visible, 'f', 1).constData() : "not shown",
                    r.slowestRate >= 0 ? QByteArray::number(r.slowestRate, 'f', 1).constData() : "-",
                    shown ? (QByteArray::number(r.longestGap, 'f', 2) + "s").constData() : "-");
    }
    std::printf("Updates are counted while the dialog shows; it appears once a copy has run for about a second.\n");
    std::printf("Goal: within 1.2x of cp -r, at least 2 progress updates per second while the dialog shows.\n");
    return 0;
}
