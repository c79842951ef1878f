// Conversion: 20 photos of 2000 x 1500 converted to PNG and to a 256-colour GIF by the conversion
// job, next to ImageMagick's `convert` on the same files in the same run (one process for all 20,
// using both cores as it does by default). Goal: at most 1x ImageMagick's time for each.
// Thumbnails: a folder of 1,000 photos of 4000 x 3000 in the thumbnail view: the first screen
// filled from cold (an empty thumbnail cache) and from the shared cache; maxStallMs is the longest
// the user-interface thread went without running its event loop meanwhile (goal: under 50 ms).
// Goals: first screen within 1 s cold and 0.2 s from the cache.
//
//   build/bench/bench_graphics [--dir=PATH] [benchmark flags]
#include "imaging/ConvertJob.h"
#include "imaging/view/ThumbnailView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstring>
#include <unistd.h>

using namespace corvane::imaging;

namespace {

QString g_dir = QStringLiteral("/tmp/corvane-bench-graphics");

// Noise over a gradient, as hard to compress as a photo.
QImage PhotoImage(int w, int h, int seed)
{
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(rng.bounded(40));
            line[x] = qRgb((x * 200 / w + n + seed * 13) & 255, (y * 200 / h + n) & 255, ((x + y) * 150 / (w + h) + n) & 255);
        }
    }
    return image;
}

void MakeJpeg(const QString& path, int w, int h, int seed)
{
    if (QFile::exists(path))
        return;
    QImageWriter writer(path + QStringLiteral(".part"), "jpeg");
    writer.setQuality(90);
    if (!writer.write(PhotoImage(w, h, seed)) || !QFile::rename(path + QStringLiteral(".part"), path))
        qFatal("cannot write %s", qPrintable(path));
}

QStringList Photos20()
{
    const QString dir = g_dir + QStringLiteral("/photos20");
    QDir().mkpath(dir);
    QStringList names;
    for (int i = 0; i < 20; ++i) {
        names << QStringLiteral("photo%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
        MakeJpeg(dir + u'/' + names.back(), 2000, 1500, i);
    }
    return names;
}

void FreshFolder(const QString& dir)
{
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

void Corvane(benchmark::State& state, PictureFormat format, ColorChoice colors)
{
    const QStringList names = Photos20();
    const QString out = g_dir + QStringLiteral("/out-corvane");
    for (auto _ : state) {
        state.PauseTiming();
        FreshFolder(out);
        state.ResumeTiming();
        ConvertJob job({g_dir + QStringLiteral("/photos20"), names, out, format, colors, 100});
        job.run();
        for (auto o : job.Outcomes())
            if (o != ConvertJob::Outcome::Converted)
                state.SkipWithError("a file was not converted");
    }
}

void Magick(benchmark::State& state, const QStringList& options, const QString& extension)
{
    Photos20();
    const QString out = g_dir + QStringLiteral("/out-magick");
    for (auto _ : state) {
        state.PauseTiming();
        FreshFolder(out);
        state.ResumeTiming();
        QProcess p;
        p.setWorkingDirectory(g_dir + QStringLiteral("/photos20"));
        QStringList args = {QStringLiteral("photo*.jpg")};
        args << options << QStringLiteral("-set") << QStringLiteral("filename:f") << QStringLiteral("%t")
             << out + QStringLiteral("/%[filename:f].") + extension;
        p.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("exec convert ") + args.join(u' ')});
        p.waitForFinished(-1);
        if (p.exitCode() != 0)
            state.SkipWithError("convert failed");
    }
}

void BM_CorvaneToPng(benchmark::State& s) { Corvane(s, PictureFormat::Png, ColorChoice::Colors16M); }
void BM_ImageMagickToPng(benchmark::State& s) { Magick(s, {}, QStringLiteral("png")); }
void BM_CorvaneToGif256(benchmark::State& s) { Corvane(s, PictureFormat::Gif, ColorChoice::Colors256); }
void BM_ImageMagickToGif256(benchmark::State& s) { Magick(s, {QStringLiteral("-colors"), QStringLiteral("256")}, QStringLiteral("gif")); }

// 1,000 names for 20 distinct 4000 x 3000 photos (hard links: each name is a file of its own for
// the cache, and the disk holds 20 photos, not 1,000).
QStringList Folder1000()
{
    const QString dir = g_dir + QStringLiteral("/photos1000");
    QDir().mkpath(dir);
    QStringList paths;
    for (int i = 0; i < 1000; ++i) {
        const QString path = dir + QStringLiteral("/img%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (i < 20)
            MakeJpeg(path, 4000, 3000, 100 + i);
        else if (!QFile::exists(path))
            ::link(QFile::encodeName(paths[i % 20]).constData(), QFile::encodeName(path).constData());
        paths << path;
    }
    return paths;
}

// Shows the view on the folder and runs the event loop until the first screen is filled.
double FirstScreen(const QStringList& paths, const QString& cacheRoot, double& maxStallMs, int& cells)
{
    TThumbnailView view;
    view.SetCache(ThumbnailCache(cacheRoot));
    view.resize(470, 460);
    view.show();
    QElapsedTimer clock;
    clock.start();
    for (const QString& p : paths)
        view.Add(p);
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start(2);
    while (!view.ScreenLoaded())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double seconds = clock.nsecsElapsed() / 1e9;
    QCoreApplication::processEvents();  // the last frame painted
    worst = std::max(worst, clock.nsecsElapsed() - last);
    maxStallMs = worst / 1e6;
    cells = 0;
    for (int i = 0; i < view.Count() && view.IsLoaded(i); ++i)
        ++cells;
    return seconds;
}

void Thumbnails(benchmark::State& state, bool warm)
{
    const QStringList paths = Folder1000();
    const QString cacheRoot = g_dir + QStringLiteral("/thumbnail-cache");
    double stall = 0;
    int cells = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!warm)
            QDir(cacheRoot).removeRecursively();
        else {
            double s;
            int c;
            FirstScreen(paths, cacheRoot, s, c);  // fills the cache
        }
        state.ResumeTiming();
        const double seconds = FirstScreen(paths, cacheRoot, stall, cells);
        state.SetIterationTime(seconds);
    }
    state.counters["maxStallMs"] = stall;
    state.counters["cellsOnScreen"] = cells;
}

void BM_ThumbnailsFirstScreenCold(benchmark::State& s) { Thumbnails(s, false); }
void BM_ThumbnailsFirstScreenFromCache(benchmark::State& s) { Thumbnails(s, true); }

} // namespace

BENCHMARK(BM_CorvaneToPng)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImageMagickToPng)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CorvaneToGif256)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImageMagickToGif256)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ThumbnailsFirstScreenCold)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_ThumbnailsFirstScreenFromCache)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--dir=", 6) == 0)
            g_dir = QString::fromLocal8Bit(argv[i] + 6);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
