// The second .doc preview (the office already up, as for every document after the first) next to
// a direct `soffice --headless --convert-to rtf` of the same file, in the same run. Goal: within
// 1.2 x of the direct conversion. While the preview converts, a 5 ms timer probes the
// user-interface thread: worstGapMs is the longest the event loop went without turning,
// firstWorstGapMs the same while the first document starts the office.
//
//   build/bench/bench_preview_office [--dir=PATH] [benchmark flags]
//
// The documents are made once in PATH (default /tmp/corvane-bench-office) by LibreOffice.
#include "preview/Preview.h"
#include "preview/engine/OfficeConverter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextEdit>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstring>

using namespace corvane;

namespace {

QString g_dir;
QString g_docs[2];

QString profileUrl(const QString& name)
{
    return QStringLiteral("-env:UserInstallation=file://") + g_dir + QLatin1Char('/') + name;
}

// Two letters of some pages in two fonts, as rich text turned into .doc by LibreOffice.
bool MakeDocuments()
{
    QDir().mkpath(g_dir);
    QStringList sources;
    for (int d = 0; d < 2; ++d) {
        g_docs[d] = g_dir + QStringLiteral("/letter%1.doc").arg(d);
        if (QFile::exists(g_docs[d]))
            continue;
        QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0\\froman Liberation Serif;}{\\f1\\fmodern DejaVu Sans Mono;}}";
        for (int p = 0; p < 200; ++p)
            rtf += "\\pard\\f" + QByteArray::number(p % 2) + " Paragraph " + QByteArray::number(p) +
                   " of letter " + QByteArray::number(d) + ": the quick brown fox jumps over the lazy dog.\\par";
        rtf += "}";
        const QString source = g_dir + QStringLiteral("/letter%1.rtf").arg(d);
        QFile f(source);
        if (!f.open(QIODevice::WriteOnly) || f.write(rtf) != rtf.size())
            return false;
        sources << source;
    }
    if (sources.isEmpty())
        return true;
    QProcess soffice;
    soffice.start(QStringLiteral("soffice"), QStringList{profileUrl(QStringLiteral("make-profile")), QStringLiteral("--headless"),
                                                        QStringLiteral("--convert-to"), QStringLiteral("doc"),
                                                        QStringLiteral("--outdir"), g_dir} + sources);
    return soffice.waitForFinished(300000) && QFile::exists(g_docs[0]) && QFile::exists(g_docs[1]);
}

void BM_DirectSoffice(benchmark::State& state)
{
    const QString out = g_dir + QStringLiteral("/direct");
    auto convert = [&out] {
        QFile::remove(out + QStringLiteral("/letter0.rtf"));
        QProcess soffice;
        soffice.start(QStringLiteral("soffice"), {profileUrl(QStringLiteral("direct-profile")), QStringLiteral("--headless"),
                                                  QStringLiteral("--convert-to"), QStringLiteral("rtf"),
                                                  QStringLiteral("--outdir"), out, g_docs[0]});
        return soffice.waitForFinished(300000) && QFile::exists(out + QStringLiteral("/letter0.rtf"));
    };
    // Its profile is made once, as the preview's is.
    if (!convert()) {
        state.SkipWithError("soffice did not convert (libreoffice-writer-nogui)");
        return;
    }
    for (auto _ : state) {
        if (!convert()) {
            state.SkipWithError("soffice did not convert");
            return;
        }
    }
}

// Shows `path` and returns once it is on screen; the worst gap of the event loop meanwhile.
bool showDocument(preview::TfrmPreview& view, const QString& path, double& worstGapMs)
{
    QEventLoop loop;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        worstGapMs = std::max(worstGapMs, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&view, &preview::TfrmPreview::PreviewLoaded, &loop, &QEventLoop::quit);
    probe.start();
    limit.start(300000);
    view.PreviewFile(path, false, QFileInfo(path).size());
    loop.exec();
    return !view.RichEdit1->isHidden();
}

void BM_SecondPreview(benchmark::State& state)
{
    preview::TfrmPreview view;
    view.OfficeConverter()->SetProfileFolder(g_dir + QStringLiteral("/preview-profile"));
    view.resize(800, 600);
    view.show();
    double worstGapMs = 0;
    // The first document starts the office; it is not measured.
    if (!showDocument(view, g_docs[1], worstGapMs)) {
        state.SkipWithError("the first document did not show");
        return;
    }
    state.counters["firstWorstGapMs"] = worstGapMs;
    worstGapMs = 0;
    int k = 0;
    for (auto _ : state) {
        if (!showDocument(view, g_docs[k++ % 2], worstGapMs)) {
            state.SkipWithError("the document did not show");
            return;
        }
    }
    state.counters["worstGapMs"] = worstGapMs;
}

BENCHMARK(BM_DirectSoffice)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_SecondPreview)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_dir = QDir::tempPath() + QStringLiteral("/corvane-bench-office");
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--dir=", 6) == 0)
            g_dir = QString::fromLocal8Bit(argv[i] + 6);
        else
            rest.push_back(argv[i]);
    }
    int restCount = int(rest.size());
    QApplication app(restCount, rest.data());
    if (!MakeDocuments()) {
        std::fprintf(stderr, "LibreOffice could not make the documents\n");
        return 1;
    }
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
