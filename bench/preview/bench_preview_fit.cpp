// A 24-megapixel photo shown at Fit in an 800 x 600 picture view: reading, decoding at the size
// the view needs, fitting and painting; next to `djpeg -scale 1/4` on the same file, the decoder
// alone at the same reduction, in the same run. Goal: within 1.5 x of djpeg.
// Then a 108-megapixel photo (12,000 x 9,000) at Fit and read whole: peakMB is the process's
// peak so far, which must stay under 1 GB.
//
//   build/bench/bench_preview_fit [--dir=PATH] [benchmark flags]
#include "imaging/view/ImageView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

#include <cstring>

using namespace corvane::imaging;

namespace {

QString g_photo;
QString g_huge;

// Noise over a gradient, so the file is as hard to compress as a photo; made once and kept.
QString MakePhoto(const QString& dir)
{
    QDir().mkpath(dir);
    const QString path = dir + QStringLiteral("/photo-6000x4000-q90.jpg");
    if (QFile::exists(path))
        return path;
    QImage image(6000, 4000, QImage::Format_RGB32);
    QRandomGenerator rng(42);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(rng.bounded(64));
            line[x] = qRgb((x * 191 / 6000 + n) & 255, (y * 191 / 4000 + n) & 255, ((x + y) * 127 / 10000 + n) & 255);
        }
    }
    QImageWriter writer(path + QStringLiteral(".part"), "jpeg");
    writer.setQuality(90);
    if (!writer.write(image) || !QFile::rename(path + QStringLiteral(".part"), path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Written through cjpeg row by row, so that making it does not raise this process's peak.
QString MakeHugePhoto(const QString& dir)
{
    const QString path = dir + QStringLiteral("/photo-12000x9000-q90.jpg");
    if (QFile::exists(path))
        return path;
    QProcess cjpeg;
    cjpeg.start(QStringLiteral("cjpeg"), {QStringLiteral("-quality"), QStringLiteral("90"), QStringLiteral("-outfile"),
                                         path + QStringLiteral(".part")});
    if (!cjpeg.waitForStarted())
        qFatal("cjpeg is missing (libjpeg-turbo-progs)");
    const int w = 12000, h = 9000;
    cjpeg.write(QByteArrayLiteral("P6\n12000 9000\n255\n"));
    QRandomGenerator rng(7);
    QByteArray row(w * 3, Qt::Uninitialized);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int n = int(rng.bounded(48));
            row[3 * x] = char((x * 200 / w + n) & 255);
            row[3 * x + 1] = char((y * 200 / h + n) & 255);
            row[3 * x + 2] = char(((x + y) / 100 + n) & 255);
        }
        cjpeg.write(row);
        cjpeg.waitForBytesWritten(-1);
    }
    cjpeg.closeWriteChannel();
    if (!cjpeg.waitForFinished(-1) || cjpeg.exitCode() != 0 || !QFile::rename(path + QStringLiteral(".part"), path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

long PeakKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void BM_CorvaneFit(benchmark::State& state)
{
    TImageView view;
    view.setFrameShape(QFrame::NoFrame);
    view.resize(800, 600);
    view.show();
    QImage screen(800, 600, QImage::Format_RGB32);
    for (auto _ : state) {
        Picture picture = LoadPicture(g_photo, QSize(800, 600));
        if (picture.isNull()) {
            state.SkipWithError("photo did not load");
            return;
        }
        view.SetPicture(std::move(picture));
        view.Fit();
        view.viewport()->render(&screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
    state.counters["zoom"] = view.Zoom();
    state.counters["decodedWidth"] = view.picture().image.width();
    state.counters["peakMB"] = double(PeakKb()) / 1024;
}

void BM_Djpeg(benchmark::State& state)
{
    for (auto _ : state) {
        QProcess p;
        p.start(QStringLiteral("djpeg"), {QStringLiteral("-scale"), QStringLiteral("1/4"), QStringLiteral("-outfile"),
                                         QStringLiteral("/dev/null"), g_photo});
        if (!p.waitForFinished(-1) || p.exitCode() != 0) {
            state.SkipWithError("djpeg failed (libjpeg-turbo-progs)");
            return;
        }
    }
}

void BM_HugeJpeg(benchmark::State& state)
{
    const QSize need = state.range(0) ? QSize(800, 600) : QSize();
    QSize decoded;
    for (auto _ : state) {
        const Picture picture = LoadPicture(g_huge, need);
        if (picture.isNull() || picture.size != QSize(12000, 9000)) {
            state.SkipWithError("photo did not load at its size");
            return;
        }
        decoded = picture.image.size();
    }
    state.counters["decodedWidth"] = decoded.width();
    state.counters["peakMB"] = double(PeakKb()) / 1024;
}

BENCHMARK(BM_CorvaneFit)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Djpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_HugeJpeg)->ArgName("fit")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QString dir = QDir::tempPath() + QStringLiteral("/corvane-bench-preview");
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--dir=", 6) == 0)
            dir = QString::fromLocal8Bit(argv[i] + 6);
        else
            rest.push_back(argv[i]);
    }
    int restCount = int(rest.size());
    QApplication app(restCount, rest.data());
    g_photo = MakePhoto(dir);
    g_huge = MakeHugePhoto(dir);
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
