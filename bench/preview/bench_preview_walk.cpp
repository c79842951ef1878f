// Walking with the Down key through a folder of 200 mixed files (texts, rich texts, 24-megapixel
// photos, one 50 MB photo, program files) in an explorer window with the preview window open, the
// way a held-down key walks: one press every 33 ms. Measures the worst stall of the event loop
// (a 16 ms timer that should tick on time) and the worst gap between painted frames of the list
// and the preview while the walk goes on. Goal: no gap over 100 ms. A slower walk
// (--interval=250) lets every file arrive, so the cost of showing each one is in the figures.
//
//   build/bench/bench_preview_walk [--dir=PATH] [--interval=MS]
//
// The folder is made once (PATH, default /tmp/corvane-bench-walk) and kept for later runs; the
// program files are built with the MinGW cross compiler.
#include "app/Globals.h"
#include "app/Mainform.h"
#include "explorer/Child.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "shellctl/ShellControls.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QImage>
#include <QWindow>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace corvane;

namespace {

constexpr int kFiles = 200;

bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray textOf(int kilobytes, int seed)
{
    QByteArray out;
    int line = 0;
    while (out.size() < kilobytes * 1024)
        out += "Line " + QByteArray::number(++line + seed) + ": the quick brown fox jumps over the lazy dog, "
               "walking through a folder with the arrow keys.\r\n";
    return out;
}

QByteArray rtfOf(int kilobytes)
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Arial;}}"
                     "{\\colortbl;\\red200\\green0\\blue0;\\red0\\green0\\blue160;}\n";
    int n = 0;
    while (out.size() < kilobytes * 1024)
        out += "{\\pard\\f1\\fs28\\cf1\\b Heading " + QByteArray::number(++n) + "\\b0\\par}"
               "{\\pard\\f0\\fs22\\cf2 Body text in another font and colour, with \\i italic\\i0  and \\ul underlined\\ul0  "
               "words and an accented caf\\'e9.\\par}\n";
    return out + "}";
}

// A photograph-like picture: smooth colour fields with grain, so it compresses like a photo.
QImage photoOf(int width, int height, int grain)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int noise = grain ? int(random.bounded(grain)) - grain / 2 : 0;
            line[x] = qRgb(std::clamp(x * 255 / width + noise, 0, 255), std::clamp(y * 255 / height + noise, 0, 255),
                           std::clamp(((x + y) / 16) % 256 + noise, 0, 255));
        }
    }
    return image;
}

bool run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(120000) && p.exitCode() == 0;
}

// A small Windows program with a version resource, built once.
bool buildProgram(const QString& dir, QString& exe)
{
    exe = dir + QStringLiteral("/tool.exe");
    if (QFile::exists(exe))
        return true;
    const QString c = dir + QStringLiteral("/tool.c"), rc = dir + QStringLiteral("/tool.rc"), res = dir + QStringLiteral("/tool.o");
    write(c, "int main(void) { return 0; }\n");
    write(rc, "1 VERSIONINFO\nFILEVERSION 1,2,3,4\nPRODUCTVERSION 1,2,0,0\nBEGIN\n"
              " BLOCK \"StringFileInfo\"\n BEGIN\n  BLOCK \"040904E4\"\n  BEGIN\n"
              "   VALUE \"CompanyName\", \"Corvane Benchmark Company\"\n"
              "   VALUE \"FileDescription\", \"Walk benchmark program\"\n"
              "   VALUE \"FileVersion\", \"1.2.3.4\"\n   VALUE \"InternalName\", \"tool\"\n"
              "   VALUE \"LegalCopyright\", \"None\"\n   VALUE \"OriginalFilename\", \"tool.exe\"\n"
              "   VALUE \"ProductName\", \"Walk\"\n   VALUE \"ProductVersion\", \"1.2\"\n  END\n END\n"
              " BLOCK \"VarFileInfo\"\n BEGIN\n  VALUE \"Translation\", 0x409, 1252\n END\nEND\n");
    return run(QStringLiteral("x86_64-w64-mingw32-windres"), {rc, QStringLiteral("-O"), QStringLiteral("coff"), QStringLiteral("-o"), res})
           && run(QStringLiteral("x86_64-w64-mingw32-gcc"), {c, res, QStringLiteral("-o"), exe});
}

bool makeFolder(const QString& dir)
{
    // What the files are made from stays beside the folder, which holds the 200 files alone.
    const QString work = dir + QStringLiteral("-work");
    const QString marker = work + QStringLiteral("/complete");
    if (QFile::exists(marker))
        return true;
    QDir().mkpath(dir);
    QDir().mkpath(work);
    QString exe;
    if (!buildProgram(work, exe))
        return false;
    std::fprintf(stderr, "making the photos (once)...\n");
    const QString photo = work + QStringLiteral("/photo.jpg");
    if (!photoOf(6000, 4000, 24).save(photo, "JPEG", 90))
        return false;
    for (int i = 0; i < kFiles; ++i) {
        const QString base = dir + QStringLiteral("/f%1").arg(i, 3, 10, QLatin1Char('0'));
        bool ok = true;
        if (i == kFiles / 2) {
            // The big one: fine grain at a high quality gives about 50 MB.
            ok = photoOf(8000, 6000, 200).save(base + QStringLiteral("_big.jpg"), "JPEG", 97);
        } else {
            switch (i % 5) {
            case 0:
            case 3:
                ok = write(base + QStringLiteral(".txt"), textOf(1 + (i * 37) % 300, i));
                break;
            case 1:
                ok = write(base + QStringLiteral(".rtf"), rtfOf(10 + (i * 13) % 90));
                break;
            case 2:
                ok = QFile::copy(photo, base + QStringLiteral(".jpg"));
                break;
            case 4:
                ok = QFile::copy(exe, base + (i % 2 ? QStringLiteral(".dll") : QStringLiteral(".exe")));
                break;
            }
        }
        if (!ok)
            return false;
    }
    return write(marker, "");
}

// Paints of the list and the preview, and how late a 16 ms timer ticks.
struct FrameClock : QObject {
    QElapsedTimer clock;
    QWidget* list = nullptr;
    QWidget* preview = nullptr;
    std::vector<qint64> paints;
    qint64 lastTick = -1;
    qint64 worstTick = 0;
    bool recording = false;

    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (recording && e->type() == QEvent::Paint && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (w == list || list->isAncestorOf(w) || w == preview || preview->isAncestorOf(w))
                paints.push_back(clock.nsecsElapsed());
        }
        return false;
    }
    void tick()
    {
        const qint64 now = clock.nsecsElapsed();
        if (recording && lastTick >= 0)
            worstTick = std::max(worstTick, now - lastTick);
        lastTick = now;
    }
    qint64 worstPaintGap() const
    {
        qint64 worst = 0;
        for (size_t i = 1; i < paints.size(); ++i)
            worst = std::max(worst, paints[i] - paints[i - 1]);
        return worst;
    }
};

// Runs the event loop until `done` holds; false when it did not within `ms`.
template <typename Done>
bool waitFor(Done done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// A key as the window system delivers it: press and release to the focused view.
void press(QWidget* w, Qt::Key key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &up);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QString dir = QStringLiteral("/tmp/corvane-bench-walk");
    int interval = 33;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--dir=", 6) == 0)
            dir = QString::fromLocal8Bit(argv[i] + 6);
        else if (std::strncmp(argv[i], "--interval=", 11) == 0)
            interval = std::atoi(argv[i] + 11);
    }
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
    QApplication app(argc, argv);
    if (!makeFolder(dir)) {
        std::fprintf(stderr, "could not make the folder %s\n", qPrintable(dir));
        return 1;
    }
    platform::setCurrentUserHive(platform::Hive::inMemory());
    app::TfrmMain main;
    main.resize(1400, 900);
    main.show();
    if (!waitFor([&] { return main.windowHandle() && main.windowHandle()->isExposed(); }, 10000))
        return 1;
    main.actPreview->trigger();
    main.actTileVert->trigger();
    auto* preview = qobject_cast<preview::TfrmPreview*>(app::frmPreview.data());
    explorer::TfrmChild* child = main.Explorers().front();
    child->Tree1->SelectPath(dir);
    if (!waitFor([&] { return !child->List1->Listing() && child->List1->Count() == kFiles; }, 60000)) {
        std::fprintf(stderr, "the list shows %d items\n", child->List1->Count());
        return 1;
    }
    QApplication::setActiveWindow(&main);
    QAbstractItemView* view = child->List1->CurrentView();
    view->setFocus();
    press(view, Qt::Key_Home);
    if (!waitFor([&] { return !preview->Loading(); }, 60000))
        return 1;

    FrameClock frames;
    frames.list = view;
    frames.preview = preview;
    frames.clock.start();
    app.installEventFilter(&frames);
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, &frames, [&frames] { frames.tick(); });
    ticker.start(16);

    int pressed = 0;
    qint64 lastPress = 0;
    QEventLoop loop;
    QTimer keys;
    keys.setTimerType(Qt::PreciseTimer);
    QObject::connect(&keys, &QTimer::timeout, &loop, [&] {
        if (pressed == kFiles - 1) {
            keys.stop();
            lastPress = frames.clock.nsecsElapsed();
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
            return;
        }
        press(view, Qt::Key_Down);
        ++pressed;
    });
    frames.recording = true;
    const qint64 start = frames.clock.nsecsElapsed();
    keys.start(interval);
    loop.exec();
    // The last file arrives.
    if (!waitFor([&] { return !preview->Loading(); }, 60000))
        return 1;
    const qint64 settled = frames.clock.nsecsElapsed();
    frames.recording = false;

    std::printf("walk of %d files, one Down every %d ms, %s\n", kFiles, interval, qPrintable(QGuiApplication::platformName()));
    std::printf("  worst event-loop stall (16 ms timer):   %6.1f ms\n", frames.worstTick / 1e6);
    std::printf("  worst gap between painted frames:       %6.1f ms\n", frames.worstPaintGap() / 1e6);
    std::printf("  frames painted:                         %6zu\n", frames.paints.size());
    std::printf("  walk took:                              %6.1f ms\n", (lastPress - start) / 1e6);
    std::printf("  last file shown after the last press:   %6.1f ms\n", (settled - lastPress) / 1e6);
    std::printf("  shown at the end: %s\n", qPrintable(preview->windowTitle()));
    // With presses further apart than the goal, a quiet window rightly paints nothing between them.
    const bool paintsCount = interval < 100;
    const bool ok = frames.worstTick < 100'000'000 && (!paintsCount || frames.worstPaintGap() < 100'000'000);
    std::printf("  goal (no gap over 100 ms): %s\n", ok ? "met" : "missed");
    main.actPreview->trigger();
    return ok ? 0 : 2;
}
