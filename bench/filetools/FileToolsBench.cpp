// Destroy of a 1 GB file next to `shred --iterations=10 --remove` (ten passes each, each pass synced,
// the file deleted), and batch copy of 10,000 small files in 100 folders next to `cp -r`, on the
// same data in the same run; prints the times and the ratios.
//
//   build/bench/bench_filetools [--dir FOLDER] [--repeat N] [--mb MB] [--files N]
//
// The data is made in a temporary folder inside FOLDER (default: the current folder, so the same
// disk as the build) and deleted afterwards. The copy engine gives a new folder tree its name only
// once the tree is on the disk, so cp -r is also timed with a following sync.
#include "bench/support/CopyBenchData.h"
#include "filetools/engine/BatchCopyEngine.h"
#include "filetools/engine/DestroyEngine.h"
#include "filetools/engine/ToolJob.h"

#include <QByteArray>
#include <QCoreApplication>

using namespace corvane::bench;
using namespace corvane::filetools;

namespace {

double timedJob(const ToolJob::Work& work)
{
    ToolJob job(work);
    job.OnConfirm = [](const QString&) { return true; };
    const auto start = Clock::now();
    job.run();
    const double s = secondsSince(start);
    if (!job.Messages().isEmpty()) {
        std::fprintf(stderr, "the run reported: %s\n", qPrintable(job.Messages().join(u'\n')));
        std::exit(1);
    }
    return s;
}

void destroy(const std::string& root, long mb, int repeat)
{
    std::vector<char> buf(1 << 20);
    uint64_t state = 0x2545F4914F6CDD1Dull;
    double shredBest = 1e9, oursBest = 1e9;
    for (int i = 0; i < repeat; ++i) {
        const std::string a = root + "/shred.bin", b = root + "/destroy.bin";
        writeFile(a, size_t(mb) << 20, state, buf);
        writeFile(b, size_t(mb) << 20, state, buf);
        run("sync");
        double shred = 0, ours = 0;
        // Who goes first finds the disk idlest: take turns.
        const auto runOurs = [&] {
            ours = timedJob([&](ToolJob& job) { RunDestroy({QByteArray::fromStdString(b)}, job); });
            run("sync");
        };
        if (i % 2)
            runOurs();
        shred = timed("shred --iterations=10 --remove '" + a + "'");
        run("sync");
        if (i % 2 == 0)
            runOurs();
        std::printf("  run %d: shred %.2f s, Corvane %.2f s\n", i + 1, shred, ours);
        shredBest = std::min(shredBest, shred);
        oursBest = std::min(oursBest, ours);
    }
    std::printf("destroy one %ld MB file, 10 passes each, best of %d:\n", mb, repeat);
    std::printf("  shred -n10 -u  %7.2f s\n", shredBest);
    std::printf("  Corvane        %7.2f s   ratio %.2f (goal 1.1)\n", oursBest, oursBest / shredBest);
}

void batchCopy(const std::string& tree, const std::string& work, int files, int repeat)
{
    double cpBest = 1e9, cpSyncBest = 1e9, cpaBest = 1e9, oursBest = 1e9;
    for (int i = 0; i < repeat; ++i) {
        const std::string n = std::to_string(i);
        double ours = 0;
        const auto runOurs = [&] {
            run("sync && mkdir -p '" + work + "/ours" + n + "'");
            const QByteArray dest = QByteArray::fromStdString(work + "/ours" + n);
            ours = timedJob([&](ToolJob& job) { RunBatchCopy(QByteArray::fromStdString(tree), dest, job); });
            run("sync");
            // Untimed: the copy equals the original, below the source's whole path.
            run("diff -r -q '" + tree + "' '" + work + "/ours" + n + tree + "' > /dev/null");
        };
        if (i % 2)
            runOurs();
        const double cp = timed("cp -r '" + tree + "' '" + work + "/cp" + n + "'");
        const double cpSync = cp + timed("sync");
        // cp -a keeps modes and times, as the copy engine does.
        const double cpa = timed("cp -a '" + tree + "' '" + work + "/cpa" + n + "'");
        run("sync");
        if (i % 2 == 0)
            runOurs();
        std::printf("  run %d: cp -r %.2f s, cp -r; sync %.2f s, cp -a %.2f s, Corvane %.2f s\n", i + 1, cp, cpSync,
                    cpa, ours);
        cpaBest = std::min(cpaBest, cpa);
        cpBest = std::min(cpBest, cp);
        cpSyncBest = std::min(cpSyncBest, cpSync);
        oursBest = std::min(oursBest, ours);
    }
    std::printf("batch copy of %d small files in %d folders, best of %d:\n", files, (files + 99) / 100, repeat);
    std::printf("  cp -r          %7.2f s\n", cpBest);
    std::printf("  cp -r; sync    %7.2f s\n", cpSyncBest);
    std::printf("  cp -a          %7.2f s\n", cpaBest);
    std::printf("  Corvane        %7.2f s   ratio %.2f to cp -r (goal 1.2), %.2f to cp -r; sync, %.2f to cp -a\n",
                oursBest, oursBest / cpBest, oursBest / cpSyncBest, oursBest / cpaBest);
}

} // namespace

int main(int argc, char** argv)
{
    // The jobs ask their questions (the confirmation) on the application's thread.
    QCoreApplication app(argc, argv);
    const CopyBenchArgs args = parseCopyBenchArgs(argc, argv, "--mb", 1024);
    const std::string& dir = args.dir;
    const int repeat = args.repeat;
    const long mb = args.mb;
    const int files = args.files;
    const CopyData data = makeCopyData(dir, "filetools-bench", files, 1);
    destroy(data.root + "/big", mb, repeat);
    batchCopy(data.root + "/tree", data.root + "/work", files, repeat);
    run("rm -rf '" + data.root + "'");
    return 0;
}
