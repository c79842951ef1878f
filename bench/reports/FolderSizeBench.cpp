// The folder sizes report's scan of a tree of 200,000 files in 2,000 folders next to `du -sb` on
// the same tree in the same run, both with warm caches and taking turns; then the time the
// window takes to fill its grid with the rows and sort it by bytes. Prints the figures and writes
// them to reports_bench.txt beside the program.
//
//   build/bench/bench_reports [--dir FOLDER] [--repeat N] [--folders N] [--files-per-folder N]
//
// The tree is made once in FOLDER (default: build/bench/reports-tree, the disk of the build) and
// kept for later runs.
#include "reports/FolderSize.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvane::reports;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// 20 top folders of 100 subfolders each (the top ones included: 2,000), each holding its share of
// the files, of 0 to 4,095 bytes.
void makeTree(const QByteArray& root, int folders, int filesPerFolder)
{
    const QByteArray done = root + "/.complete";
    if (::access(done.constData(), F_OK) == 0)
        return;
    std::printf("making the tree in %s ...\n", root.constData());
    QDir().mkpath(QString::fromLocal8Bit(root));
    const int perTop = 100;
    const QByteArray block(4096, 'x');
    for (int f = 0; f < folders; ++f) {
        const QByteArray top = root + "/top" + QByteArray::number(f / perTop);
        const QByteArray folder = f % perTop == 0 ? top : top + "/sub" + QByteArray::number(f % perTop);
        ::mkdir(folder.constData(), 0755);
        for (int i = 0; i < filesPerFolder; ++i) {
            const QByteArray file = folder + "/file" + QByteArray::number(i) + ".dat";
            const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::write(fd, block.constData(), size_t((f * 131 + i * 17) % 4096)) < 0)
                std::exit(1);
            ::close(fd);
        }
    }
    ::close(::open(done.constData(), O_WRONLY | O_CREAT, 0644));
}

double timeDu(const QByteArray& root)
{
    const std::string command = "du -sb '" + root.toStdString() + "' > /dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::exit(1);
    return secondsSince(start);
}

double timeScan(const QByteArray& root, std::vector<FolderRow>* rows)
{
    FolderScanOptions options;
    options.threads = 2;
    FolderSizeJob job({root}, options);
    const auto start = Clock::now();
    job.run();
    const double s = secondsSince(start);
    *rows = job.TakeRows();
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QByteArray root = QCoreApplication::applicationDirPath().toLocal8Bit() + "/reports-tree";
    int repeat = 5;
    int folders = 2000;
    int filesPerFolder = 100;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--dir")
            root = argv[i + 1];
        else if (a == "--repeat")
            repeat = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--folders")
            folders = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--files-per-folder")
            filesPerFolder = std::max(0, std::atoi(argv[i + 1]));
    }
    makeTree(root, folders, filesPerFolder);

    std::vector<FolderRow> rows;
    // Both find the tree in the caches.
    timeDu(root);
    timeScan(root, &rows);
    double duBest = 1e9;
    double scanBest = 1e9;
    for (int i = 0; i < repeat; ++i) {
        double du = 0;
        double scan = 0;
        if (i % 2) {
            scan = timeScan(root, &rows);
            du = timeDu(root);
        } else {
            du = timeDu(root);
            scan = timeScan(root, &rows);
        }
        std::printf("  run %d: du -sb %.3f s, Corvane %.3f s\n", i + 1, du, scan);
        duBest = std::min(duBest, du);
        scanBest = std::min(scanBest, scan);
    }
    qint64 files = 0;
    for (const FolderRow& r : rows)
        files += r.files;

    // The window's part after the scan: the grid filled, shown, then sorted by bytes.
    TfrmFolderSize form;
    form.show();
    QCoreApplication::processEvents();
    const auto start = Clock::now();
    form.ShowRows(rows);
    form.Grid1->sortByColumn(ColBytes, Qt::DescendingOrder);
    form.Grid1->viewport()->repaint();
    QCoreApplication::processEvents();
    const double grid = secondsSince(start);

    char text[1024];
    std::snprintf(text, sizeof text,
                  "folder sizes scan of %zu folders and %lld files, best of %d, 2 threads:\n"
                  "  du -sb    %7.3f s\n"
                  "  Corvane   %7.3f s   ratio %.2f (goal 1.0)\n"
                  "grid of %d rows filled, shown and sorted by bytes: %.3f s (goal 0.2)\n",
                  rows.size(), (long long)files, repeat, duBest, scanBest, scanBest / duBest,
                  form.Grid1->model()->rowCount(), grid);
    std::fputs(text, stdout);
    QFile out(QCoreApplication::applicationDirPath() + "/reports_bench.txt");
    if (out.open(QIODevice::WriteOnly))
        out.write(text);
    return 0;
}
