// Another thread creates many files in the folder an open list shows. Measured: how long
// after the last file was created the list shows them all (the manual time), how often the
// list refreshed meanwhile, and how long the creating took.
#include "shellctl/ShellList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <atomic>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace corvane::shellctl;

static void BM_ListShowsFilesCreatedElsewhere(benchmark::State& state)
{
    const int n = int(state.range(0));
    const bool focused = state.range(1) != 0;
    double refreshes = 0, creating = 0, latency = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* list = new TShellList(&window);
        auto* other = new QLineEdit(&window);
        layout->addWidget(list);
        layout->addWidget(other);
        list->SetViewStyle(vsReport);
        window.resize(800, 600);
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            state.SkipWithError("window not active");
        (focused ? static_cast<QWidget*>(list->CurrentView()) : other)->setFocus();
        list->Folder().SetPath(dir.path());
        QTest::qWait(20);

        QElapsedTimer clock;
        std::atomic<qint64> lastChange{-1}, createStart{0};
        qint64 shownAt = -1;
        int count = 0;
        list->OnFillComplete = [&](QObject*) {
            ++count;
            if (shownAt < 0 && list->Count() == n)
                shownAt = clock.nsecsElapsed();
        };
        clock.start();
        const QByteArray base = QFile::encodeName(dir.path()) + "/file";
        std::thread writer([&] {
            createStart = clock.nsecsElapsed();
            for (int i = 0; i < n; ++i) {
                int fd = ::open((base + QByteArray::number(i)).constData(), O_WRONLY | O_CREAT, 0644);
                if (fd >= 0)
                    ::close(fd);
            }
            lastChange = clock.nsecsElapsed();
        });
        const bool shown = QTest::qWaitFor([&] { return shownAt >= 0; }, 60000);
        writer.join();
        // Refreshes that would still follow count too.
        QTest::qWait(focused ? 1000 : 2500);
        if (!shown) {
            state.SkipWithError("the list never showed every file");
            break;
        }
        const double seconds = double(shownAt - lastChange) / 1e9;
        state.SetIterationTime(seconds);
        latency += seconds * 1000;
        refreshes += count;
        creating += double(lastChange - createStart) / 1e6;
    }
    state.counters["refreshes"] = benchmark::Counter(refreshes, benchmark::Counter::kAvgIterations);
    state.counters["after_last_ms"] = benchmark::Counter(latency, benchmark::Counter::kAvgIterations);
    state.counters["creating_ms"] = benchmark::Counter(creating, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ListShowsFilesCreatedElsewhere)
    ->ArgNames({"files", "focused"})
    ->Args({10000, 1})
    ->Args({10000, 0})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::printf("command:");
    for (int i = 0; i < argc; ++i)
        std::printf(" %s", argv[i]);
    std::printf("\n");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
