#include "app/Globals.h"
#include "app/Mainform.h"
#include "core/Job.h"
#include "imaging/view/ImageView.h"
#include "platform/Registry.h"
#include "preview/Preview.h"
#include "settings/PFormSettings.h"
#include "tests/support/StallFs.h"
#include "tests/support/PreviewWindowFixture.h"
#include "tests/support/TempDir.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFrame>
#include <QFileInfo>
#include <QImage>
#include <QMediaPlayer>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include <gtest/gtest.h>

using namespace corvane;
using corvane::preview::TfrmPreview;

namespace {

constexpr int kWaitMs = 30000;
// The test program runs itself again as root without the sandbox switch (see AsRoot below).
constexpr const char* kRootChild = "CORVANE_TEST_WEB_ROOT_CHILD";

struct WebMedia : test::PreviewWindowFixture {
    static void SetUpTestSuite()
    {
        // The web engine's sandbox cannot run as root; a user running Corvane as root sets the
        // same switch (see README).
        if (qEnvironmentVariableIsEmpty(kRootChild))
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    preview::TWebBrowser* web() const { return preview()->WebBrowser1; }
    preview::TMediaPlayer* player() const { return preview()->Player1; }
    // Selects the file as the explorer window does and waits until its file check has ended.
    void select(const QString& path)
    {
        preview()->PreviewFile(path, false, QFileInfo(path).size());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !preview()->Loading(); }, kWaitMs));
    }
    // Selects a page and waits until it is on screen or has failed; true when shown.
    bool showPage(const QString& path)
    {
        QSignalSpy loaded(web(), &preview::TWebBrowser::PageLoaded);
        select(path);
        if (loaded.isEmpty() && !loaded.wait(kWaitMs))
            return false;
        return loaded.last().at(0).toBool() && web()->isVisible();
    }
    QStringList shown() const
    {
        TfrmPreview* p = preview();
        QStringList out;
        const std::pair<QWidget*, const char*> parts[] = {
            {p->RichEdit1, "RichEdit1"}, {p->Image1, "Image1"}, {p->WebBrowser1, "WebBrowser1"},
            {p->pnlMedia, "pnlMedia"}, {p->toolText, "toolText"}, {p->toolGraphics, "toolGraphics"},
            {p->toolMedia, "toolMedia"}};
        for (auto [w, name] : parts) {
            if (!w->isHidden())
                out << QString::fromLatin1(name);
        }
        return out;
    }
    // A file made by a GStreamer pipeline ending in a file sink.
    QString gstFile(const QString& name, const QString& pipeline)
    {
        const QString path = dir.filePath(name);
        const int status = test::runShell(QStringLiteral("gst-launch-1.0 -q %1 ! filesink location='%2'").arg(pipeline, path));
        return status == 0 && QFileInfo(path).size() > 0 ? path : QString();
    }
};

const QStringList kWeb{"WebBrowser1"};
const QStringList kMedia{"pnlMedia", "toolMedia"};
const QStringList kNothing{};

QByteArray colourPng(Qt::GlobalColor colour)
{
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray bytesOf(std::initializer_list<quint32> values)
{
    QByteArray out;
    for (quint32 v : values)
        out.append(char(v & 0xff));
    return out;
}

// A mono 16-bit PCM WAV of a 440 Hz tone.
QByteArray toneWav(int milliseconds)
{
    constexpr int rate = 8000;
    const int samples = rate * milliseconds / 1000;
    QByteArray data;
    for (int i = 0; i < samples; ++i) {
        const qint16 v = qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
        data.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    }
    auto le32 = [](quint32 v) { return bytesOf({v, v >> 8, v >> 16, v >> 24}); };
    auto le16 = [](quint32 v) { return bytesOf({v, v >> 8}); };
    return "RIFF" + le32(36 + data.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(rate) + le32(rate * 2)
         + le16(2) + le16(16) + "data" + le32(data.size()) + data;
}

// A MIDI file of four half-second notes.
QByteArray notesMidi()
{
    QByteArray track;
    for (char note : {60, 64, 67, 72})
        track += QByteArray("\x00\x90", 2) + note + '\x64' + QByteArray("\x83\x60\x80", 3) + note + '\0';
    track += QByteArray("\x00\xff\x2f\x00", 4);
    const quint32 n = quint32(track.size());
    return QByteArray("MThd\0\0\0\x06\0\0\0\x01\x01\xe0", 14) + "MTrk" + bytesOf({n >> 24, n >> 16, n >> 8, n})
         + track;
}

} // namespace

// A page that asks for remote things makes no connection, runs no script and keeps no history;
// files beside it load, files elsewhere on the machine do not.
TEST_F(WebMedia, PageMakesNoRequestAndRunsNoScript)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    int connections = 0;
    QObject::connect(&listener, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = listener.nextPendingConnection()) {
            ++connections;
            s->deleteLater();
        }
    });
    const QString remote = QStringLiteral("http://127.0.0.1:%1").arg(listener.serverPort());
    dir.addFile("site/red.png", colourPng(Qt::red));
    dir.addFile("elsewhere/blue.png", colourPng(Qt::blue));
    dir.addFile("site/page.html", QStringLiteral(
        "<html><head><title>Plain</title>"
        "<meta http-equiv='refresh' content='0; url=%1/moved'>"
        "<link rel='stylesheet' href='%1/style.css'><link rel='preconnect' href='%1'>"
        "<link rel='prefetch' href='%1/next'></head>"
        "<body style='margin:0'><img src='red.png' style='position:absolute;left:0;top:0'>"
        "<img src='../elsewhere/blue.png' style='position:absolute;left:60px;top:0'>"
        "<img src='%1/remote.png' style='position:absolute;left:120px;top:0'>"
        "<iframe src='%1/frame' style='position:absolute;left:0;top:60px'></iframe>"
        "<script>document.title = 'script ran'; new Image().src = '%1/beacon.png';</script>"
        "<a href='%1/link'>link</a></body></html>").arg(remote).toUtf8());
    dir.addFile("site/second.htm", "<html><body>second</body></html>");

    ASSERT_TRUE(showPage(dir.filePath("site/page.html")));
    EXPECT_EQ(shown(), kWeb);
    QWebEngineView* view = web()->View();
    EXPECT_EQ(view->title(), "Plain");
    // The refresh would have gone at once; the next page comes after anything of the first.
    ASSERT_TRUE(showPage(dir.filePath("site/second.htm")));
    ASSERT_TRUE(showPage(dir.filePath("site/page.html")));
    QImage shot;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        shot = view->grab().toImage();
        return shot.pixelColor(20, 20) == QColor(Qt::red);
    }, kWaitMs));
    EXPECT_NE(shot.pixelColor(80, 20), QColor(Qt::blue));
    EXPECT_FALSE(view->history()->canGoBack());
    EXPECT_LE(view->history()->count(), 1);
    EXPECT_EQ(view->page()->profile()->isOffTheRecord(), true);
    EXPECT_EQ(connections, 0);

    // The listener does count a connection.
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, listener.serverPort());
    ASSERT_TRUE(QTest::qWaitFor([&] { return connections == 1; }, kWaitMs));
}

// The engine starts with the first page, not before; pages at or above the size limit, pipes
// and missing files never reach it and leave the browser hidden; a page that refreshes itself
// loads once.
TEST_F(WebMedia, PagesBelowTheLimitOnly)
{
    main.Settings().SettingByName("MaxPreviewSize").SetAsInteger(1);
    preview::ReadPreviewLimit();
    dir.addFile("notes.txt", "text");
    dir.addFile("big.htm", QByteArray(1024, ' '));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.html")).constData(), 0600), 0);
    for (const char* name : {"notes.txt", "big.htm", "pipe.html", "gone.xml"}) {
        select(dir.filePath(QString::fromLatin1(name)));
        EXPECT_FALSE(shown().contains("WebBrowser1")) << name;
    }
    EXPECT_EQ(web()->View(), nullptr);

    dir.addFile("data.xml", "<?xml version='1.0'?><root><item>one</item></root>");
    ASSERT_TRUE(showPage(dir.filePath("data.xml")));
    EXPECT_EQ(shown(), kWeb);
    const QByteArray loop = "<html><head><meta http-equiv='refresh' content='0'></head><body>again</body></html>";
    dir.addFile("loop.HTM", loop + QByteArray(1023 - loop.size(), ' '));
    QSignalSpy finished(web()->View(), &QWebEngineView::loadFinished);
    ASSERT_TRUE(showPage(dir.filePath("loop.HTM")));
    // The refresh would come at once after the load; it is refused.
    QTest::qWait(500);
    EXPECT_EQ(std::count_if(finished.begin(), finished.end(), [](const QList<QVariant>& ok) { return ok.at(0).toBool(); }), 1);
    EXPECT_EQ(shown(), kWeb);

    // Another kind of file hides the page at once.
    select(dir.filePath("notes.txt"));
    EXPECT_FALSE(shown().contains("WebBrowser1"));
}

// As root with the sandbox left on, the engine would end the whole program: the page stays
// hidden and Corvane runs on.
TEST_F(WebMedia, AsRootWithoutSandboxSwitch)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "runs as root only";
    if (qEnvironmentVariableIsEmpty(kRootChild)) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QTWEBENGINE_DISABLE_SANDBOX");
        env.remove("QTWEBENGINE_CHROMIUM_FLAGS");
        env.insert(kRootChild, "1");
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=WebMedia.AsRootWithoutSandboxSwitch"});
        ASSERT_TRUE(child.waitForFinished(kWaitMs * 2));
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0);
        return;
    }
    dir.addFile("page.html", "<html><body>root</body></html>");
    EXPECT_FALSE(showPage(dir.filePath("page.html")));
    EXPECT_EQ(shown(), kNothing);
    QTest::qWait(500);
}

// Each kind of media file opens closed, plays only after a click on Play, and its position
// advances (with or without a sound card); Pause and Stop act.
TEST_F(WebMedia, MediaPlaysAfterPlayOnly)
{
    dir.addFile("tone.wav", toneWav(3000));
    dir.addFile("notes.mid", notesMidi());
    const QString files[] = {
        dir.filePath("tone.wav"),
        dir.filePath("notes.mid"),
        gstFile("tone.mp3", "audiotestsrc num-buffers=100 ! audioconvert ! lamemp3enc"),
        gstFile("tone.mp2", "audiotestsrc num-buffers=100 ! audioconvert ! avenc_mp2"),
        gstFile("bars.avi", "videotestsrc num-buffers=60 ! video/x-raw,width=160,height=120,framerate=15/1 ! jpegenc ! avimux"),
        gstFile("bars.mpg", "videotestsrc num-buffers=50 ! video/x-raw,width=160,height=120,framerate=25/1 ! videoconvert ! "
                            "mpeg2enc ! mpegpsmux"),
    };
    for (const QString& file : files) {
        ASSERT_FALSE(file.isEmpty());
        select(file);
        EXPECT_EQ(shown(), kMedia) << file.toStdString();
        QMediaPlayer* media = player()->Player();
        ASSERT_TRUE(player()->IsOpen()) << file.toStdString();
        ASSERT_TRUE(QTest::qWaitFor([&] { return media->mediaStatus() == QMediaPlayer::LoadedMedia; }, kWaitMs))
            << file.toStdString() << " " << media->errorString().toStdString();
        QTest::qWait(200);
        EXPECT_EQ(media->playbackState(), QMediaPlayer::StoppedState) << file.toStdString();
        // Where the stream starts (an MPEG stream may start past 0), and stays until Play.
        const qint64 start = media->position();

        QTest::mouseClick(player()->btnPlay, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return media->position() > start; }, kWaitMs)) << file.toStdString();
        EXPECT_EQ(media->playbackState(), QMediaPlayer::PlayingState);
        QTest::mouseClick(player()->btnPause, Qt::LeftButton);
        EXPECT_EQ(media->playbackState(), QMediaPlayer::PausedState);
        QTest::mouseClick(player()->btnStop, Qt::LeftButton);
        EXPECT_EQ(media->playbackState(), QMediaPlayer::StoppedState);
    }
}

// A video draws its frames into the media panel; selecting another media file stops the first
// before the second opens, and any other file closes the player.
TEST_F(WebMedia, VideoInThePanelAndTheNextFileStopsIt)
{
    const QString red = gstFile("red.avi", "videotestsrc num-buffers=150 pattern=solid-color foreground-color=0xffff0000 ! "
                                           "video/x-raw,width=160,height=120,framerate=15/1 ! jpegenc ! avimux");
    ASSERT_FALSE(red.isEmpty());
    dir.addFile("tone.wav", toneWav(2000));
    dir.addFile("notes.txt", "text");

    select(red);
    QMediaPlayer* media = player()->Player();
    QTest::mouseClick(player()->btnPlay, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return media->position() > 0 && player()->Surface->HasFrame(); }, kWaitMs));
    const QImage panel = preview()->pnlMedia->grab().toImage();
    const QColor centre = panel.pixelColor(panel.rect().center());
    EXPECT_GT(centre.red(), 200);
    EXPECT_LT(centre.green(), 60);

    QList<QMediaPlayer::PlaybackState> states;
    QObject::connect(media, &QMediaPlayer::playbackStateChanged, [&](QMediaPlayer::PlaybackState s) { states << s; });
    QList<QUrl> sources;
    QObject::connect(media, &QMediaPlayer::sourceChanged, [&](const QUrl& s) { sources << s; });
    select(dir.filePath("tone.wav"));
    // Stopped, closed, then the second opened; it does not play by itself.
    ASSERT_FALSE(states.isEmpty());
    EXPECT_EQ(states.first(), QMediaPlayer::StoppedState);
    ASSERT_EQ(sources.size(), 2);
    EXPECT_TRUE(sources[0].isEmpty());
    EXPECT_EQ(sources[1].toLocalFile(), dir.filePath("tone.wav"));
    EXPECT_FALSE(player()->Surface->HasFrame());
    EXPECT_EQ(media->playbackState(), QMediaPlayer::StoppedState);

    select(dir.filePath("notes.txt"));
    EXPECT_FALSE(player()->IsOpen());
    EXPECT_FALSE(player()->btnPlay->isEnabled());
    EXPECT_FALSE(shown().contains("pnlMedia"));
}

// Damaged media, a pipe and a file on a volume that stopped answering: the bar and the panel
// stay, the player ends closed, the window never waits.
TEST_F(WebMedia, BadMediaLeavesAClosedPlayer)
{
    dir.addFile("noise.mp3", QByteArray(4000, '\x5a'));
    QByteArray avi = test::ReadFileBytes(gstFile("cut.avi", "videotestsrc num-buffers=30 ! video/x-raw,width=160,height=120 ! "
                                                            "jpegenc ! avimux").toUtf8());
    dir.addFile("cut.avi", avi.left(avi.size() / 3).replace(200, 400, QByteArray(400, '\xff')));
    dir.addFile("empty.wav", "");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("pipe.wav")).constData(), 0600), 0);
    for (const char* name : {"noise.mp3", "empty.wav", "pipe.wav"}) {
        select(dir.filePath(QString::fromLatin1(name)));
        EXPECT_EQ(shown(), kMedia) << name;
        EXPECT_TRUE(QTest::qWaitFor([this] { return !player()->IsOpen(); }, kWaitMs)) << name;
        EXPECT_FALSE(player()->btnPlay->isEnabled()) << name;
    }
    // A cut video plays what it has, or closes; either way nothing hangs.
    select(dir.filePath("cut.avi"));
    QTest::mouseClick(player()->btnPlay, Qt::LeftButton);
    QTest::qWait(300);

    test::StallFs fs{"slow.wav", "slow.html"};
    ASSERT_TRUE(fs.ok());
    fs.SetGuardedThread(::gettid());
    fs.Stall();
    for (const char* name : {"slow.wav", "slow.html"}) {
        preview()->PreviewFile(fs.path(QString::fromLatin1(name)), false, 8);
        // A worker is the one waiting for the volume.
        ASSERT_TRUE(QTest::qWaitFor([&] { return fs.Blocked() >= 1; }, kWaitMs)) << name;
        EXPECT_FALSE(player()->IsOpen());
    }
    select(dir.filePath("noise.mp3"));
    fs.Release();
    ASSERT_TRUE(QTest::qWaitFor([] { return core::AbandonedJobCount() == 0; }, kWaitMs));
    EXPECT_EQ(fs.GuardedTouches(), 0);
    EXPECT_EQ(preview()->windowTitle(), "Preview - " + dir.filePath("noise.mp3"));
}
