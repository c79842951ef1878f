#include "PreviewMedia.h"

#include "PreviewTexts.h"
#include "core/NameCodec.h"
#include "preview/engine/WebRequestRule.h"

#include <QAudioOutput>
#include <QHBoxLayout>
#include <QMediaPlayer>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVideoSink>

namespace corvane::preview {

TVideoSurface::TVideoSurface(QWidget* parent) : QWidget(parent) {}

void TVideoSurface::SetFrame(const QVideoFrame& frame)
{
    m_frame = frame;
    update();
}

void TVideoSurface::paintEvent(QPaintEvent*)
{
    if (!m_frame.isValid())
        return;
    // Converted only when painted: frames that come faster than the screen shows them cost nothing.
    const QImage image = m_frame.toImage();
    if (image.isNull())
        return;
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QSize shown = image.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, image);
}

namespace {

QToolButton* playerButton(const char* text, QWidget* bar)
{
    auto* b = new QToolButton(bar);
    b->setText(QString::fromLatin1(text));
    b->setToolTip(QString::fromLatin1(text));
    b->setEnabled(false);
    bar->layout()->addWidget(b);
    return b;
}

} // namespace

TMediaPlayer::TMediaPlayer(QWidget* display, QWidget* parent) : QWidget(parent), Surface(new TVideoSurface(display))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    btnPlay = playerButton(texts::Play, this);
    btnPause = playerButton(texts::Pause, this);
    btnStop = playerButton(texts::Stop, this);
    connect(btnPlay, &QToolButton::clicked, this, &TMediaPlayer::Play);
    connect(btnPause, &QToolButton::clicked, this, &TMediaPlayer::Pause);
    connect(btnStop, &QToolButton::clicked, this, &TMediaPlayer::Stop);

    auto* surface = new QVBoxLayout(display);
    surface->setContentsMargins(0, 0, 0, 0);
    surface->addWidget(Surface);
}

TMediaPlayer::~TMediaPlayer()
{
    // The player goes first: it must not hand frames to a surface that is gone.
    delete m_player;
}

void TMediaPlayer::createPlayer()
{
    m_player = new QMediaPlayer(this);
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);
    auto* sink = new QVideoSink(this);
    m_player->setVideoSink(sink);
    connect(sink, &QVideoSink::videoFrameChanged, Surface, &TVideoSurface::SetFrame);
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error) {
        if (error == QMediaPlayer::NoError)
            return;
        // A file the player cannot read leaves the device closed; the bar stays. Closed from the
        // event loop, not inside the player's own report, and only if no other file came since.
        const QUrl failed = m_player->source();
        QMetaObject::invokeMethod(this, [this, failed] {
            if (m_player->source() == failed)
                Close();
        }, Qt::QueuedConnection);
    });
}

void TMediaPlayer::Open(const QString& path)
{
    Close();
    if (!m_player)
        createPlayer();
    m_player->setSource(LocalFileUrl(core::EncodeName(path)));
    enableButtons(IsOpen());
}

void TMediaPlayer::Close()
{
    enableButtons(false);
    Surface->SetFrame({});
    if (!m_player || m_player->source().isEmpty())
        return;
    m_player->stop();
    m_player->setSource(QUrl());
}

bool TMediaPlayer::IsOpen() const
{
    return m_player && !m_player->source().isEmpty();
}

void TMediaPlayer::Play()
{
    if (IsOpen())
        m_player->play();
}

void TMediaPlayer::Pause()
{
    if (IsOpen())
        m_player->pause();
}

void TMediaPlayer::Stop()
{
    if (IsOpen())
        m_player->stop();
}

void TMediaPlayer::enableButtons(bool open)
{
    for (QToolButton* b : {btnPlay, btnPause, btnStop})
        b->setEnabled(open);
}

} // namespace corvane::preview
